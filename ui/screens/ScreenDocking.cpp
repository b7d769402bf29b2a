#include "ui/screens/ScreenDocking.h"

#include "ui/screens/VideoScreen.h"

ScreenDocking::ScreenDocking(std::function<void()> repaint, QWidget* mainWindow)
    : m_repaint(std::move(repaint)), m_mainWindow(mainWindow) {}

void ScreenDocking::connectScreens(const std::array<VideoScreen*, 4>& screens) {
    m_screens = screens;
    for (VideoScreen* screen : m_screens) {
        if (!screen)
            continue;
        connect(screen, &VideoScreen::dockOrFloatRequested, this,
                [this](int index) { dockOrFloat(index); });
        connect(screen, &VideoScreen::sizeChanged, this, &ScreenDocking::screenResized);
    }
}

void ScreenDocking::dockOrFloat(int index, bool forceDock) {
    if (index == 10) // an old sender's spelling of screen 1
        index = 1;
    if (index < 0 || index > 3)
        return;
    VideoScreen* screen = m_screens[index];
    if (!screen)
        return;
    if (screen->isFloating() || forceDock) {
        screen->hide();
        screen->setParent(m_mainWindow);
        screen->setWindowFlags(Qt::Widget);
        emit dockedChanged(index, true); // placed in its cell by the window's layout
        screen->show();
    } else {
        // Parentless, with a full frame: it can be moved to another monitor and sized freely.
        emit dockedChanged(index, false);
        screen->hide();
        screen->setParent(nullptr);
        screen->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
        screen->resize(floatingSize());
        screen->move(0, 0);
        screen->show();
    }
    if (VideoScreen* fourth = m_screens[3])
        fourth->hide();
    m_repaint();
}

void ScreenDocking::screenResized(int) {
    // The engine hands pictures over at the screen's size: let it ask again (and show a still
    // picture at the new size).
    m_repaint();
}
