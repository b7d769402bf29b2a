#include "ui/screens/ZoomWindow.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

#include <algorithm>

const QColor ZoomWindow::kOwnAreaFill(150, 150, 150);
const QColor ZoomWindow::kBackground(50, 50, 50);

ZoomWindow::ZoomWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName(QStringLiteral("zoom%1").arg(kTimerId));
    setWindowTitle(QStringLiteral("Zoom"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_timer.setObjectName(QString::number(kTimerId));
    m_timer.setInterval(kPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &ZoomWindow::refresh);
}

QRect ZoomWindow::sourceRect(QPoint cursor, QSize clientSize, QSize screenSize, int factor) {
    const int w = clientSize.width() / factor;
    const int h = clientSize.height() / factor;
    int x = cursor.x() - w / 2;
    int y = cursor.y() - h / 2;
    // Right and bottom first, then left and top: a source larger than the screen starts at 0.
    x = std::min(x, screenSize.width() - w);
    y = std::min(y, screenSize.height() - h);
    x = std::max(x, 0);
    y = std::max(y, 0);
    return QRect(x, y, w, h);
}

QPoint ZoomWindow::placement(const QRect& window, const QRect& available, QSize size, int barHeight) {
    constexpr int kGap = 8;    // between the main window and the zoom window's frame
    constexpr int kFrame = 32; // room left for the window system's title bar above the client
    const int barTop = window.bottom() + 1 - barHeight;
    // Beside the window the client's bottom lines up with the top of the bar.
    const int sideY = std::clamp(barTop - size.height(), available.top() + kFrame,
                                 std::max(available.top() + kFrame, available.bottom() + 1 - size.height()));
    if (available.right() + 1 - (window.right() + 1 + kGap) >= size.width())
        return {window.right() + 1 + kGap, sideY};
    if (window.left() - kGap - available.left() >= size.width())
        return {window.left() - kGap - size.width(), sideY};
    // Inside: the lower right of the video area (the two columns left of the list), above the bar.
    const int videoRight = window.left() + 2 * ((window.width() - 342) / 2) + 2;
    const int x = std::max(window.left() + 6, videoRight - size.width());
    const int y = std::max(window.top() + kFrame, barTop - 4 - size.height());
    return {x, y};
}

void ZoomWindow::refresh() {
    QScreen* screen = windowHandle() ? windowHandle()->screen() : QGuiApplication::primaryScreen();
    if (!screen || width() <= 0 || height() <= 0)
        return;
    const QRect geometry = screen->geometry();
    const QPoint cursor = QCursor::pos(screen) - geometry.topLeft();
    const QRect src = sourceRect(cursor, size(), geometry.size(), m_factor);
    if (src.isEmpty())
        return;
    // Only the source area is grabbed; copying the whole screen 25 times a second buys nothing.
    QPixmap grabbed = screen->grabWindow(0, src.x(), src.y(), src.width(), src.height());
    if (grabbed.isNull()) {
        // Displays without readable contents (offscreen, some Wayland sessions): keep the grey fill.
        if (!m_picture.isNull()) {
            m_picture = QImage();
            update();
        }
        return;
    }
    QImage copy = grabbed.toImage().convertToFormat(QImage::Format_RGB32);
    {
        // Blank out our own window so that it is never magnified into itself.
        const QRect own = QRect(mapToGlobal(QPoint(0, 0)) - geometry.topLeft(), size());
        const QRect ownInSource = own.intersected(src).translated(-src.topLeft());
        if (!ownInSource.isEmpty()) {
            QPainter p(&copy);
            p.fillRect(ownInSource, kOwnAreaFill);
        }
    }
    m_picture = copy.scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    update();
}

void ZoomWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_picture.isNull())
        painter.fillRect(rect(), kBackground);
    else
        painter.drawImage(rect(), m_picture);
}

void ZoomWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_width = width();
    m_picture = QImage();
}

void ZoomWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle())
        windowHandle()->startSystemMove();
    QWidget::mousePressEvent(event);
}

void ZoomWindow::closeEvent(QCloseEvent* event) {
    // Closing goes through the main window's zoom toggle, so its button state stays right.
    event->ignore();
    emit closedByUser();
}

void ZoomWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_timer.start();
}

void ZoomWindow::hideEvent(QHideEvent* event) {
    // A hidden zoom window costs nothing: no screen copies while it is not shown.
    m_timer.stop();
    QWidget::hideEvent(event);
}
