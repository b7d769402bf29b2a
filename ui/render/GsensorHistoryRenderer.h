// Draws the G-sensor pop-up windows: a background with the scale drawn here, and the first minute
// of the recording's raw G-sensor counts as three curves (x green, y red, z blue), into any
// QPainter. The background is laid out for 550 x 290 and stretched to the target size.
#pragma once

#include "core/trackdata/TrackData.h"

#include <QPixmap>
#include <QSize>

#include <vector>

class QPainter;

class GsensorHistoryRenderer {
public:
    static constexpr int kWidth = 550;
    static constexpr int kHeight = 290;
    static constexpr int kOriginX = 54; // the curves start at (54, 164)
    static constexpr int kOriginY = 164;
    static constexpr double kPixelsPerMs = 0.008; // 60 s over 480 pixels
    static constexpr uint32_t kLastMs = 60000;

    // Pixels per count: 10-bit counts (mode 2 of the first sample) are scaled down four times more.
    static double countScale(const std::vector<RawGsensorSample>& samples);
    // The background picture (scale, labels, frame) at 550 x 290.
    static QPixmap background();

    void paint(QPainter& p, QSize size, const std::vector<RawGsensorSample>& samples) const;
};
