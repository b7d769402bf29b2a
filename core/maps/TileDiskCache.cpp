#include "core/maps/TileDiskCache.h"

#include <QStorageInfo>

#include <algorithm>

TileDiskCache::TileDiskCache(QObject* parent) : QNetworkDiskCache(parent) {
    m_freeSpace = [this] { return QStorageInfo(cacheDirectory()).bytesAvailable(); };
}

void TileDiskCache::setBound(qint64 bytes) {
    m_bound = std::max<qint64>(bytes, 64 * 1024);
    m_headroom = std::clamp<qint64>(m_bound / 4, 16 * 1024, 1024 * 1024);
    setMaximumCacheSize(m_bound - m_headroom);
}

QIODevice* TileDiskCache::prepare(const QNetworkCacheMetaData& metaData) {
    for (const auto& [name, value] : metaData.rawHeaders())
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0 && value.trimmed().toLongLong() > m_headroom / 2)
            return nullptr; // larger than any tile: not kept
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
