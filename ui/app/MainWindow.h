// The main window: hosts the video screens, the data panels, the recording list and the main skin
// page; owns the state shared by commands, clock and lists and the busy flag; lays out its
// children; moves, resizes and paints its frame; maps keys and commands. Created and run by
// Application. Playback does not call it: it follows the session (title, layout) instead.
//
// Files by role: MainWindow.cpp (children, layout, frame, keys, page start-up),
// MainWindowCommands.cpp (window commands, command target), MainWindowPlayback.cpp (wiring of
// the playback parts and the data panels), MainWindowLists.cpp (card choice, list, tabs),
// MainLayout (geometry), MainWindowPainter (painting), CommandDispatcher (skin commands).
#pragma once

#include "ui/app/CommandDispatcher.h"
#include "ui/app/CommandTarget.h"
#include "ui/app/ViewerState.h"
#include "ui/common/AppContext.h"
#include "ui/common/Commands.h"
#include "ui/page/ScriptBridge.h"
#include "ui/playback/BusyFlag.h"

#include <QRect>
#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

class BrowserHost;
class DataPanelSet;
class MainPage;
class PlaybackSession;
class PlaybackEngineHolder;
class CaptionButton;
class ListController;
class WindowPlayback;
class QLabel;
class QMenu;
class QScrollBar;
struct LayoutInput;

// The children the main window places. Screens 0..3, then the panels, then the list.
enum class PanelSlot : int {
    Screen0,
    Screen1,
    Screen2,
    Screen3,
    Gsensor,
    Accelerometer,
    Speed,
    Map,
    FileMenu,
    FileList,
    Count,
};

class MainWindow : public QWidget, public CommandTarget, public BridgeHost {
    Q_OBJECT
public:
    static constexpr const char* kProductTitle = "Morvent QUILLENT";

    // `session`: the application's playback session, which outlives the window. `arguments`: the
    // program's arguments after its name; the first one is processed when the main page has loaded.
    explicit MainWindow(PlaybackSession& session, const QStringList& arguments = {},
                          QWidget* parent = nullptr);
    ~MainWindow() override;

    // --- Children and layout ---
    // Replaces the placeholder of `slot` with `panel` (re-parented here, docked, placed).
    void installPanel(PanelSlot slot, QWidget* panel);
    QWidget* panel(PanelSlot slot) const { return m_panels[static_cast<int>(slot)]; }
    bool isDocked(PanelSlot slot) const { return m_docked[static_cast<int>(slot)]; }
    // Docking flag of a panel; a docked panel is re-parented here and placed by LayoutPanels.
    void setDocked(PanelSlot slot, bool docked);
    QScrollBar* listScrollBar() const { return m_listScrollBar; }
    // The speed, G-sensor and accelerometer panels (MainWindowPlayback.cpp).
    DataPanelSet* DataPanels() const { return m_dataPanels; }
    // The recording list: scan, report list, drawn list, tabs (MainWindowLists.cpp).
    ListController* lists() const { return m_lists.get(); }
    BrowserHost* page() const { return m_page; }
    // The main page's functions; it follows the session by itself.
    MainPage* pageFunctions() const { return m_mainPage; }
    PlaybackSession& session() const { return m_session; }
    LayoutInput currentLayoutInput() const;
    void layoutPanels(); // places every docked child for the current client size
    void setTitleText(const QString& fileName);
    QString titleText() const;
    void toggleMaximise();
    bool isMaximised() const { return m_state.maximised; }

    // --- Window commands (keyboard, caption buttons, hidden controls) ---
    // Runs a window command or user message (CommandIds.h) with its argument.
    void onCommand(int commandId, int value = 0);
    // Installs the work of a command that another window provides (tools, list checks, card
    // choice). RunCommand calls it; without one the command is only logged.
    void setCommandHandler(int commandId, std::function<void(int)> handler);

    // --- Busy flag and the windows routed by the script bridge ---
    // While busy, list clicks and commands are dropped and a handed-over argument waits.
    BusyFlag& busy() { return m_busy; }
    void setSetupWindow(PageCommandHandler* w) { m_setupWindow = w; }
    void setSearchWindow(PageCommandHandler* w) { m_searchWindow = w; }
    void setDownloadWindow(PageCommandHandler* w) { m_downloadWindow = w; }
    CommandDispatcher& dispatcher() { return m_dispatcher; }

    // --- Start-up argument and single-file open ---
    // A path, folder or "qmv:" link given on the command line or handed over by a second start.
    void handleArgument(const QString& argument);
    void processStartupArguments();
    // Lists the recordings of a card or folder given as the argument.
    void openSourceFolder(const QString& folder);

