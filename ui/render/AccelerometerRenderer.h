// Draws the accelerometer panel: two rings with a cross on which the current X/Y acceleration is
// a red dot trailing up to ten earlier samples, plus the current values, into any QPainter.
#pragma once

#include "core/trackdata/TrackData.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <vector>

class QPainter;

class AccelerometerRenderer {
public:
    // Where the plot lies in a panel of `size`.
    struct Geometry {
        int side = 0;    // S, the outer ring's diameter
        QRect square;    // the outer ring's bounding square
        QPoint centre;   // (cx, cy)
        int quarter = 0; // q = S / 8
    };
    static Geometry geometryFor(QSize size);

    // `samples` and `timesMs` (the record time of each sample, SampleTimeline) must outlive the
    // renderer's use of them (the open recording's arrays). Without times the samples are spread
    // evenly over `durationMs`.
    void setData(const std::vector<CGsensorData>* samples, int durationMs,
                 const std::vector<uint32_t>* timesMs = nullptr);
    void clear() { setData(nullptr, 0); }
    int durationMs() const { return m_durationMs; }
    int64_t clampPosition(int64_t positionMs) const;

    // The trail for a position: sample indices oldest first, the current one last; empty without
    // samples or without a duration.
    std::vector<int> trail(int64_t positionMs) const;
    // Centre of the dot of sample `index`: Y moves it sideways, X up and down, each held on the ring.
    QPoint dotCentre(int index, QSize size) const;

    void paintBackground(QPainter& p, QSize size) const; // the plain fill
    void paintOverlay(QPainter& p, QSize size, int64_t positionMs) const;
    void paint(QPainter& p, QSize size, int64_t positionMs) const;

private:
    SampleTimeline timeline() const;

    const std::vector<CGsensorData>* m_samples = nullptr;
    const std::vector<uint32_t>* m_times = nullptr;
    int m_durationMs = 0;
};
