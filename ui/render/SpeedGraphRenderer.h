// Draws the speed panel: the speed curve of the whole recording, the axes with the full-scale
// label, the playback position line and the current speed, into any QPainter (panel, PNG, print).
// The curve is the cached part (paintBackground); the rest is drawn on every tick (paintOverlay).
#pragma once

#include "core/trackdata/TrackData.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <optional>
#include <vector>

class QPainter;

class SpeedGraphRenderer {
public:
    // Speeds in knots, one per GPS sample; `durationMs` is the track range they span; `timesMs`
    // the record time of each sample (SampleTimeline: none spreads them evenly).
    void setData(const std::vector<CGpsData>& samples, int durationMs, const std::vector<uint32_t>& timesMs = {});
    void clear();
    void setUnit(int unit); // recomputes the full scale
    int unit() const { return m_unit; }
    int fullScale() const { return m_fullScale; }
    float maximumKnots() const { return m_maximum; }
    int durationMs() const { return m_durationMs; }
    int sampleCount() const { return static_cast<int>(m_speeds.size()); }

    // Background fill and the curve: changes only with the data, the unit or the size.
    void paintBackground(QPainter& p, QSize size) const;
    // Axes, ticks, label, position line and the speed text for `positionMs`.
    void paintOverlay(QPainter& p, QSize size, int64_t positionMs) const;
    void paint(QPainter& p, QSize size, int64_t positionMs) const;

    // The speed shown for a position, in the current unit (0 without data).
    double speedAt(int64_t positionMs) const;
    // Where a tick repaints: the plot area and the text below it.
    static QRect tickRect(QSize size);
    // The position a click at `pt` asks for; none outside the plot or at or beyond the end.
    std::optional<int64_t> seekPosition(QPoint pt, QSize size) const;

private:
    void updateFullScale();
    SampleTimeline timeline() const { return {m_times, m_speeds.size(), m_durationMs}; }

    std::vector<float> m_speeds; // knots
    std::vector<uint32_t> m_times; // record time of each speed (ms); empty: spread evenly
    float m_maximum = 0;         // knots, at least 50 once data is set
    int m_durationMs = 0;
    int m_unit = 1;
    int m_fullScale = 0;
};
