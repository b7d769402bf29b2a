// Off-screen drawing surface for the skinned controls and the drawn lists: everything is painted
// into it and copied to the target in one go when it goes out of scope, so nothing flickers.
#pragma once

#include <QPainter>
#include <QPixmap>
#include <QRect>

class OffscreenCanvas {
public:
    // copyBackground: start from the target's pixels where the target can give them (images and
    // pixmaps), else from the target painter's background brush. Printing draws straight through.
    OffscreenCanvas(QPainter& target, const QRect& rect, bool copyBackground);
    ~OffscreenCanvas();
    OffscreenCanvas(const OffscreenCanvas&) = delete;
    OffscreenCanvas& operator=(const OffscreenCanvas&) = delete;

    QPainter& painter() { return m_isMemory ? m_painter : m_target; }
    bool isMemory() const { return m_isMemory; }

private:
    QPainter& m_target;
    QRect m_rect;
    QPixmap m_pixmap;
    QPainter m_painter;
    bool m_isMemory = true;
};
