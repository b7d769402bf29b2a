#include "core/maps/TileDiskCache.h"

#include <QStorageInfo>

TileDiskCache::TileDiskCache(QObject* parent) : QNetworkDiskCache(parent) {
    m_freeSpace = [this] { return QStorageInfo(cacheDirectory()).bytesAvailable(); };
}

QIODevice* TileDiskCache::prepare(const QNetworkCacheMetaData& metaData) {
    const qint64 free = m_freeSpace ? m_freeSpace() : -1;
    const bool full = free >= 0 && free < kLeastFreeBytes;
    if (full != m_diskFull) {
        m_diskFull = full;
        if (full)
            emit diskFull(QStringLiteral("The disk under the map cache (%1) is full: new map tiles are shown but not "
                                         "kept for offline use.")
                              .arg(cacheDirectory()));
    }
    if (full)
        return nullptr;
    return QNetworkDiskCache::prepare(metaData);
}
