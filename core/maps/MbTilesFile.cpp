#include "core/maps/MbTilesFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <sys/stat.h>

namespace {

// SQLite's result codes for a database another connection holds.
bool isLockedError(const QSqlError& e) {
    const QString code = e.nativeErrorCode();
    return code == QLatin1String("5") || code == QLatin1String("6") ||
           e.databaseText().contains(QLatin1String("locked"));
}

QString shortName(const QString& path) {
    return QFileInfo(path).fileName();
}
} // namespace

int TileColumn(double longitude, int zoom) {
    const double n = std::ldexp(1.0, zoom);
    return std::clamp(static_cast<int>(std::floor((longitude + 180.0) / 360.0 * n)), 0, int(n) - 1);
}

int TileRow(double latitude, int zoom) {
    const double n = std::ldexp(1.0, zoom);
    const double lat = std::clamp(latitude, -85.0511, 85.0511) * M_PI / 180.0;
    const double y = (1.0 - std::log(std::tan(lat) + 1.0 / std::cos(lat)) / M_PI) / 2.0 * n;
    return std::clamp(static_cast<int>(std::floor(y)), 0, int(n) - 1);
}

MbTilesFile::MbTilesFile(const QString& path) : m_path(path), m_connection(QStringLiteral("mbtiles")) {}

MbTilesFile::~MbTilesFile() {
    close();
}

void MbTilesFile::close() {
    m_connection.close();
    m_open = false;
}

bool MbTilesFile::fail(const QString& message) {
    m_error = message;
    close();
    return false;
}

bool MbTilesFile::open() {
    close();
    m_error.clear();
    const QString shown = shortName(m_path);
    QFile f(m_path);
    struct stat st {};
    if (::stat(QFile::encodeName(m_path).constData(), &st) != 0)
        return fail(QStringLiteral("The map file %1 cannot be found.").arg(m_path));
    if (!S_ISREG(st.st_mode))
        return fail(QStringLiteral("%1 is not a map file (not a regular file).").arg(shown));
    if (!f.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1 cannot be read: %2").arg(shown, f.errorString()));
    if (f.read(16) != QByteArray("SQLite format 3\0", 16))
        return fail(QStringLiteral("%1 is not an MBTiles map file (it is no SQLite database).").arg(shown));
    f.close();
    m_device = st.st_dev;
    m_inode = st.st_ino;

    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return fail(QStringLiteral("MBTiles map files cannot be read: the SQLite driver of Qt is missing."));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection.name());
        db.setDatabaseName(m_path);
        // Never wait long for a writer: the tiles are read on the thread that draws the map.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=50"));
        if (!db.open())
            return fail(QStringLiteral("%1 cannot be opened: %2").arg(shown, db.lastError().text()));
    }
    m_open = true;
    // The queries are gone before a failure closes the connection.
    const QString error = readMetadata();
    return error.isEmpty() || fail(error);
}

