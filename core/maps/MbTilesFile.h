// One MBTiles map file (raster tiles in an SQLite database) opened for reading: its metadata
// (name, zoom range, bounds, attribution) and its tiles by web-map tile number. Used by the
// map tile service; read on the thread that opened it.
#pragma once

#include "core/common/SqlConnection.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

struct TileBounds {
    double west = -180;
    double south = -85.0511;
    double east = 180;
    double north = 85.0511;
};

class MbTilesFile {
public:
    enum class Read { Found, Missing, Failed };

    explicit MbTilesFile(const QString& path);
    ~MbTilesFile();
    MbTilesFile(const MbTilesFile&) = delete;
    MbTilesFile& operator=(const MbTilesFile&) = delete;

    // Opens the file read-only and reads its metadata. False with error() set for a file that is
    // missing, is no SQLite database, has no metadata or tiles, holds vector tiles, or is locked.
    bool open();
    bool isOpen() const { return m_open; }
    const QString& error() const { return m_error; }

    const QString& path() const { return m_path; }
    const QString& name() const { return m_name; } // metadata "name", else the file name
    const QString& attribution() const { return m_attribution; }
    int minZoom() const { return m_minZoom; }
    int maxZoom() const { return m_maxZoom; }
    const TileBounds& bounds() const { return m_bounds; }
    // True when the rows are numbered from the top (metadata "scheme" = "xyz", or found so);
    // the usual order counts them from the bottom.
    bool topDownRows() const { return m_topDownRows; }

    // Whether tile z/x/y (y counted from the top) lies in the file's zoom range and bounds.
    bool covers(int z, int x, int y) const;
    // The tile z/x/y (y counted from the top). Failed (error() set) when the file is locked, has
    // disappeared or cannot be read; the file is closed after a disappearance.
    Read tile(int z, int x, int y, QByteArray* data);

    // MIME type of tile bytes by their signature: PNG, JPEG, WebP or GIF; empty for others.
    static QString imageType(const QByteArray& bytes);

private:
    bool fail(const QString& message);
    QString readMetadata(); // the error, empty when the metadata is usable
    bool hasRow(int z, int x, int row);
    void close();

    QString m_path;
    SqlConnection m_connection; // one per opened file
    QString m_error;
    QString m_name;
    QString m_attribution;
    int m_minZoom = 0;
    int m_maxZoom = 0;
    TileBounds m_bounds;
    bool m_topDownRows = false;
    bool m_open = false;
    dev_t m_device = 0; // of the opened file, to notice when it is replaced or removed
    ino_t m_inode = 0;
};

// Tile numbers of a position at a zoom (web-map numbering, y from the top).
int TileColumn(double longitude, int zoom);
int TileRow(double latitude, int zoom);
