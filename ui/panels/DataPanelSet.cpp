#include "ui/panels/DataPanelSet.h"

#include "ui/panels/AccelerometerPanel.h"
#include "ui/panels/GsensorPanel.h"
#include "ui/panels/SpeedPanel.h"
#include "ui/widgets/WindowPlacement.h"

DataPanelSet::DataPanelSet(QWidget* mainWindow, ConnectivityMonitor* monitor)
    : QObject(mainWindow), m_mainWindow(mainWindow), m_speed(new SpeedPanel(mainWindow)),
      m_gsensor(new GsensorPanel(mainWindow)), m_accelerometer(new AccelerometerPanel(mainWindow)),
      m_map(new MapPanel(mainWindow, monitor)) {
    for (DataPanel* p : {static_cast<DataPanel*>(m_gsensor), static_cast<DataPanel*>(m_accelerometer),
                         static_cast<DataPanel*>(m_speed)}) {
        const Which which = p == m_gsensor ? Which::Gsensor
                            : p == m_speed ? Which::Speed
                                           : Which::Accelerometer;
        connect(p, &DataPanel::dockToggleRequested, this, [this, which] { dockOrFloat(which); });
    }
    connect(m_map, &MapPanel::dockToggleRequested, this, [this] { dockOrFloat(Which::Map); });
}

DataPanelSet::~DataPanelSet() = default;

QWidget* DataPanelSet::panel(Which which) const {
    switch (which) {
    case Which::Gsensor:
        return m_gsensor;
    case Which::Accelerometer:
        return m_accelerometer;
    case Which::Speed:
        return m_speed;
    case Which::Map:
        return m_map;
    case Which::Count:
        break;
    }
    return nullptr;
}

void DataPanelSet::setSession(PlaybackSession* session) {
    m_session = session;
    for (GsensorPopup* w :
         {m_gsensorWindow.data(), m_accelerometerWindow.data()})
        if (w)
            w->setSession(session);
    for (DataPanel* p : {static_cast<DataPanel*>(m_gsensor), static_cast<DataPanel*>(m_accelerometer),
                         static_cast<DataPanel*>(m_speed)}) {
        if (p)
            p->setSession(session);
    }
    if (m_map)
        m_map->setSession(session);
}

void DataPanelSet::setSpeedUnit(int unit) {
    if (m_speed)
        m_speed->setUnit(unit);
}

void DataPanelSet::dockOrFloat(Which which, bool forceDock) {
    QWidget* p = panel(which);
    if (!p)
        return;
    const int i = static_cast<int>(which);
    if (p->isWindow() || forceDock) {
        if (p->isWindow())
            m_floatingGeometry[i] = p->geometry();
        p->hide();
        p->setParent(m_mainWindow);
        p->setWindowFlags(Qt::Widget);
        const bool shown = m_setDocked ? m_setDocked(which, true) : true;
        p->setVisible(shown);
    } else {
        if (m_setDocked)
            m_setDocked(which, false);
        p->hide();
        // Parentless, with a full frame: it can be moved to another monitor and sized freely.
        p->setParent(nullptr);
        p->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
        if (m_floatingGeometry[i].isValid()) {
            // The screen it was on may be gone: its title bar must stay within reach.
            const QRect frame = m_floatingGeometry[i].marginsAdded(QMargins(1, 24, 1, 1));
            const QRect kept = KeepOnScreens(frame, AvailableGeometries());
            p->setGeometry(m_floatingGeometry[i].translated(kept.topLeft() - frame.topLeft()));
        } else {
            MoveFrameTo(p, floatingFrame(which));
        }
        p->show();
        ScreenKeeper::instance().watch(p);
    }
    if (m_map)
        m_map->resizeMap();
}

QRect DataPanelSet::floatingFrame(Which which) const {
    // Beside the main window, after the panels floating already, title bar on the screen.
    int index = 0;
    for (int i = 0; i < static_cast<int>(Which::Count); ++i) {
        QWidget* other = panel(static_cast<Which>(i));
        if (static_cast<Which>(i) != which && other && other->isWindow() && other->isVisible())
            ++index;
    }
    const QRect available = AvailableGeometryOf(m_mainWindow);
    const QSize size(kFloatingWidth + 2, (which == Which::Map ? 480 : kFloatingHeight) + 25);
    QRect frame = PlaceBeside(m_mainWindow->frameGeometry(), size, available, 0);
    // Beside the main window there is room for one column: the next ones stack under it.
    frame.translate(0, index * 40);
    return KeepOnScreens(frame, {available});
}

void DataPanelSet::dockAll() {
    for (int i = 0; i < static_cast<int>(Which::Count); ++i) {
        QWidget* p = panel(static_cast<Which>(i));
        if (p && p->isWindow())
            dockOrFloat(static_cast<Which>(i), true);
    }
}

void DataPanelSet::toggleGsensorWindows() {
    if (!m_gsensorWindow) {
        m_gsensorWindow = new GsensorPopup(m_mainWindow);
        m_accelerometerWindow = new GsensorPopup(m_mainWindow, GsensorPopup::kSecondCloseButtonId);
        for (GsensorPopup* w :
             {m_gsensorWindow.data(), m_accelerometerWindow.data()}) {
            w->setSession(m_session);
            connect(w, &GsensorPopup::closed, this, &DataPanelSet::gsensorWindowsClosed);
        }
    }
    int index = 0;
    for (GsensorPopup* w :
         {m_gsensorWindow.data(), m_accelerometerWindow.data()}) {
        if (!w->isVisible()) {
            // Side by side beside the main window, never over each other or the player bar.
            const QRect frame = PlaceBeside(m_mainWindow->frameGeometry(), w->size(),
                                            AvailableGeometryOf(m_mainWindow), index, 2);
            w->move(frame.topLeft());
            ScreenKeeper::instance().watch(w);
        }
        ++index;
        w->setVisible(!w->isVisible());
    }
}
