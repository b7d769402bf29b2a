#include "ui/widgets/SkinButton.h"

#include "ui/widgets/SkinBitmaps.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <vector>

SkinButton::SkinButton(QWidget* parent) : QAbstractButton(parent) {
    m_textColor = palette().color(QPalette::ButtonText);
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
}

void SkinButton::setBitmaps(int normal, int pressed, int hover, int disabled, int focus, int mask) {
    const QPixmap maskPm = LoadSkinBitmap(mask);
    setBitmaps(LoadSkinBitmap(normal), LoadSkinBitmap(pressed), LoadSkinBitmap(hover),
               LoadSkinBitmap(disabled), LoadSkinBitmap(focus),
               maskPm.isNull() ? QImage() : maskPm.toImage());
}

void SkinButton::setBitmaps(const QPixmap& normal, const QPixmap& pressed, const QPixmap& hover,
                            const QPixmap& disabled, const QPixmap& focus, const QImage& mask) {
    m_normalBitmap = normal;
    m_pressedBitmap = pressed;
    m_hoverBitmap = hover;
    m_disabledBitmap = disabled.isNull() ? normal : disabled;
    m_focusBitmap = focus;
    m_focusMargin = 0;
    if (!normal.isNull())
        resize(normal.size() / normal.devicePixelRatio());
    m_hasShape = !mask.isNull();
    m_region = m_hasShape ? regionFromMask(mask) : QRegion();
    if (m_hasShape && !m_region.isEmpty())
        setMask(m_region);
    else
        clearMask();
    update();
}

QRegion SkinButton::regionFromMask(const QImage& mask) {
    const QImage img = mask.convertToFormat(QImage::Format_RGB32);
    std::vector<QRect> runs;
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        int x = 0;
        while (x < img.width()) {
            while (x < img.width() && (line[x] & 0xFFFFFF) == 0xFFFFFF)
                ++x;
            const int start = x;
            while (x < img.width() && (line[x] & 0xFFFFFF) != 0xFFFFFF)
                ++x;
            if (x > start)
                runs.emplace_back(start, y, x - start, 1);
        }
    }
    QRegion region;
    region.setRects(runs.data(), static_cast<int>(runs.size()));
    return region;
}

void SkinButton::setCheck(bool checked) {
    m_checked = checked;
    update();
}

void SkinButton::clearCheck() {
    if (m_checked) {
        m_checked = false;
        update();
    }
}

QSize SkinButton::sizeHint() const {
    return m_normalBitmap.isNull() ? QSize(80, 28)
                                   : m_normalBitmap.size() / m_normalBitmap.devicePixelRatio();
}

bool SkinButton::hitButton(const QPoint& pos) const {
    // White parts of the mask are cut out of the button: they take no clicks.
    return m_hasShape ? m_region.contains(pos) : rect().contains(pos);
}

void SkinButton::enterEvent(QEnterEvent* e) {
    m_hover = true;
    update();
    QAbstractButton::enterEvent(e);
}

void SkinButton::leaveEvent(QEvent* e) {
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(e);
}

void SkinButton::mouseMoveEvent(QMouseEvent* e) {
    const bool inside = hitButton(e->position().toPoint());
    if (inside != m_hover) {
        m_hover = inside;
        update();
    }
    // While the button is held, the pushed look follows the cursor in and out (base class).
    QAbstractButton::mouseMoveEvent(e);
}

void SkinButton::mouseDoubleClickEvent(QMouseEvent* e) {
    // A double click counts as one more press.
    mousePressEvent(e);
}

void SkinButton::focusOutEvent(QFocusEvent* e) {
    if (isDown())
        setDown(false);
    QAbstractButton::focusOutEvent(e);
}

void SkinButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (m_hasShape && m_region.isEmpty())
        return; // an all-white mask leaves nothing to draw
    const QRect r = rect();
    auto drawBitmap = [&](const QPixmap& pm) {
        if (pm.isNull())
            p.fillRect(r, palette().button());
        else
            p.drawTiledPixmap(r, pm);
    };
    QRect textRect =
        r.adjusted(m_focusMargin + 2, m_focusMargin + 2, -(m_focusMargin + 2), -(m_focusMargin + 2));
    QColor textColor = m_textColor;
    if (!isEnabled()) {
        drawBitmap(m_disabledBitmap);
        p.setPen(palette().color(QPalette::Highlight));
        p.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, text());
        textRect.translate(-1, -1);
        textColor = palette().color(QPalette::Disabled, QPalette::Text);
    } else if (isDown() || m_checked) {
        drawBitmap(m_pressedBitmap.isNull() ? m_normalBitmap : m_pressedBitmap);
        textRect.translate(1, 1);
    } else if (m_hover && !m_hoverBitmap.isNull()) {
        drawBitmap(m_hoverBitmap);
    } else if (hasFocus() && !m_focusBitmap.isNull()) {
        drawBitmap(m_focusBitmap);
    } else {
        drawBitmap(m_normalBitmap);
    }
    if (hasFocus() && m_focusMargin > 0) {
        QStyleOptionFocusRect opt;
        opt.initFrom(this);
        opt.rect = r.adjusted(m_focusMargin, m_focusMargin, -m_focusMargin, -m_focusMargin);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &p, this);
    }
    if (!text().isEmpty()) {
        p.setPen(textColor);
        p.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, text());
    }
}
