// Docks and floats the four video screens (their dock-or-float request) and refits the video
// after a screen changed size. The main window follows dockedChanged to lay docked screens out.
#pragma once

#include <QObject>
#include <QSize>

#include <array>
#include <functional>

class VideoScreen;
class QWidget;

class ScreenDocking : public QObject {
    Q_OBJECT
public:
    static constexpr int kFloatingVideoWidth = 1024; // client width of a floating screen, 16:9

    // `repaint`: the screens show their current pictures again (the player's repaint).
    ScreenDocking(std::function<void()> repaint, QWidget* mainWindow);

    // Takes the screens and connects their requests; call once, when the screens exist.
    void connectScreens(const std::array<VideoScreen*, 4>& screens);

    // A floating screen (or any with forceDock) docks; a docked one floats.
    void dockOrFloat(int index, bool forceDock = false);
    // The screen's size changed; the player redraws its current picture there.
    void screenResized(int index);

    static QSize floatingSize() { return {kFloatingVideoWidth, kFloatingVideoWidth * 9 / 16}; }

signals:
    // Screen `index` is docked (placed by the window's layout) or floating (left where it is).
    void dockedChanged(int index, bool docked);

private:
    std::function<void()> m_repaint;
    QWidget* m_mainWindow;
    std::array<VideoScreen*, 4> m_screens{};
};
