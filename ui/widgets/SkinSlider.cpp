#include "ui/widgets/SkinSlider.h"

#include "ui/widgets/SkinBitmaps.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

SkinSlider::SkinSlider(QWidget* parent, int controlId) : QWidget(parent), m_controlId(controlId) {
    setFocusPolicy(Qt::StrongFocus);
}

void SkinSlider::setBitmaps(int first, int second) {
    setBitmaps(LoadSkinBitmap(first), LoadSkinBitmap(second));
}

void SkinSlider::setBitmaps(const QPixmap& first, const QPixmap& second) {
    m_trackFirst = first;
    m_trackSecond = second;
    if (!first.isNull())
        resize(first.size() / first.devicePixelRatio());
    update();
}

void SkinSlider::setThumbBitmaps(int normal, int pressed) {
    setThumbBitmaps(LoadSkinBitmap(normal), LoadSkinBitmap(pressed));
}

void SkinSlider::setThumbBitmaps(const QPixmap& normal, const QPixmap& pressed) {
    m_thumbNormal = normal;
    m_thumbPressed = pressed.isNull() ? normal : pressed;
    if (!normal.isNull())
        setThumbSize(normal.width(), normal.height());
    update();
}

void SkinSlider::setThumbSize(int width, int height) {
    m_thumbWidth = std::max(0, width);
    m_thumbHeight = std::max(0, height);
    update();
}

void SkinSlider::setMargins(int left, int right, int top, int bottom) {
    m_marginLeft = left;
    m_marginRight = right;
    m_marginTop = top;
    m_marginBottom = bottom;
    update();
}

void SkinSlider::setRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    m_position = clamp(m_position);
    update();
}

int SkinSlider::clamp(int position) const {
    return std::clamp(position, m_minimum, m_maximum);
}

void SkinSlider::setPos(int position) {
    m_position = clamp(position);
    update();
}

QSize SkinSlider::sizeHint() const {
    return m_trackFirst.isNull() ? QSize(120, 20) : m_trackFirst.size() / m_trackFirst.devicePixelRatio();
}

int SkinSlider::trackLength() const {
    return length() - marginAfter() - thumbLength() - marginBefore();
}

int SkinSlider::pixelOfPosition(int position) const {
    const int range = m_maximum - m_minimum;
    const int offset =
        range > 0 ? static_cast<int>(static_cast<long long>(trackLength()) * (position - m_minimum) / range)
                  : 0;
    return marginBefore() + offset + thumbLength() / 2;
}

int SkinSlider::positionOfPixel(int pixel) const {
    const int track = trackLength();
    if (track <= 0)
        return m_minimum; // nothing to slide along
    const double fraction = static_cast<double>(pixel - thumbLength() / 2 - marginBefore()) / track;
    return static_cast<int>(m_minimum + fraction * (m_maximum - m_minimum));
}

void SkinSlider::mousePressEvent(QMouseEvent* e) {
    if (!m_enabled || e->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    m_dragging = true;
    const int click = axis(e->position());
    const int centre = pixelOfPosition(m_position);
    m_grabOffset = click - centre;
    // A click beside the thumb centres the thumb under the cursor.
    if (std::abs(m_grabOffset) > thumbLength() / 2)
        m_grabOffset = 0;
    dragTo(click);
}

void SkinSlider::mouseMoveEvent(QMouseEvent* e) {
    if (m_dragging)
        dragTo(axis(e->position()));
}

void SkinSlider::dragTo(int coordinate) {
    const int low = marginBefore() + thumbLength() / 2;
    const int high = length() - marginAfter() - thumbLength() / 2;
    const int c = std::clamp(coordinate - m_grabOffset, low, std::max(low, high));
    if (c == pixelOfPosition(m_position))
        return;
    m_position = clamp(positionOfPixel(c));
    update();
    emit notify(Tracking, m_controlId, m_position);
}

void SkinSlider::mouseReleaseEvent(QMouseEvent* e) {
    if (!m_dragging || e->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    update();
    emit notify(Changed, m_controlId, m_position);
}

void SkinSlider::keyPressEvent(QKeyEvent* e) {
    if (!m_enabled) {
        e->ignore();
        return;
    }
    int target = m_position;
    switch (e->key()) {
    case Qt::Key_PageUp:
        target = m_position - m_pageStep;
        break;
    case Qt::Key_PageDown:
        target = m_position + m_pageStep;
        break;
    case Qt::Key_End:
        target = m_maximum;
        break;
    case Qt::Key_Home:
        target = m_minimum;
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        target = m_position + 1;
        break;
    case Qt::Key_Left:
    case Qt::Key_Up:
        target = m_position - 1;
        break;
    default:
        e->ignore();
        return;
    }
    setPos(target);
    emit notify(Changed, m_controlId, m_position);
}

void SkinSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int centre = pixelOfPosition(m_position);
    const QRect r = rect();
    const QRect before = m_vertical ? QRect(0, 0, r.width(), centre) : QRect(0, 0, centre, r.height());
    const QRect after = m_vertical ? QRect(0, centre, r.width(), r.height() - centre)
                                   : QRect(centre, 0, r.width() - centre, r.height());
    if (!m_trackFirst.isNull())
        p.drawPixmap(before, m_trackFirst, before);
    else
        p.fillRect(before.adjusted(0, r.height() / 2 - 2, 0, -(r.height() / 2 - 2)), QColor(0, 168, 255));
    if (!m_trackSecond.isNull())
        p.drawPixmap(after, m_trackSecond, after);
    else
        p.fillRect(after.adjusted(0, r.height() / 2 - 2, 0, -(r.height() / 2 - 2)), QColor(90, 90, 90));
    const QPixmap& thumb = m_dragging ? m_thumbPressed : m_thumbNormal;
    const QPoint topLeft = m_vertical ? QPoint((r.width() - m_thumbWidth) / 2, centre - m_thumbHeight / 2)
                                      : QPoint(centre - m_thumbWidth / 2, (r.height() - m_thumbHeight) / 2);
    if (!thumb.isNull())
        p.drawPixmap(topLeft, thumb);
    else if (m_thumbWidth > 0 && m_thumbHeight > 0)
        p.fillRect(QRect(topLeft, QSize(m_thumbWidth, m_thumbHeight)), QColor(220, 220, 220));
}
