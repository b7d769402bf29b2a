#include "core/maps/TilePrefetch.h"

#include "core/maps/MapTileService.h"
#include "core/maps/MbTilesFile.h"

#include <algorithm>
#include <cmath>
#include <set>

TilePrefetch::TilePrefetch(MapTileService& service, int kind, QObject* parent)
    : QObject(parent), m_service(service), m_kind(kind) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TilePrefetch::step);
}

std::vector<TileNumber> TilePrefetch::tilesAlong(const std::vector<std::pair<double, double>>& route,
                                                 int fromZoom, int toZoom, int cap) {
    std::vector<TileNumber> out;
    for (int z = std::max(0, fromZoom); z <= std::min(toZoom, 22) && int(out.size()) < cap; ++z) {
        std::set<std::pair<int, int>> seen;
        const int n = 1 << z;
        auto add = [&](double lat, double lon) {
            const int cx = TileColumn(lon, z), cy = TileRow(lat, z);
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int x = cx + dx, y = cy + dy;
                    if (x >= 0 && y >= 0 && x < n && y < n)
                        seen.insert({x, y});
                }
        };
        for (size_t i = 0; i < route.size(); ++i) {
            add(route[i].first, route[i].second);
            if (i == 0)
                continue;
            // Points a quarter tile apart between two samples, so no tile of the way is skipped.
            const auto [lat0, lon0] = route[i - 1];
            const auto [lat1, lon1] = route[i];
            const double tileDeg = 360.0 / n;
            const int steps = int(std::ceil(std::max(std::abs(lat1 - lat0), std::abs(lon1 - lon0)) / (tileDeg / 4)));
            for (int s = 1; s < std::min(steps, 100000); ++s)
                add(lat0 + (lat1 - lat0) * s / steps, lon0 + (lon1 - lon0) * s / steps);
        }
        for (const auto& [x, y] : seen) {
            if (int(out.size()) >= cap)
                break;
            out.push_back({z, x, y});
        }
    }
    return out;
}

void TilePrefetch::start(std::vector<TileNumber> tiles) {
    m_tiles = std::move(tiles);
    m_next = 0;
    m_failed = 0;
    m_running = true;
    emit progress(0, total());
    m_timer.start(0);
}

void TilePrefetch::cancel() {
    if (!m_running)
        return;
    m_running = false;
    m_timer.stop();
    emit finished(int(m_next) - m_failed, m_failed, true);
}

void TilePrefetch::step() {
    if (!m_running)
        return;
    // Tiles kept and still fresh cost the server nothing: step over them without a pause.
    while (m_next < m_tiles.size()) {
        const TileNumber& t = m_tiles[m_next];
        if (!m_service.isCachedFresh(m_kind, t.z, t.x, t.y))
            break;
        ++m_next;
    }
    emit progress(done(), total());
    if (m_next >= m_tiles.size()) {
        m_running = false;
        emit finished(int(m_next) - m_failed, m_failed, false);
        return;
    }
    const TileNumber t = m_tiles[m_next];
    m_service.fetch(m_kind, t.z, t.x, t.y, this, [this](const TileAnswer& a) {
        if (!m_running)
            return;
        if (a.bytes.isEmpty())
            ++m_failed;
        ++m_next;
        m_timer.start(a.offline ? 0 : m_pauseMs);
    }, MapTileService::Sources::OnlineOnly);
}
