#include "core/maps/MbTilesWriter.h"

#include "core/common/ReplacingWriter.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

MbTilesWriter::MbTilesWriter(const QString& target)
    : m_target(target), m_connection(QStringLiteral("mbtiles-writer")) {}

MbTilesWriter::~MbTilesWriter() {
    closeDatabase();
}

void MbTilesWriter::closeDatabase() {
    m_connection.close();
    m_open = false;
}

bool MbTilesWriter::fail(const QString& message) {
    m_error = message;
    closeDatabase();
    return false;
}

bool MbTilesWriter::begin(const QMap<QString, QString>& metadata) {
    m_work = std::make_unique<QTemporaryDir>();
    if (!m_work->isValid())
        return fail(
            QStringLiteral("cannot create a working folder for %1: %2").arg(m_target, m_work->errorString()));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return fail(QStringLiteral("cannot write %1: the SQLite driver of Qt is missing").arg(m_target));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection.name());
        db.setDatabaseName(m_work->filePath(QStringLiteral("map.mbtiles")));
        if (!db.open())
            return fail(QStringLiteral("cannot write %1: %2").arg(m_target, db.lastError().text()));
    }
    m_open = true;
    QSqlDatabase db = QSqlDatabase::database(m_connection.name(), false);
    QSqlQuery q(db);
    const char* const schema[] = {
        "PRAGMA journal_mode=OFF",
        "PRAGMA synchronous=OFF",
        "CREATE TABLE metadata (name TEXT, value TEXT)",
        "CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, tile_data BLOB)",
        "CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row)",
    };
    for (const char* s : schema)
        if (!q.exec(QString::fromLatin1(s)))
            return fail(QStringLiteral("cannot write %1: %2").arg(m_target, q.lastError().databaseText()));
    q.prepare(QStringLiteral("INSERT INTO metadata (name, value) VALUES (?, ?)"));
    for (auto it = metadata.begin(); it != metadata.end(); ++it) {
        q.addBindValue(it.key());
        q.addBindValue(it.value());
        if (!q.exec())
            return fail(QStringLiteral("cannot write %1: %2").arg(m_target, q.lastError().databaseText()));
    }
    if (!db.transaction())
        return fail(QStringLiteral("cannot write %1: %2").arg(m_target, db.lastError().text()));
    return true;
}

bool MbTilesWriter::addTile(int z, int x, int y, const QByteArray& bytes) {
    if (!m_open)
        return false;
    if (z < 0 || z > 24 || x < 0 || y < 0 || x >= (1 << z) || y >= (1 << z))
        return true; // not a tile of the world: left out
    QSqlQuery q(QSqlDatabase::database(m_connection.name(), false));
    q.prepare(QStringLiteral(
        "INSERT OR REPLACE INTO tiles (zoom_level, tile_column, tile_row, tile_data) VALUES (?, ?, ?, ?)"));
    q.addBindValue(z);
    q.addBindValue(x);
    q.addBindValue((1 << z) - 1 - y);
    q.addBindValue(bytes);
    if (!q.exec())
        return fail(QStringLiteral("cannot write %1: %2").arg(m_target, q.lastError().databaseText()));
    ++m_tiles;
    return true;
}

bool MbTilesWriter::commit() {
    if (!m_open)
        return false;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection.name(), false);
        if (!db.commit())
            return fail(QStringLiteral("cannot write %1: %2").arg(m_target, db.lastError().text()));
    }
    closeDatabase();
    QFile built(m_work->filePath(QStringLiteral("map.mbtiles")));
    if (!built.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot write %1: %2").arg(m_target, built.errorString()));
    ReplacingWriter out(QFile::encodeName(m_target).toStdString(), ReplacingWriter::Sync::WhenReplacing);
    if (!out.isOpen())
        return fail(QString::fromStdString(out.error()));
    out.setBufferSize(1 << 20);
    while (!built.atEnd()) {
        const QByteArray chunk = built.read(1 << 20);
        if (chunk.isEmpty() && built.error() != QFile::NoError)
            return fail(QStringLiteral("cannot write %1: %2").arg(m_target, built.errorString()));
        if (!out.write(std::string_view(chunk.constData(), size_t(chunk.size()))))
            return fail(QString::fromStdString(out.error()));
    }
    if (!out.commit())
        return fail(QString::fromStdString(out.error()));
    m_work.reset();
    return true;
}
