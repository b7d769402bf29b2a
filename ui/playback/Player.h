// The player: the only user of the playback engine. It opens the chosen recording (engine, data
// records, the ID/password question, rate and brightness) and hands it to the session, runs the
// clock that publishes the position and moves on at the end, and carries out the operations of
// the keys, the page's commands and the list: play/pause, steps, previous/next, return to idle,
// seeks and row opens. The page, the list, the screens and the panels follow the session, never
// the player.
//
// Threading: UI thread only, as the engine (media/playback/PlaybackEngine.h).
#pragma once

#include "media/playback/PlaybackEngine.h"
#include "ui/playback/PlayerControl.h"
#include "ui/playback/LoadedTrackData.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>

class BusyFlag;
class PlaybackSession;
class ProgressWindow;
class QWidget;
class RecordingList;
class VideoScreen;
struct PlaybackState;

enum class MessageIcon { None, Information, Error };

// What the opening of a list entry came to, before the session takes it.
struct OpenResult {
    enum class Status {
        Opened,    // the engine plays it and the identity question (if any) was answered
        Cancelled, // the ID/password question was cancelled: nothing of it is shown
        Failed,    // the engine cannot play it (or the entry has no file)
    };
    Status status = Status::Failed;
    std::filesystem::path path;
    RecordingData records;
    std::string readError; // why the data records could not be read; empty when they could
};

class Player : public QObject, public PlayerControl {
    Q_OBJECT
public:
    static constexpr int kClockPeriodMs = 100; // the clock's tick
    static constexpr int kOpenNowMs = 1;       // open the chosen recording now
    static constexpr int kOpenNextMs = 1000;   // open the next one after the end of a recording
    static constexpr int kBusyShownMs = 10;    // the busy window is drawn before the opening runs

    // Whether the left mouse button is held anywhere (the clock does not move meanwhile).
    using MouseHeld = std::function<bool()>;
    // The ID/password question: nullopt for Cancel, else the entered (id, password).
    using CredentialsAsker = std::function<std::optional<std::pair<QString, QString>>()>;
    // Reads the data records of the recording at a path; `error` gets why they could not be read.
    using TrackLoader = std::function<RecordingData(const std::filesystem::path&, std::string* error)>;
    // A message box; tests answer it without blocking.
    using MessageShower = std::function<void(const QString& text, MessageIcon icon)>;

    // `owner`: the window the busy window, the ID/password question and message boxes belong to.
    Player(PlaybackSession& session, PlaybackState& state, RecordingList& list, BusyFlag& busy,
           QWidget* owner = nullptr);
    ~Player() override;

    // The screens the engine draws channels 1..4 into; shown while a recording plays, hidden
    // during the ID/password question.
    void setScreens(const std::array<VideoScreen*, 4>& screens);
    void setMouseHeld(MouseHeld held) { m_mouseHeld = std::move(held); }
    void setCredentialsAsker(CredentialsAsker asker) { m_asker = std::move(asker); }
    void setTrackLoader(TrackLoader loader) { m_loader = std::move(loader); }
    void setMessageShower(MessageShower shower) { m_showMessage = std::move(shower); }

    // --- Operations of the keys, the page's commands and the list ---
    void playPause() override;
    void stepBack() override;    // two seconds back
    void stepForward() override; // one second forward
    void openPrevious() override;
    void openNext() override;
    void returnToIdle(bool clearSelection = false) override;
    void seek(int64_t positionMs) override; // ignored while busy
    void openRow(int index) override;       // a list click, the search page, "btnFileSelect"; ignored while busy
    // Closes the recording and empties the list (a single file is about to be listed).
    void clearAndClose();
    // A folder or card named on the command line has been listed: its oldest recording plays.
    void playFirstListed();
    // Lists one recording file named outside the list (command line, a second start, the file
    // dialog) alone and plays it.
    void openSingleFile(const QString& folder, const QString& name);

