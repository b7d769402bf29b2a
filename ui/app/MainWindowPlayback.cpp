// MainWindow: the playback parts (WindowPlayback: screens, player, docking, zoom) and the data
// panels, wired to the session, the list and the window's layout. Keys and commands call the
// player; the window follows the session.
#include "ui/app/MainWindow.h"
#include "ui/common/WindowMetrics.h"

#include "core/config/Settings.h"
#include "media/playback/PlaybackEngine.h"
#include "ui/page/MainPage.h"
#include "ui/recordings/ListController.h"
#include "ui/dialogs/MapSettingsDialog.h"
#include "ui/screens/VideoScreen.h"
#include "ui/panels/DataPanelSet.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/playback/WindowPlayback.h"

#include <QTimer>

#include <cstdlib>

PlayerControl& MainWindow::player() {
    return m_player->player();
}

void MainWindow::createPlayback() {
    m_player = std::make_unique<WindowPlayback>(*this, m_session, m_state, *m_lists, m_busy, kPlayerBarHeight);
    for (int i = 0; i < 4; ++i)
        installPanel(static_cast<PanelSlot>(i), m_player->screens()[i]);
    Player* clock = &m_player->player();
    ScreenDocking* docking = &m_player->docking();
    connect(m_lists.get(), &ListController::openRowRequested, clock, &Player::openRow);
    connect(docking, &ScreenDocking::dockedChanged, this,
            [this](int index, bool docked) { setDocked(static_cast<PanelSlot>(index), docked); });
    // The window follows what plays: the title names it, the cells fit its channels.
    connect(&m_session, &PlaybackSession::recordingOpened, this, [this] {
        setTitleText(m_session.recording().name);
        layoutPanels();
    });
    m_commands.add(QStringLiteral("btnZoom"), [this](int) { m_player->toggleZoom(); });
    m_commands.add(QStringLiteral("dockScreen"), [docking](int index) { docking->dockOrFloat(index); });
    m_commands.add(QStringLiteral("screenResized"), [docking](int index) { docking->screenResized(index); });
    createDataPanels();
}

void MainWindow::createDataPanels() {
    using Which = DataPanelSet::Which;
    static constexpr PanelSlot kSlots[] = {PanelSlot::Gsensor, PanelSlot::Accelerometer, PanelSlot::Speed,
                                           PanelSlot::Map};
    m_dataPanels = new DataPanelSet(this);
    for (int i = 0; i < static_cast<int>(Which::Count); ++i)
        installPanel(kSlots[i], m_dataPanels->panel(static_cast<Which>(i)));
    m_dataPanels->setDockedSetter([this](Which which, bool docked) {
        setDocked(kSlots[static_cast<int>(which)], docked);
        return which != Which::Map || mapShownWhenDocked();
    });
    m_commands.add(QStringLiteral("dockGsensor"),
                   [this](int force) { m_dataPanels->dockOrFloat(Which::Gsensor, force); });
    m_commands.add(QStringLiteral("dockSpeed"),
                   [this](int force) { m_dataPanels->dockOrFloat(Which::Speed, force); });
    m_commands.add(QStringLiteral("dockMap"),
                   [this](int force) { m_dataPanels->dockOrFloat(Which::Map, force); });
    m_commands.add(QStringLiteral("dockAccelerometer"),
                   [this](int force) { m_dataPanels->dockOrFloat(Which::Accelerometer, force); });
    m_commands.add(QStringLiteral("btnGSensor"), [this](int) { m_dataPanels->toggleGsensorWindows(); });
    // Either G-sensor window's close button closes both.
    connect(m_dataPanels, &DataPanelSet::gsensorWindowsClosed, m_dataPanels, &DataPanelSet::toggleGsensorWindows);
    // The selection holds a choice, no web view: it opens once the page's call has returned.
    m_commands.add(QStringLiteral("btnMapsetting"), [this](int) {
        QTimer::singleShot(0, this, [this] {
            auto* dlg =
                new MapSettingsDialog([this](int kind) { m_dataPanels->map()->reloadMapPage(kind); }, this);
            dlg->setAttribute(Qt::WA_DeleteOnClose);
            dlg->open();
        });
    });
    m_dataPanels->setSession(&m_session);
    // The page's read-out: the speed of the track sample after the position, as the map view's
    // track gives it (km/h).
    m_mainPage->setSpeedSource([this](int64_t positionMs) -> double {
        if (!m_session.isOpen() || positionMs < 0)
            return 0;
        const CWBCGPSData* s = m_session.trackData().store.FindGpsAfter(static_cast<uint32_t>(positionMs));
        return s && s->valid ? s->speed : 0;
    });
    // With two channels the map takes the free video cell; with three it follows the map display.
    // Closing hides it again, or it would cover the list.
    auto showDockedMap = [this] {
        if (isDocked(PanelSlot::Map)) {
            panel(PanelSlot::Map)->setVisible(m_session.isOpen() && mapShownWhenDocked());
            layoutPanels();
        }
    };
    connect(&m_session, &PlaybackSession::recordingOpened, this, showDockedMap);
    connect(&m_session, &PlaybackSession::recordingClosed, this, showDockedMap);
    // The stored unit holds from the start, whether or not the page loads.
    if (const std::string unit = ReadSetting("speedunit"); !unit.empty())
        m_dataPanels->setSpeedUnit(std::atoi(unit.c_str()));
}

bool MainWindow::mapShownWhenDocked() const {
    const int channels = m_player ? m_player->player().channelCount() : 0;
    return channels == 2 || (channels == 3 && m_state.mapShown);
}

void MainWindow::updateChannelControls() {
    layoutPanels(); // the screens' cells follow the main channel and the arrangement
    if (m_player)
        m_player->player().repaint();
}

void MainWindow::clearMapPath() {
    m_dataPanels->map()->clearMapPath();
}

void MainWindow::shutdownPlayback() {
    if (m_player)
        m_player->shutdown();
    if (m_dataPanels)
        m_dataPanels->dockAll();
}

WindowPlayback* MainWindow::playback() const {
    return m_player.get();
}
