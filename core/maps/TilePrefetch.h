// Keeps a recording's map for offline use: asks the map tile service for the online tiles along a
// route at the zooms a drive is seen at (a corridor a tile wide each side), as the tile server's
// usage policy asks: at most a set number of tiles, a pause after each one fetched from the
// server, and none again that the cache holds fresh. Used by the map panel's keep command.
#pragma once

#include <QObject>
#include <QTimer>

#include <utility>
#include <vector>

class MapTileService;

struct TileNumber {
    int z = 0;
    int x = 0;
    int y = 0;
    bool operator==(const TileNumber&) const = default;
};

class TilePrefetch : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultCap = 1500;    // tiles at most per recording
    static constexpr int kDefaultPauseMs = 250; // between two requests to the server

    TilePrefetch(MapTileService& service, int kind, QObject* parent = nullptr);

    // The tiles along `route` ((lat, lon) in degrees) from zoom `fromZoom` to `toZoom`, fewer
    // zooms first; cut at `cap`.
    static std::vector<TileNumber> tilesAlong(const std::vector<std::pair<double, double>>& route, int fromZoom,
                                              int toZoom, int cap);
    void setPauseMs(int ms) { m_pauseMs = ms; }
    // Starts keeping `tiles`; a running keep is replaced.
    void start(std::vector<TileNumber> tiles);
    void cancel();
    bool isRunning() const { return m_running; }
    int total() const { return int(m_tiles.size()); }
    int done() const { return int(m_next); }
    int failed() const { return m_failed; }

signals:
    void progress(int done, int total);
    void finished(int kept, int failed, bool cancelled);

private:
    void step();

    MapTileService& m_service;
    int m_kind = 1;
    int m_pauseMs = kDefaultPauseMs;
    std::vector<TileNumber> m_tiles;
    size_t m_next = 0;
    int m_failed = 0;
    bool m_running = false;
    QTimer m_timer;
};
