// Saves the online tiles the disk cache holds as an MBTiles file, so a map seen on one PC can be
// taken to another or kept beyond the cache's bound. Used by the map settings.
#pragma once

#include <QString>
#include <QStringList>

class QNetworkDiskCache;

struct TileCacheExportResult {
    int tiles = 0;      // tiles written
    QString error;      // empty on success
};

// Writes every cached tile whose URL one of `urlTemplates` ({z}, {x}, {y}, {s}) produces into
// `target` through the replacing writer; `name` and `attribution` go into its metadata.
TileCacheExportResult SaveCachedTiles(QNetworkDiskCache& cache, const QStringList& urlTemplates,
                                      const QString& target, const QString& name, const QString& attribution);
