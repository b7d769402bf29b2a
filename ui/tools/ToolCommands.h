// The tools' page commands: "btnConvert" and "btnDownload" (ConvertCopyWindow), "btnMerge"
// (MergeWindow) and "btnSave" (ScrambledCopyWindow), and the check of scrambled copies the player
// opens (ScrambledCopyCheck). installToolCommands registers them under those names, so the
// main window does not grow with each tool. Every command returns
// to the page first: its window opens from a queued call, never inside the script bridge's call,
// and runs window-modal without a nested event loop.
#pragma once

#include "ui/playback/PlaybackSession.h"
#include "ui/tools/ToolProgressWindow.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

class Commands;
class ListController;
class RecordingScanner;
class ReportList;
class ScrambledCopyCheck;
struct AppContext;

class ToolCommands : public QObject {
    Q_OBJECT
public:
    // What a tool does to playback: the player's engine in the program, a stand-in in tests.
    // Empty functions: nothing plays.
    struct Playback {
        std::function<bool()> running;
        std::function<void()> pause;
        std::function<void()> stop;
        std::function<void()> resume;
    };
    // What the commands use of the program; the choosers and the reporter may be replaced
    // (tests), the defaults show the real dialogs.
    struct Host {
        QWidget* window = nullptr;
        ListController* lists = nullptr;
        PlaybackSession* session = nullptr;
        Playback playback;
        std::function<int()> highlightedRow; // the list's highlighted row, -1 none
        std::function<QString(const QString& title)> chooseFolder;
        std::function<QString(const QString& proposed, const QString& filter)> chooseSaveFile;
        std::function<bool(const QString& question)> ask;
        ToolProgressWindow::Reporter report;
    };

    explicit ToolCommands(Host host, QObject* parent = nullptr);

    // The commands (run on a queued call by the registered handlers).
    void convert(int mode); // ConvertCopyWindow::kConvert or kCopy
    void merge();
    void copy();

    // The checked and chosen recordings of the kind filter (1: every kind), in list order.
    static QStringList checkedRecordings(const RecordingScanner& scanner, const ReportList& report,
                                         int kindFilter);
    // The window of the command that runs now (null when none).
    ToolProgressWindow* activeWindow() const { return m_active; }
    // The digest check of scrambled copies the player opens (null without a session).
    ScrambledCopyCheck* copyCheck() const { return m_copyCheck; }

signals:
    void windowOpened(ToolProgressWindow* window);
    void windowClosed(int result);

private:
    // Playback paused or stopped for a tool's window, and its resumption, told to the session.
    void announce(PlaybackSession::State state);
    bool playing() const { return m_host.playback.running && m_host.playback.running(); }
    void resumePlayback();
    int startIndex(bool* paused);
    QStringList listPaths() const;
    void report(QMessageBox::Icon icon, const QString& text);
    void open(ToolProgressWindow* window, std::function<void(int)> done);

    Host m_host;
    QPointer<ToolProgressWindow> m_active;
    ScrambledCopyCheck* m_copyCheck = nullptr;
};

// Creates the tools' commands (a child of context.parent) and registers "btnConvert",
// "btnDownload", "btnMerge" and "btnSave".
void installToolCommands(Commands& commands, AppContext& context);
