#include "ui/playback/ScreenDocking.h"

#include "ui/panels/CDlgVideoScreen.h"

ScreenDocking::ScreenDocking(PlaybackHost& host, QWidget* mainWindow)
    : m_host(host), m_mainWindow(mainWindow) {}

void ScreenDocking::connectScreens() {
    for (CDlgVideoScreen* screen : m_host.videoScreens()) {
        if (!screen)
            continue;
        connect(screen, &CDlgVideoScreen::dockOrFloatRequested, this, &ScreenDocking::onDockOrFloatRequested);
        connect(screen, &CDlgVideoScreen::sizeChanged, this, &ScreenDocking::ScreenResized);
    }
}

void ScreenDocking::onDockOrFloatRequested(int index) {
    DockOrFloat(index);
}

void ScreenDocking::DockOrFloat(int index, bool forceDock) {
    if (index == 10) // an old sender's spelling of screen 1
        index = 1;
    if (index < 0 || index > 3)
        return;
    CDlgVideoScreen* screen = m_host.videoScreens()[index];
    if (!screen)
        return;
    if (screen->isFloating() || forceDock) {
        screen->hide();
        screen->setParent(m_mainWindow);
        screen->setWindowFlags(Qt::Widget);
        m_host.setScreenDocked(index, true);
        m_host.layoutPanels();
        screen->show();
    } else {
        // Parentless, with a full frame: it can be moved to another monitor and sized freely.
        m_host.setScreenDocked(index, false);
        screen->hide();
        screen->setParent(nullptr);
        screen->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
        screen->resize(floatingSize());
        screen->move(0, 0);
        screen->show();
    }
    if (CDlgVideoScreen* fourth = m_host.videoScreens()[3])
        fourth->hide();
    m_host.engineHolder().Repaint();
    m_host.resizeMapPage();
}

void ScreenDocking::ScreenResized(int) {
    // The engine hands pictures over at the screen's size: let it ask again (and show a still
    // picture at the new size).
    m_host.engineHolder().Repaint();
}
