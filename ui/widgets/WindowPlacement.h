// Where the program's own top-level windows go on the desktop: sizes that fit the screen, floating
// panels and pop-ups beside the main window with their title bars on a screen, and windows that a
// removed or shrunk screen left behind brought back. Pure geometry plus a watcher; used by the
// print window, the data panels and the G-sensor pop-ups.
#pragma once

#include <QList>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>

class QWidget;

// `wanted` shrunk to what fits `available` once the window frame is added; never below `minimum`.
QSize FitToScreen(QSize wanted, const QRect& available, const QMargins& frame = {},
                  QSize minimum = QSize(320, 240));

// Frame rectangle for a window of frame size `size` beside the main window's frame `anchor`, the
// `index`-th of a row of `count` such windows: right of the main window where the screen has room for the
// whole row, else left of it, else below it, else from the screen's right edge leftwards, below the main window's title band
// (away from the first video at its top left). The result always lies within `available` as far as its size allows.
QRect PlaceBeside(const QRect& anchor, QSize size, const QRect& available, int index = 0, int count = 1);

// Frame rectangle `frame` moved so that its title bar (the top `titleHeight` pixels) lies on one of
// `screens` (available geometries): unchanged when it already does, else onto the screen nearest to
// it (the first when none is near).
QRect KeepOnScreens(const QRect& frame, const QList<QRect>& screens, int titleHeight = 30);

// The available geometry of the screen `widget` is on (the primary screen without one).
QRect AvailableGeometryOf(const QWidget* widget);
// Every screen's available geometry.
QList<QRect> AvailableGeometries();

// Moves `window` (a top-level, frame position) to `frame`'s top left and sizes its client to
// `frame` less the frame margins it has or will get.
void MoveFrameTo(QWidget* window, const QRect& frame);

// Keeps watched top-level windows on a screen when screens are removed, added or change size.
class ScreenKeeper : public QObject {
    Q_OBJECT
public:
    static ScreenKeeper& instance();
    void watch(QWidget* window);
    // Brings every watched, visible window back onto a screen now (also what a screen change does).
    void recheck();

private:
    explicit ScreenKeeper(QObject* parent = nullptr);
    void connectScreen(class QScreen* screen);
    QList<QPointer<QWidget>> m_windows;
};
