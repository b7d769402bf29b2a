// The disk cache of online map tiles: Qt's HTTP disk cache (entries kept as the tile server's cache
// headers say, the oldest dropped past the size limit) that stops keeping new tiles while the disk
// under it is nearly full, and says so once. Owned by the map tile service.
#pragma once

#include <QNetworkDiskCache>

#include <functional>

class TileDiskCache : public QNetworkDiskCache {
    Q_OBJECT
public:
    static constexpr qint64 kLeastFreeBytes = 64LL * 1024 * 1024; // left to the rest of the system

    explicit TileDiskCache(QObject* parent = nullptr);

    // The most the cache may hold. Qt's cache trims itself before it adds an entry, so it is given
    // a bound lower by a headroom, and entries larger than the headroom are not kept: the files
    // never pass `bytes`.
    void setBound(qint64 bytes);
    qint64 bound() const { return m_bound; }
    qint64 headroom() const { return m_headroom; }

    // Free bytes of the disk under the cache; tests replace it.
    void setFreeSpaceProbe(std::function<qint64()> probe) { m_freeSpace = std::move(probe); }
    bool isDiskFull() const { return m_diskFull; }

    QIODevice* prepare(const QNetworkCacheMetaData& metaData) override;

signals:
    void diskFull(const QString& message); // once each time the disk becomes full

private:
    std::function<qint64()> m_freeSpace;
    bool m_diskFull = false;
    qint64 m_bound = 0;
    qint64 m_headroom = 0;
};
