#include "ui/screens/VideoScreen.h"

#include "ui/screens/RefreshPacer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

const QColor VideoScreen::kBackground(50, 50, 50);

VideoScreen::VideoScreen(int index, QWidget* parent) : QWidget(parent), m_index(index) {
    setObjectName(QStringLiteral("videoScreen%1").arg(index));
    setWindowTitle(channelName(index));
    if (QApplication::instance())
        setWindowIcon(QApplication::windowIcon());
    // The 320 x 240 minimum applies while the screen floats (see changeEvent); docked, the main
    // window's layout decides its size.
    // Every pixel is painted here: no background erase, no flicker between frames.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
}

QString VideoScreen::channelName(int index) {
    switch (index) {
    case 0:
        return QStringLiteral("FRONT");
    case 1:
        return QStringLiteral("IN-CABIN");
    case 2:
        return QStringLiteral("REAR");
    default:
        return {};
    }
}

void VideoScreen::presentFrame(VideoFramePtr frame) {
    if (frame && !frame->isValid())
        frame.reset();
    bool schedule = false;
    {
        QMutexLocker lock(&m_frameLock);
        m_frame = std::move(frame);
        ++m_framesPresented;
        if (!m_updatePending) {
            m_updatePending = true;
            schedule = true;
        }
    }
    if (schedule)
        scheduleRepaint();
}

void VideoScreen::scheduleRepaint() {
    // The screens repaint together at the display's next refresh, not once per picture each.
    QMetaObject::invokeMethod(
        this, [this] { RefreshPacer::instance().request(this); }, Qt::QueuedConnection);
}

void VideoScreen::clearFrame() {
    bool schedule = false;
    {
        QMutexLocker lock(&m_frameLock);
        m_frame.reset();
        if (!m_updatePending) {
            m_updatePending = true;
            schedule = true;
        }
    }
    // May come from the engine's thread as well: repaint through the event queue.
    if (schedule)
        scheduleRepaint();
}

bool VideoScreen::hasFrame() const {
    QMutexLocker lock(&m_frameLock);
    return m_frame != nullptr;
}

quint64 VideoScreen::framesPresented() const {
    QMutexLocker lock(&m_frameLock);
    return m_framesPresented;
}

quint64 VideoScreen::framesPainted() const {
    return m_framesPainted;
}

void VideoScreen::paintEvent(QPaintEvent*) {
    VideoFramePtr frame;
    {
        // Take a shared reference only; frames are immutable and the streaming thread replaces,
        // never modifies, the pointer.
        QMutexLocker lock(&m_frameLock);
        frame = m_frame;
        m_updatePending = false;
    }
    QPainter painter(this);
    if (!frame) {
        painter.fillRect(rect(), kBackground);
        return;
    }
    if (m_painted.lock() != frame) {
        m_painted = frame;
        ++m_framesPainted;
    }
    // BGRx in memory is RGB32 on a little-endian host: wrap the pixels, no copy.
    const QImage picture(frame->data, frame->width, frame->height, frame->stride, QImage::Format_RGB32);
    // The picture is stretched to fill the screen; the main window keeps docked screens at 16:9,
    // so a camera picture is not distorted there.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect(), picture);
}

void VideoScreen::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit sizeChanged(m_index);
}

void VideoScreen::mousePressEvent(QMouseEvent* event) {
    // A floating screen has a title bar, but a drag anywhere in it moves it as well.
    if (isFloating() && event->button() == Qt::LeftButton && windowHandle())
        windowHandle()->startSystemMove();
    QWidget::mousePressEvent(event);
}

void VideoScreen::mouseDoubleClickEvent(QMouseEvent* event) {
    emit dockOrFloatRequested(m_index);
    QWidget::mouseDoubleClickEvent(event);
}

void VideoScreen::closeEvent(QCloseEvent* event) {
    // Closing a floating screen docks it again rather than losing the channel.
    event->ignore();
    emit dockOrFloatRequested(m_index);
}

void VideoScreen::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ParentChange)
        setMinimumSize(isWindow() ? QSize(kMinWidth, kMinHeight) : QSize(0, 0));
    if (event->type() == QEvent::WindowStateChange && isFloating() && (windowState() & Qt::WindowMinimized)) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        emit dockOrFloatRequested(m_index);
    }
}

void VideoScreen::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc were the dialog's OK and Cancel: they dock a floating screen.
    if (isFloating() &&
        (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        emit dockOrFloatRequested(m_index);
        return;
    }
    QWidget::keyPressEvent(event);
}

std::pair<int, int> VideoScreen::frameSizeHint() const {
    if (width() <= 0 || height() <= 0)
        return {0, 0};
    const qreal ratio = devicePixelRatioF();
    return {qRound(width() * ratio), qRound(height() * ratio)};
}
