#include "ui/widgets/SkinText.h"

#include "ui/widgets/OffscreenCanvas.h"

#include <QPainter>

SkinText::SkinText(QWidget* parent) : QWidget(parent) {}

void SkinText::captureBackground(const QPixmap& parentPicture) {
    m_background = parentPicture.isNull() ? QPixmap() : parentPicture.copy(geometry());
    update();
}

void SkinText::paintEvent(QPaintEvent*) {
    QPainter target(this);
    OffscreenCanvas mem(target, rect(), false);
    QPainter& p = mem.painter();
    if (!m_background.isNull())
        p.drawPixmap(0, 0, m_background);
    else if (parentWidget())
        p.fillRect(rect(), parentWidget()->palette().window());
    QFont font(m_fontName);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, m_fontSize * logicalDpiY() / 72));
    p.setFont(font);
    p.setPen(m_textColor);
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_text);
}
