#include "ui/panels/DataPanelSet.h"

#include "ui/panels/CDlgAccelerometer.h"
#include "ui/panels/CDlgGsensor.h"
#include "ui/panels/CDlgSpeed.h"

DataPanelSet::DataPanelSet(QWidget* mainWindow)
    : QObject(mainWindow), m_mainWindow(mainWindow), m_speed(new CDlgSpeed(mainWindow)),
      m_gsensor(new CDlgGsensor(mainWindow)), m_accelerometer(new CDlgAccelerometer(mainWindow)) {
    for (int i = 0; i < static_cast<int>(Which::Count); ++i) {
        const auto which = static_cast<Which>(i);
        connect(panel(which), &DataPanel::dockToggleRequested, this, [this, which] { DockOrFloat(which); });
    }
}

DataPanelSet::~DataPanelSet() = default;

DataPanel* DataPanelSet::panel(Which which) const {
    switch (which) {
    case Which::Gsensor:
        return m_gsensor;
    case Which::Accelerometer:
        return m_accelerometer;
    case Which::Speed:
        return m_speed;
    case Which::Count:
        break;
    }
    return nullptr;
}

void DataPanelSet::setSession(PlaybackSession* session) {
    for (int i = 0; i < static_cast<int>(Which::Count); ++i) {
        if (DataPanel* p = panel(static_cast<Which>(i)))
            p->setSession(session);
    }
}

void DataPanelSet::setSpeedUnit(int unit) {
    if (m_speed)
        m_speed->SetUnit(unit);
}

void DataPanelSet::DockOrFloat(Which which, bool forceDock) {
    DataPanel* p = panel(which);
    if (!p)
        return;
    const int i = static_cast<int>(which);
    if (p->isFloating() || forceDock) {
        if (p->isFloating())
            m_floatingGeometry[i] = p->geometry();
        p->hide();
        p->setParent(m_mainWindow);
        p->setWindowFlags(Qt::Widget);
        if (m_setDocked)
            m_setDocked(which, true);
        p->show();
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
            p->setGeometry(0, 0, kFloatingWidth, kFloatingHeight);
        p->show();
    }
}

void DataPanelSet::dockAll() {
    for (int i = 0; i < static_cast<int>(Which::Count); ++i) {
        DataPanel* p = panel(static_cast<Which>(i));
        if (p && p->isFloating())
            DockOrFloat(static_cast<Which>(i), true);
    }
}
