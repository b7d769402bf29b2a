// The commands that take data out of the open recording: the snapshot ("btnPicture"), the print
// report ("btnPrint"), the event-log export ("btnLog") and the GPX export ("btnGpx"), installed by
// installDataOutCommands (DataOutHookup.h). They read the open recording from the PlaybackSession
// and the pictures from the Player. File choosers and message boxes are replaceable so tests run
// them without a person.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <filesystem>
#include <functional>
#include <vector>

class PlaybackSession;
class Player;
class QTemporaryDir;
class QWidget;

class DataOutCommands : public QObject {
    Q_OBJECT
public:
    struct Prompts {
        // A file to write: title, proposed name (may carry a folder), name filters (";;"-separated),
        // default suffix. Empty for Cancel. Overwriting an existing file has been confirmed.
        std::function<QString(const QString&, const QString&, const QString&, const QString&)> saveFile;
        // A file to read: title, filters. Empty for Cancel.
        std::function<QString(const QString&, const QString&)> openFile;
        // A message box; `error` picks the error icon.
        std::function<void(const QString& text, bool error)> message;
    };
    // The recordings checked in the list (GPX of a selection); empty when none are checked.
    using CheckedRecordings = std::function<std::vector<std::filesystem::path>()>;
    // Runs the print window over the saved pictures (see PrintReport).
    struct PrintJob {
        int imageCount = 0;
        QString fileName;  // the recording's file name
        QString imageBase; // "<folder>/<base>": the pictures are imageBase + "_<n>.jpg"
        QString company, vehicle, driver;
        int64_t positionMs = 0;
        int trackRangeMs = 0;
        QString speedGraph;   // PNG of the speed panel's graph at the moment; empty without GPS data
        QString gsensorGraph; // PNG of the G-sensor panel's graph; empty without G-sensor data
    };
    static constexpr int kGraphWidth = 640;
    static constexpr int kGraphHeight = 200;
    using PrintRunner = std::function<void(const PrintJob&)>;

    DataOutCommands(QWidget* window, PlaybackSession& session, Player& player);
    ~DataOutCommands() override;

    void setPrompts(Prompts prompts) { m_prompts = std::move(prompts); }
    void setCheckedRecordings(CheckedRecordings checked) { m_checked = std::move(checked); }
    void setPrintRunner(PrintRunner runner) { m_print = std::move(runner); }

    // Snapshot: every channel's current picture as JPEG under a name the user confirms. Returns the
    // number of pictures written (0 when nothing is open, the user cancelled or all failed).
    int snapshot();
    // Print report: the pictures go to a private temporary folder, then the print window runs.
    // Returns the number of pictures saved, -1 when nothing was open.
    int printReport();
    // Event-log export: a ".bin" log chosen by the user to a CSV file; "Complete" or what failed.
    bool exportEventLog();
    // GPX: the checked recordings (one segment each) or else the open recording's track.
    bool exportGpx();

    // A message box through the replaceable prompts.
    void showMessage(const QString& text, bool error) { m_prompts.message(text, error); }
    // Folder of the last report's pictures (removed with the next report or this object).
    QString reportFolder() const;

private:
    // Pauses a running engine; true when it was running. False in `ok` when nothing can be taken.
    bool pauseForPictures(bool& ok);
    void resume(bool wasRunning);
    QString text(const char* id) const;
    void drawGraphs(PrintJob& job, const QString& base) const;

    QWidget* m_window;
    PlaybackSession& m_session;
    Player& m_player;
    Prompts m_prompts;
    CheckedRecordings m_checked;
    PrintRunner m_print;
    std::unique_ptr<QTemporaryDir> m_reportFolder;
};
