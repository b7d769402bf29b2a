#include "ui/widgets/CaptionButton.h"

#include <QPainter>

CaptionButton::CaptionButton(const QString& glyphResource, bool closeStyle, QWidget* parent)
    : QAbstractButton(parent), m_glyph(glyphResource), m_closeStyle(closeStyle) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

void CaptionButton::setGlyph(const QString& glyphResource) {
    m_glyph = QPixmap(glyphResource);
    update();
}

void CaptionButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (m_hover || isDown()) {
        QColor bg = m_closeStyle ? QColor(0xC4, 0x2B, 0x1C) : QColor(255, 255, 255, 36);
        if (isDown())
            bg = m_closeStyle ? QColor(0x9E, 0x22, 0x16) : QColor(255, 255, 255, 22);
        p.fillRect(rect(), bg);
    }
    if (!m_glyph.isNull()) {
        p.drawPixmap((width() - m_glyph.width()) / 2, (height() - m_glyph.height()) / 2, m_glyph);
    } else if (!text().isEmpty()) {
        // A button without a glyph (the language choice) shows its short text in the glyphs' white.
        p.setPen(QColor(0xE8, 0xE8, 0xE8));
        p.drawText(rect(), Qt::AlignCenter, text());
    }
}

void CaptionButton::resetLook() {
    m_hover = false;
    setDown(false);
    update();
}

void CaptionButton::hideEvent(QHideEvent*) {
    resetLook();
}

void CaptionButton::enterEvent(QEnterEvent*) {
    m_hover = true;
    update();
}

void CaptionButton::leaveEvent(QEvent*) {
    m_hover = false;
    update();
}