    // --- CommandTarget ---
    ViewerState& State() override { return m_state; }
    PlaybackControl& Playback() override { return *m_playback; }
    // The engine holder of the window: opening a recording and the video screens use it directly.
    PlaybackEngineHolder& engineHolder() { return *m_engineHolder; }
    PlaybackOperations& operations() override;
    void callInternal(const QString& functionName, const QString& value) override;
    void updateChannelControls() override;
    void clearMapPath() override;
    void showMapPanel(bool show) override;
    void setSpeedUnit(int unit) override;
    void showKind(int kind) override;
    bool runCommand(int commandId, int value) override;
    void chooseMovieFile() override;
    void showMovieInfo() override;
    // The information texts of the open recording (empty when nothing is open), for "btnInfo".
    MovieInfo openRecordingInfo() const;
    void openUrl(const QString& url) override;

    // --- Playback parts (MainWindowPlayback.cpp) ---
    // Screens, opening, clock, docking, single-file open and zoom.
    WindowPlayback* playback() const;
    // Closing: stop the engine, release the recording, stop the clock.
    void shutdownPlayback();
    // True once a card or folder has been chosen for the recording scan (Space plays then).
    bool hasScanSource() const;

    // --- BridgeHost ---
    // The dispatcher's table first, then the commands the features installed (dropped while busy).
    void dispatchCommand(const QString& name, int value) override;
    // The named commands of the feature folders and what they receive of the window.
    Commands& commands() { return m_commands; }
    PageCommandHandler* setupWindow() const override { return m_setupWindow; }
    PageCommandHandler* searchWindow() const override { return m_searchWindow; }
    PageCommandHandler* downloadWindow() const override { return m_downloadWindow; }

    // The language choice of the title band: stores "korean" or "english"; a change takes effect
    // at the next start, which a message (in the chosen language) says.
    void chooseLanguage(const std::string& language);
    QMenu* languageMenu();
    void setLanguageMessageShower(std::function<void(const QString&)> tell) { m_tellLanguage = std::move(tell); }
    // The question before quitting while a link download runs (tests answer it; default: a box).
    void setQuitQuestion(std::function<bool(const QString&)> ask) { m_askQuit = std::move(ask); }

signals:
    // The main page has loaded and its start values are set (every load).
    void pageReady();
    // The window is closing for good: windows that belong to it close too.
    void closing();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createChildren();
    void createLists();
    void createPlayback();
    void createDataPanels();
    bool mapShownWhenDocked() const; // a docked map panel is visible
    void reportMissingComponents();
    void onPageLoaded(bool ok);
    bool handleKey(int key, Qt::KeyboardModifiers modifiers);
    int scrollBarWidth() const;
    void resetCaptionButtons();
    // True when the window may close: no download runs, or the user chose to stop it.
    bool confirmQuit();
    void showLanguageMenu();

    PlaybackSession& m_session;
    ViewerState m_state;
    BusyFlag m_busy; // before the dispatcher, which reads it
    std::unique_ptr<PlaybackEngineHolder> m_engineHolder;
    std::unique_ptr<PlaybackControl> m_playback; // adapts m_engineHolder
    CommandDispatcher m_dispatcher;
    std::array<QWidget*, static_cast<int>(PanelSlot::Count)> m_panels{};
    std::array<bool, static_cast<int>(PanelSlot::Count)> m_docked{};
    BrowserHost* m_page = nullptr;
    MainPage* m_mainPage = nullptr;
    QScrollBar* m_listScrollBar = nullptr;
    std::unique_ptr<ListController> m_lists;
    std::unique_ptr<WindowPlayback> m_player; // destroyed before the lists it reads
    DataPanelSet* m_dataPanels = nullptr;
    CaptionButton* m_closeButton = nullptr;
    CaptionButton* m_maximiseButton = nullptr;
    CaptionButton* m_minimiseButton = nullptr;
    CaptionButton* m_languageButton = nullptr;
    QMenu* m_languageMenu = nullptr;
    QLabel* m_titleLabel = nullptr; // hidden; carries the title text
    QLabel* m_logo = nullptr;
    QRect m_restoreGeometry; // window rectangle before maximising
    PageCommandHandler* m_setupWindow = nullptr;
    PageCommandHandler* m_searchWindow = nullptr;
    PageCommandHandler* m_downloadWindow = nullptr;
    std::map<int, std::function<void(int)>> m_commandHandlers;
    Commands m_commands;
    std::unique_ptr<AppContext> m_context; // once the list and the player exist
    QStringList m_arguments;
    std::function<bool(const QString&)> m_askQuit;
    std::function<void(const QString&)> m_tellLanguage;
};
