// The main window's playback: the engine holder, the four video screens, the opening of
// recordings, the clock, the screen docking, the zoom window and the single-file open, wired to
// the window's state, page, list and message boxes. CHvViewerDlg owns one.
#pragma once

#include "ui/playback/PlaybackClock.h"
#include "ui/playback/PlaybackHost.h"
#include "ui/playback/RecordingOpener.h"
#include "ui/playback/ScreenDocking.h"
#include "ui/playback/StartupOpener.h"
#include "ui/panels/CZoomDlg.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class CHvViewerDlg;

class WindowPlayback : public QObject, public PlaybackHost {
    Q_OBJECT
public:
    // Shows a message box; replaced by tests so that nothing blocks.
    using MessageShower = std::function<void(const QString& text, MessageIcon icon)>;

    explicit WindowPlayback(CHvViewerDlg& window);
    ~WindowPlayback() override;

    // Creates the screens in the window's screen slots and attaches them to the engine.
    void createScreens();

    RecordingOpener& opener() { return m_opener; }
    PlaybackClock& clock() { return m_clock; }
    ScreenDocking& docking() { return m_docking; }
    StartupOpener& startup() { return m_startup; }
    CZoomDlg* zoomWindow() const { return m_zoom; }
    void setMessageShower(MessageShower shower) { m_showMessage = std::move(shower); }

    // Command 1121 and message 0x501 (2): show or hide the zoom window.
    void ToggleZoom();
    // After a folder or card named on the command line has been listed: its first recording plays.
    void PlayFirstListed();
    // The window is closing: the clock stops, the busy window goes, floating screens come home.
    void Shutdown();

    // PlaybackHost
    PlaybackEngineHolder& engineHolder() override;
    ViewerState& playbackState() override;
    void setBusy(bool busy) override;
    PlaybackSession& session() override;
    void setTitleText(const QString& fileName) override;
    void setTimeLabel(const QString& text) override { m_timeLabel = text; }
    void showMessage(const QString& text, MessageIcon icon) override;
    std::array<CDlgVideoScreen*, 4> videoScreens() override { return m_screens; }
    void layoutPanels() override;
    int kindFilter() override;
    int recordingCount() override;
    std::string recordingName(int index) override;
    std::filesystem::path rowPath(int index) override;
    std::filesystem::path listedSource() override;
    void selectInList(int index, int kind) override;
    void clearListHighlight() override;
    void showFileMenuTab(int tab) override;
    void clearRecordings() override;
    void listSingleFile(const std::filesystem::path& path) override;
    bool listFolder(const std::filesystem::path& folder) override;
    void setScreenDocked(int index, bool docked) override;
    bool leftMouseButtonDown() override;

    const QString& timeLabel() const { return m_timeLabel; }

private:
    CHvViewerDlg& m_window;
    std::array<CDlgVideoScreen*, 4> m_screens{};
    RecordingOpener m_opener;
    PlaybackClock m_clock;
    ScreenDocking m_docking;
    StartupOpener m_startup;
    QPointer<CZoomDlg> m_zoom;
    MessageShower m_showMessage;
    QString m_timeLabel; // "00:00 / mm:ss" of the open recording
};
