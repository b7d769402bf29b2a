// Writes an MBTiles map file (raster tiles, rows counted from the bottom as the format has them):
// the tiles are gathered in a private SQLite database and the finished file is put in place
// through the replacing writer, so a failed or cancelled save keeps what was at the target.
// Used by the sample-card generator and by the export of the map cache.
#pragma once

#include "core/common/SqlConnection.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class MbTilesWriter {
public:
    explicit MbTilesWriter(const QString& target);
    ~MbTilesWriter();
    MbTilesWriter(const MbTilesWriter&) = delete;
    MbTilesWriter& operator=(const MbTilesWriter&) = delete;

    // Creates the working database with the metadata (name, format, minzoom, maxzoom, bounds,
    // attribution, ...). False with error() set.
    bool begin(const QMap<QString, QString>& metadata);
    // Adds tile z/x/y (y counted from the top, as the map pages number them).
    bool addTile(int z, int x, int y, const QByteArray& bytes);
    int tileCount() const { return m_tiles; }
    // Completes the database and writes it over the target. False with error() set.
    bool commit();
    const QString& error() const { return m_error; }

private:
    bool fail(const QString& message);
    void closeDatabase();

    QString m_target;
    SqlConnection m_connection;
    std::unique_ptr<QTemporaryDir> m_work;
    QString m_error;
    int m_tiles = 0;
    bool m_open = false;
};
