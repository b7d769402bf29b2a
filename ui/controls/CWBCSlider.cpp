#include "ui/controls/CWBCSlider.h"

#include "ui/controls/SkinBitmaps.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

CWBCSlider::CWBCSlider(QWidget* parent, int controlId) : QWidget(parent), m_controlId(controlId) {
    setFocusPolicy(Qt::StrongFocus);
}

void CWBCSlider::SetBitmaps(int first, int second) {
    SetBitmaps(LoadSkinBitmap(first), LoadSkinBitmap(second));
}

void CWBCSlider::SetBitmaps(const QPixmap& first, const QPixmap& second) {
    m_trackFirst = first;
    m_trackSecond = second;
    if (!first.isNull())
        resize(first.size() / first.devicePixelRatio());
    update();
}

void CWBCSlider::SetThumbBitmaps(int normal, int pressed) {
    SetThumbBitmaps(LoadSkinBitmap(normal), LoadSkinBitmap(pressed));
}

void CWBCSlider::SetThumbBitmaps(const QPixmap& normal, const QPixmap& pressed) {
    m_thumbNormal = normal;
    m_thumbPressed = pressed.isNull() ? normal : pressed;
    if (!normal.isNull())
        SetThumbSize(normal.width(), normal.height());
    update();
}

void CWBCSlider::SetThumbSize(int width, int height) {
    m_thumbWidth = std::max(0, width);
    m_thumbHeight = std::max(0, height);
    update();
}

void CWBCSlider::SetMargins(int left, int right, int top, int bottom) {
    m_marginLeft = left;
    m_marginRight = right;
    m_marginTop = top;
    m_marginBottom = bottom;
    update();
}

void CWBCSlider::SetRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    m_position = clamp(m_position);
    update();
}

int CWBCSlider::clamp(int position) const {
    return std::clamp(position, m_minimum, m_maximum);
}

void CWBCSlider::SetPos(int position) {
    m_position = clamp(position);
    update();
}

QSize CWBCSlider::sizeHint() const {
    return m_trackFirst.isNull() ? QSize(120, 20) : m_trackFirst.size() / m_trackFirst.devicePixelRatio();
}

int CWBCSlider::TrackLength() const {
    return length() - marginAfter() - thumbLength() - marginBefore();
}

int CWBCSlider::PixelOfPosition(int position) const {
    const int range = m_maximum - m_minimum;
    const int offset =
        range > 0 ? static_cast<int>(static_cast<long long>(TrackLength()) * (position - m_minimum) / range)
                  : 0;
    return marginBefore() + offset + thumbLength() / 2;
}

int CWBCSlider::PositionOfPixel(int pixel) const {
    const int track = TrackLength();
    if (track <= 0)
        return m_minimum; // nothing to slide along
    const double fraction = static_cast<double>(pixel - thumbLength() / 2 - marginBefore()) / track;
    return static_cast<int>(m_minimum + fraction * (m_maximum - m_minimum));
}

void CWBCSlider::mousePressEvent(QMouseEvent* e) {
    if (!m_enabled || e->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    m_dragging = true;
    const int click = axis(e->position());
    const int centre = PixelOfPosition(m_position);
    m_grabOffset = click - centre;
    // A click beside the thumb centres the thumb under the cursor.
    if (std::abs(m_grabOffset) > thumbLength() / 2)
        m_grabOffset = 0;
    dragTo(click);
}

void CWBCSlider::mouseMoveEvent(QMouseEvent* e) {
    if (m_dragging)
        dragTo(axis(e->position()));
}

void CWBCSlider::dragTo(int coordinate) {
    const int low = marginBefore() + thumbLength() / 2;
    const int high = length() - marginAfter() - thumbLength() / 2;
    const int c = std::clamp(coordinate - m_grabOffset, low, std::max(low, high));
    if (c == PixelOfPosition(m_position))
        return;
    m_position = clamp(PositionOfPixel(c));
    update();
    emit notify(kMsgSliderTracking, m_controlId, m_position);
}

void CWBCSlider::mouseReleaseEvent(QMouseEvent* e) {
    if (!m_dragging || e->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    update();
    emit notify(kMsgSliderChanged, m_controlId, m_position);
}

void CWBCSlider::keyPressEvent(QKeyEvent* e) {
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
    SetPos(target);
    emit notify(kMsgSliderChanged, m_controlId, m_position);
}

void CWBCSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int centre = PixelOfPosition(m_position);
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
