#include "ui/widgets/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <climits>

QSize FitToScreen(QSize wanted, const QRect& available, const QMargins& frame, QSize minimum) {
    if (!available.isValid())
        return wanted;
    const int w = available.width() - frame.left() - frame.right();
    const int h = available.height() - frame.top() - frame.bottom();
    return QSize(std::max(minimum.width(), std::min(wanted.width(), w)),
                 std::max(minimum.height(), std::min(wanted.height(), h)));
}

namespace {
// `r` moved (not resized) so that as much of it as possible lies in `area`, top left first.
QRect clampInto(QRect r, const QRect& area) {
    if (r.right() > area.right())
        r.moveRight(area.right());
    if (r.bottom() > area.bottom())
        r.moveBottom(area.bottom());
    if (r.left() < area.left())
        r.moveLeft(area.left());
    if (r.top() < area.top())
        r.moveTop(area.top());
    return r;
}

constexpr int kGap = 4;
constexpr int kTitleBand = 40; // the main window's title band, kept clear of pop-ups
} // namespace

QRect PlaceBeside(const QRect& anchor, QSize size, const QRect& available, int index, int count) {
    count = std::max(count, index + 1);
    const int step = size.width() + kGap;
    const int rowWidth = count * step - kGap;
    const int top = anchor.top(); // a row: the windows stand side by side
    // Right of the main window, when the whole row fits there.
    const int rightStart = anchor.right() + 1 + kGap;
    if (rightStart + rowWidth - 1 <= available.right())
        return clampInto(QRect(QPoint(rightStart + index * step, top), size), available);
    // Left of it.
    const int leftStart = anchor.left() - kGap - rowWidth;
    if (leftStart >= available.left())
        return clampInto(QRect(QPoint(leftStart + index * step, top), size), available);
    // Below it, from its left edge.
    const int belowTop = anchor.bottom() + 1 + kGap;
    const int belowLeft = std::max(anchor.left(), available.left());
    if (belowTop + size.height() - 1 <= available.bottom() && belowLeft + rowWidth - 1 <= available.right())
        return QRect(QPoint(belowLeft + index * step, belowTop), size);
    // No room outside: at the screen's right edge, the first rightmost, under the main window's
    // title band (the first video sits at the main window's top left).
    const QRect r(QPoint(available.right() + 1 - (index + 1) * step + kGap, anchor.top() + kTitleBand), size);
    return clampInto(r, available);
}

QRect KeepOnScreens(const QRect& frame, const QList<QRect>& screens, int titleHeight) {
    if (screens.isEmpty())
        return frame;
    const QRect title(frame.topLeft(), QSize(frame.width(), std::min(titleHeight, frame.height())));
    for (const QRect& s : screens) {
        const QRect on = s.intersected(title);
        // The whole height of the title bar and enough of its width to take hold of it.
        if (on.height() == title.height() && on.width() >= std::min(100, title.width()))
            return frame;
    }
    const QRect* nearest = &screens.front();
    long long best = LLONG_MAX;
    for (const QRect& s : screens) {
        const long long dx = std::max({0, s.left() - frame.left(), frame.left() - s.right()});
        const long long dy = std::max({0, s.top() - frame.top(), frame.top() - s.bottom()});
        if (dx * dx + dy * dy < best) {
            best = dx * dx + dy * dy;
            nearest = &s;
        }
    }
    return clampInto(frame, *nearest);
}

QRect AvailableGeometryOf(const QWidget* widget) {
    QScreen* s = widget ? widget->screen() : nullptr;
    if (!s)
        s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect();
}

QList<QRect> AvailableGeometries() {
    QList<QRect> out;
    for (QScreen* s : QGuiApplication::screens())
        out << s->availableGeometry();
    return out;
}

void MoveFrameTo(QWidget* window, const QRect& frame) {
    // Before the first show the frame is not known yet: the window manager's usual title bar and
    // border are assumed, and the move (frame position) keeps the title bar where it is asked.
    QMargins m(0, 0, 0, 0);
    if (window->isVisible() && window->frameGeometry() != window->geometry()) {
        const QRect f = window->frameGeometry(), g = window->geometry();
        m = QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
    } else if (!(window->windowFlags() & Qt::FramelessWindowHint)) {
        m = QMargins(1, 24, 1, 1);
    }
    window->resize(frame.width() - m.left() - m.right(), frame.height() - m.top() - m.bottom());
    window->move(frame.topLeft());
}

ScreenKeeper::ScreenKeeper(QObject* parent) : QObject(parent) {
    for (QScreen* s : QGuiApplication::screens())
        connectScreen(s);
    connect(qApp, &QGuiApplication::screenAdded, this, [this](QScreen* s) {
        connectScreen(s);
        recheck();
    });
    // After the removal the windows on it have been moved by the toolkit or not: check all.
    connect(qApp, &QGuiApplication::screenRemoved, this, [this] { QMetaObject::invokeMethod(this, &ScreenKeeper::recheck, Qt::QueuedConnection); });
}

ScreenKeeper& ScreenKeeper::instance() {
    static ScreenKeeper* keeper = new ScreenKeeper(qApp);
    return *keeper;
}

void ScreenKeeper::connectScreen(QScreen* screen) {
    connect(screen, &QScreen::availableGeometryChanged, this, &ScreenKeeper::recheck);
}

void ScreenKeeper::watch(QWidget* window) {
    m_windows.removeAll(nullptr);
    if (window && !m_windows.contains(window))
        m_windows << window;
}

void ScreenKeeper::recheck() {
    const QList<QRect> screens = AvailableGeometries();
    for (const QPointer<QWidget>& w : m_windows) {
        if (!w || !w->isWindow() || !w->isVisible())
            continue;
        const QRect frame = w->frameGeometry();
        const QRect fixed = KeepOnScreens(frame, screens);
        if (fixed.topLeft() != frame.topLeft())
            w->move(fixed.topLeft());
    }
}
