// Docks and floats the four video screens (their 0x401 request) and refits the video after a
// screen changed size (0x412). Owned by the main window, which lays docked screens out.
#pragma once

#include "ui/playback/PlaybackHost.h"

#include <QObject>
#include <QSize>

class ScreenDocking : public QObject {
    Q_OBJECT
public:
    static constexpr int kFloatingVideoWidth = 1024; // client width of a floating screen, 16:9

    ScreenDocking(PlaybackHost& host, QWidget* mainWindow);

    // Connects the screens' requests; call once, when the screens exist.
    void connectScreens();

    // 0x401: a floating screen (or any with forceDock) docks; a docked one floats.
    void DockOrFloat(int index, bool forceDock = false);
    // 0x412: the screen's size changed; the engine redraws its current picture there.
    void ScreenResized(int index);

    static QSize floatingSize() { return {kFloatingVideoWidth, kFloatingVideoWidth * 9 / 16}; }

private:
    void onDockOrFloatRequested(int index);

    PlaybackHost& m_host;
    QWidget* m_mainWindow;
};
