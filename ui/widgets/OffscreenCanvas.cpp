#include "ui/widgets/OffscreenCanvas.h"

#include <QImage>
#include <QPaintEngine>

OffscreenCanvas::OffscreenCanvas(QPainter& target, const QRect& rect, bool copyBackground)
    : m_target(target), m_rect(rect) {
    const QPaintEngine* engine = target.paintEngine();
    const auto type = engine ? engine->type() : QPaintEngine::User;
    if (type == QPaintEngine::Pdf || type == QPaintEngine::Picture || rect.isEmpty()) {
        m_isMemory = false;
        return;
    }
    const qreal dpr = target.device() ? target.device()->devicePixelRatioF() : 1.0;
    m_pixmap = QPixmap(rect.size() * dpr);
    m_pixmap.setDevicePixelRatio(dpr);
    QPaintDevice* device = target.device();
    bool copied = false;
    if (copyBackground && device) {
        if (device->devType() == QInternal::Image) {
            m_pixmap = QPixmap::fromImage(static_cast<QImage*>(device)->copy(rect));
            copied = true;
        } else if (device->devType() == QInternal::Pixmap) {
            m_pixmap = static_cast<QPixmap*>(device)->copy(rect);
            copied = true;
        }
    }
    if (!copied)
        m_pixmap.fill(target.background().color());
    m_painter.begin(&m_pixmap);
    m_painter.setFont(target.font());
    m_painter.translate(-rect.topLeft());
}

OffscreenCanvas::~OffscreenCanvas() {
    if (!m_isMemory)
        return;
    m_painter.end();
    m_target.drawPixmap(m_rect.topLeft(), m_pixmap);
}
