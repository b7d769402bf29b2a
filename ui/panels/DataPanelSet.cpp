#include "ui/panels/DataPanelSet.h"

#include "ui/panels/CDlgAccelerometer.h"
#include "ui/panels/CDlgGsensor.h"
#include "ui/panels/CDlgSpeed.h"

DataPanelSet::DataPanelSet(QWidget* mainWindow, ConnectivityMonitor* monitor)
    : QObject(mainWindow), m_mainWindow(mainWindow), m_speed(new CDlgSpeed(mainWindow)),
      m_gsensor(new CDlgGsensor(mainWindow)), m_accelerometer(new CDlgAccelerometer(mainWindow)),
      m_map(new CDlgMap(mainWindow, monitor)) {
    for (DataPanel* p : {static_cast<DataPanel*>(m_gsensor), static_cast<DataPanel*>(m_accelerometer),
                         static_cast<DataPanel*>(m_speed)}) {
        const Which which = p == m_gsensor ? Which::Gsensor
                            : p == m_speed ? Which::Speed
                                           : Which::Accelerometer;
        connect(p, &DataPanel::dockToggleRequested, this, [this, which] { DockOrFloat(which); });
    }
    connect(m_map, &CDlgMap::dockToggleRequested, this, [this] { DockOrFloat(Which::Map); });
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
    for (CGSensorDlg* w :
         {static_cast<CGSensorDlg*>(m_gsensorWindow), static_cast<CGSensorDlg*>(m_accelerometerWindow)})
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
        m_speed->SetUnit(unit);
}

void DataPanelSet::DockOrFloat(Which which, bool forceDock) {
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
        if (m_floatingGeometry[i].isValid())
            p->setGeometry(m_floatingGeometry[i]);
        else
            p->setGeometry(0, 0, kFloatingWidth, which == Which::Map ? 480 : kFloatingHeight);
        p->show();
    }
    if (m_map)
        m_map->ResizeMap();
}

void DataPanelSet::dockAll() {
    for (int i = 0; i < static_cast<int>(Which::Count); ++i) {
        QWidget* p = panel(static_cast<Which>(i));
        if (p && p->isWindow())
            DockOrFloat(static_cast<Which>(i), true);
    }
}

void DataPanelSet::ToggleGsensorWindows() {
    if (!m_gsensorWindow) {
        m_gsensorWindow = new CGSensorDlg(m_mainWindow);
        m_accelerometerWindow = new CAccelerometerDlg(m_mainWindow);
        for (CGSensorDlg* w :
             {static_cast<CGSensorDlg*>(m_gsensorWindow), static_cast<CGSensorDlg*>(m_accelerometerWindow)}) {
            w->setSession(m_session);
            w->setNotify(CGSensorDlg::kMsgWindowsChanged, 1);
            connect(w, &CGSensorDlg::notify, this, &DataPanelSet::gsensorWindowNotify);
        }
    }
    for (CGSensorDlg* w :
         {static_cast<CGSensorDlg*>(m_gsensorWindow), static_cast<CGSensorDlg*>(m_accelerometerWindow)})
        w->setVisible(!w->isVisible());
}