QString MbTilesFile::readMetadata() {
    const QString shown = shortName(m_path);
    QSqlDatabase db = QSqlDatabase::database(m_connection.name(), false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table','view')"))) {
        if (isLockedError(q.lastError()))
            return QStringLiteral("%1 is locked by another program.").arg(shown);
        return QStringLiteral("%1 is not an MBTiles map file: %2").arg(shown, q.lastError().databaseText());
    }
    bool hasMetadata = false, hasTiles = false;
    while (q.next()) {
        const QString table = q.value(0).toString();
        hasMetadata |= table == QLatin1String("metadata");
        hasTiles |= table == QLatin1String("tiles");
    }
    if (!hasMetadata)
        return QStringLiteral("%1 is not an MBTiles map file (it has no metadata).").arg(shown);
    if (!hasTiles)
        return QStringLiteral("%1 is not an MBTiles map file (it has no tiles).").arg(shown);

    QString format, scheme, bounds, minZoom, maxZoom;
    m_name = QFileInfo(m_path).completeBaseName();
    m_attribution.clear();
    if (!q.exec(QStringLiteral("SELECT name, value FROM metadata")))
        return QStringLiteral("%1 has unreadable metadata: %2").arg(shown, q.lastError().databaseText());
    while (q.next()) {
        const QString key = q.value(0).toString().trimmed().toLower();
        const QString value = q.value(1).toString().trimmed();
        if (key == QLatin1String("name") && !value.isEmpty())
            m_name = value;
        else if (key == QLatin1String("format"))
            format = value.toLower();
        else if (key == QLatin1String("attribution"))
            m_attribution = value;
        else if (key == QLatin1String("scheme"))
            scheme = value.toLower();
        else if (key == QLatin1String("bounds"))
            bounds = value;
        else if (key == QLatin1String("minzoom"))
            minZoom = value;
        else if (key == QLatin1String("maxzoom"))
            maxZoom = value;
    }
    if (format == QLatin1String("pbf") || format == QLatin1String("mvt"))
        return QStringLiteral("%1 holds vector tiles; only picture tiles (PNG, JPEG, WebP) can be shown.")
            .arg(shown);

    bool minOk = false, maxOk = false;
    m_minZoom = minZoom.toInt(&minOk);
    m_maxZoom = maxZoom.toInt(&maxOk);
    if (!minOk || !maxOk) {
        if (!q.exec(QStringLiteral("SELECT MIN(zoom_level), MAX(zoom_level) FROM tiles")) || !q.next() ||
            q.value(0).isNull())
            return QStringLiteral("%1 holds no tiles.").arg(shown);
        if (!minOk)
            m_minZoom = q.value(0).toInt();
        if (!maxOk)
            m_maxZoom = q.value(1).toInt();
    }
    m_minZoom = std::clamp(m_minZoom, 0, 24);
    m_maxZoom = std::clamp(m_maxZoom, m_minZoom, 24);

    m_bounds = TileBounds{};
    const QStringList b = bounds.split(QLatin1Char(','));
    if (b.size() == 4) {
        bool ok[4];
        const double w = b[0].toDouble(&ok[0]), s = b[1].toDouble(&ok[1]), e = b[2].toDouble(&ok[2]),
                     n = b[3].toDouble(&ok[3]);
        if (ok[0] && ok[1] && ok[2] && ok[3] && w < e && s < n && w >= -180 && e <= 180 && s >= -90 &&
            n <= 90)
            m_bounds = TileBounds{w, s, e, n};
    }

    // The usual row order counts from the bottom; some writers count from the top and say so.
    // Files that say nothing are checked at their centre.
    if (scheme == QLatin1String("xyz")) {
        m_topDownRows = true;
    } else if (scheme == QLatin1String("tms")) {
        m_topDownRows = false;
    } else {
        const int z = m_maxZoom;
        const int x = TileColumn((m_bounds.west + m_bounds.east) / 2, z);
        const int y = TileRow((m_bounds.south + m_bounds.north) / 2, z);
        const int flipped = (1 << z) - 1 - y;
        m_topDownRows = y != flipped && hasRow(z, x, y) && !hasRow(z, x, flipped);
    }
    return {};
}

bool MbTilesFile::hasRow(int z, int x, int row) {
    QSqlQuery q(QSqlDatabase::database(m_connection.name(), false));
    q.prepare(QStringLiteral("SELECT 1 FROM tiles WHERE zoom_level=? AND tile_column=? AND tile_row=?"));
    q.addBindValue(z);
    q.addBindValue(x);
    q.addBindValue(row);
    return q.exec() && q.next();
}

bool MbTilesFile::covers(int z, int x, int y) const {
    if (!m_open || z < m_minZoom || z > m_maxZoom)
        return false;
    const int n = 1 << z;
    if (x < 0 || y < 0 || x >= n || y >= n)
        return false;
    return x >= TileColumn(m_bounds.west, z) && x <= TileColumn(m_bounds.east, z) &&
           y >= TileRow(m_bounds.north, z) && y <= TileRow(m_bounds.south, z);
}

MbTilesFile::Read MbTilesFile::tile(int z, int x, int y, QByteArray* data) {
    if (!m_open)
        return Read::Failed;
    // A removed or replaced file keeps being readable through the open handle: notice it.
    struct stat st {};
    if (::stat(QFile::encodeName(m_path).constData(), &st) != 0 || st.st_dev != m_device ||
        st.st_ino != m_inode) {
        fail(QStringLiteral("The map file %1 has disappeared.").arg(m_path));
        return Read::Failed;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection.name(), false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT tile_data FROM tiles WHERE zoom_level=? AND tile_column=? AND tile_row=?"));
    q.addBindValue(z);
    q.addBindValue(x);
    q.addBindValue(m_topDownRows ? y : (1 << z) - 1 - y);
    if (!q.exec()) {
        m_error = isLockedError(q.lastError())
                      ? QStringLiteral("%1 is locked by another program.").arg(shortName(m_path))
                      : QStringLiteral("%1 cannot be read: %2")
                            .arg(shortName(m_path), q.lastError().databaseText());
        return Read::Failed;
    }
    if (!q.next())
        return Read::Missing;
    *data = q.value(0).toByteArray();
    return data->isEmpty() ? Read::Missing : Read::Found;
}

QString MbTilesFile::imageType(const QByteArray& b) {
    if (b.startsWith("\x89PNG"))
        return QStringLiteral("image/png");
    if (b.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("image/jpeg");
    if (b.size() >= 12 && b.startsWith("RIFF") && b.mid(8, 4) == "WEBP")
        return QStringLiteral("image/webp");
    if (b.startsWith("GIF8"))
        return QStringLiteral("image/gif");
    return {};
}