    // --- The engine, for the page's commands and the tools ---
    PlaybackEngine::State state() const override;
    int channelCount() const override;
    uint64_t positionMs() const override;
    uint64_t durationMs() const override;
    // Without a recording run, pause and stop do nothing and succeed.
    bool run() override;
    bool pause() override;
    bool stop() override;
    bool stepFrame() override;
    void setRate(float rate) override;
    void setBrightness(int channel, int level /* -255..255 */) override;
    void setVolume(int level /* 0..65535 */) override;
    void setViewOptions(uint32_t options /* kViewFlip|kViewMirror */) override;
    uint32_t volume() const { return m_engine.volume(); }           // kept across recordings
    uint32_t viewOptions() const { return m_engine.viewOptions(); } // kept across recordings
    VideoFramePtr captureImage(int channel /* 1-based */);

    // The row of the open or chosen recording; -1 none (card delete moves it with the rows).
    int selectedRow() const;
    void setSelectedRow(int row);
    void repaint(); // the screens show their pictures again (after a resize or a new layout)
    uint64_t droppedFrames() const;
    uint64_t renderedFrames() const;
    // 1 when every playback component exists, else which is missing (PlaybackEngine::checkFilters).
    static int checkFilters() { return PlaybackEngine::checkFilters(); }

    // --- Opening ---
    // Opens list entry `entry` in the engine, reads its records and asks for its ID and password
    // when it is protected. Does not touch the session; a failure is reported to the user.
    OpenResult open(int entry);
    // True from a requested opening until it has finished (or other busy work): list clicks and
    // commands are ignored meanwhile.
    bool isBusy() const;
    const QString& timeLabel() const { return m_timeLabel; } // "00:00 / mm:ss" of the last opening
    static QString formatTimeLabel(uint64_t lengthMs);
    QString lastAcceptedId() const { return QString::fromStdString(m_identity.lastId()); }

    // --- The clock ---
    void tick();        // one tick, as the clock runs it (tests call it directly)
    void delayedOpen(); // the delayed open's work, as its timer runs it
    void showPosition(); // the engine's position to the session (only while running or paused)
    bool isRunning() const { return m_clock.isActive(); }
    bool isOpenPending() const { return m_openTimer.isActive(); }
    int openDelayMs() const { return m_openTimer.interval(); }
    // Last row, from `from` upwards or downwards, whose kind matches the kind filter; -1 none.
    int findRow(int from, int step) const;
    // The window is closing: the clock and any pending opening stop, the recording is closed.
    void shutdown();

signals:
    void ticked(int64_t positionMs);
    void openFinished(bool opened); // a requested opening is over and the busy flag cleared

private:
    bool busy() const;
    void armClock() { m_clock.start(kClockPeriodMs); }
    void closeEngine();
    void clearLoop();
    void requestOpen();
    void runRequestedOpen();
    bool openSelected();
    void playbackStarted();
    RecordingData readRecords(const std::filesystem::path& path, std::string* error);
    bool checkIdentity(RecordingData& data);
    void showScreens(bool show);
    void showMessage(const QString& text, MessageIcon icon);

    mutable PlaybackEngine m_engine; // its queries drain the pipeline's messages
    PlaybackSession& m_session;
    PlaybackState& m_state;
    RecordingList& m_list;
    BusyFlag& m_busy;
    QWidget* m_owner;
    std::array<VideoScreen*, 4> m_screens{};
    QPointer<ProgressWindow> m_progress; // created on first use; follows the busy flag
    MouseHeld m_mouseHeld;
    CredentialsAsker m_asker;
    TrackLoader m_loader;
    MessageShower m_showMessage;
    QTimer m_clock;     // the 100 ms clock
    QTimer m_openTimer; // the delayed open (now, or a second after the end)
    QTimer m_openRun;   // lets the busy window be drawn before the opening runs
    QString m_timeLabel;
    RecordingIdentity m_identity;  // the pair last entered correctly in this run
    RecordingDataLoader m_records; // keeps the setup-record copy from one opening to the next
};
