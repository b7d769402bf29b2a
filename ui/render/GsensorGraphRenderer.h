// Draws the G-sensor panel: the X, Y and Z curves of the whole recording around a zero line, the
// axes with the +/- range labels, the position line and the current values, into any QPainter.
// The curves are the cached part (paintBackground); the rest is drawn on every tick.
#pragma once

#include "core/trackdata/TrackData.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <optional>
#include <vector>

class QPainter;

// Half-height of the vertical axis in whole G for a recording: the highest positive X, Y, Z or
// sum (at least 1.0) rounded, plus one.
int gsensorRange(const std::vector<CGsensorData>& samples);
// The sample whose values the G-sensor texts show for a position: one later than the curve's,
// with positions whose hundreds' remainder lies in 26..41 taken one millisecond earlier.
// -1 without samples or without a duration.
int gsensorTextSampleIndex(int64_t positionMs, size_t count, int durationMs);

class GsensorGraphRenderer {
public:
    // `samples` and `timesMs` (the record time of each sample, SampleTimeline) must outlive the
    // renderer's use of them (the open recording's arrays). Without times the samples are spread
    // evenly over `durationMs`.
    void setData(const std::vector<CGsensorData>* samples, int durationMs,
                 const std::vector<uint32_t>* timesMs = nullptr);
    void clear() { setData(nullptr, 0); }
    int range() const { return m_range; }
    int durationMs() const { return m_durationMs; }
    // The stored position: beyond the end it becomes the last millisecond.
    int64_t clampPosition(int64_t positionMs) const;

    void paintBackground(QPainter& p, QSize size) const;
    void paintOverlay(QPainter& p, QSize size, int64_t positionMs) const;
    void paint(QPainter& p, QSize size, int64_t positionMs) const;

    static QRect tickRect(QSize size);
    std::optional<int64_t> seekPosition(QPoint pt, QSize size) const;

private:
    SampleTimeline timeline() const;

    const std::vector<CGsensorData>* m_samples = nullptr;
    const std::vector<uint32_t>* m_times = nullptr;
    int m_durationMs = 0;
    int m_range = 2;
};
