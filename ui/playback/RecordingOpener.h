// Opens the recording of the selected list row behind the busy window: engine, time display,
// data records, identity check, rate and brightness, then opens it in the playback session, which
// the page, the list and the panels follow. The playback clock and the command dispatch ask it.
#pragma once

#include "ui/playback/LoadedTrackData.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>

#include <filesystem>
#include <functional>
#include <optional>
#include <utility>

class BusyFlag;
class VideoScreen;
class ProgressWindow;
class Player;
class PlaybackEngineHolder;
class PlaybackSession;
class QWidget;
class RecordingList;
struct PlaybackState;

enum class MessageIcon { None, Information, Error };

class RecordingOpener : public QObject {
    Q_OBJECT
public:
    enum Job : int {
        kJobOpen = 0,         // delayed open of the clock (the row is already selected)
        kJobOpenAndMark = 1,  // previous / next
        kJobOpenFromList = 2, // a list click, the search page, "btnFileSelect"
    };

    // The ID/password question: nullopt for Cancel, else the entered (id, password).
    using CredentialsAsker = std::function<std::optional<std::pair<QString, QString>>()>;
    // Reads the data records of the recording at a path (the default reads the file's records).
    using TrackLoader = std::function<LoadedTrackData(const std::filesystem::path&)>;

    // A message box; tests answer it without blocking.
    using MessageShower = std::function<void(const QString& text, MessageIcon icon)>;

    // `owner`: the window the busy window, the ID/password question and message boxes belong to.
    RecordingOpener(PlaybackSession& session, PlaybackEngineHolder& engine, PlaybackState& state,
                    RecordingList& list, BusyFlag& busy, QWidget* owner);
    ~RecordingOpener() override;

    void setClock(Player* clock) { m_clock = clock; }
    void setCredentialsAsker(CredentialsAsker asker) { m_asker = std::move(asker); }
    void setTrackLoader(TrackLoader loader) { m_loader = std::move(loader); }
    void setMessageShower(MessageShower shower) { m_showMessage = std::move(shower); }
    // The screens shown while a recording plays and hidden during the ID/password question.
    void setScreens(const std::array<VideoScreen*, 4>& screens) { m_screens = screens; }

    // Shows the busy window; 10 ms later the opening runs. An opened recording is announced by
    // the session, which the list follows to mark its row.
    void requestOpen(int job);
    // True while the window is busy (between RequestOpen and the end of the opening, or other
    // busy work): list clicks and commands are ignored.
    bool isBusy() const;
    // The opening itself, for the selected index; a failure is reported to the user inside.
    bool openSelectedRecording();
    // Ends a pending request for good (the main window is closing).
    void shutdown();

    // What the last opening set.
    const QString& openRecordingName() const { return m_name; }
    uint64_t totalLengthMs() const { return m_totalLengthMs; }
    int trackRangeMs() const { return m_trackRangeMs; }
    const QString& timeLabel() const { return m_timeLabel; }
    const LoadedTrackData& trackData() const { return m_data; }
    QString lastAcceptedId() const { return QString::fromStdString(m_identity.lastId()); }
    QString lastAcceptedPassword() const { return QString::fromStdString(m_identity.lastPassword()); }

    static QString formatTimeLabel(uint64_t lengthMs);

signals:
    void openFinished(int job, bool opened); // after the busy window has gone

private:
    void onOpenNow(int job);
    LoadedTrackData readRecords(const std::filesystem::path& path);
    bool checkIdentity();
    void showScreens(bool show);
    void showMessage(const QString& text, MessageIcon icon);

    PlaybackSession& m_session;
    PlaybackEngineHolder& m_engine;
    PlaybackState& m_state;
    RecordingList& m_list;
    BusyFlag& m_busy;
    QWidget* m_owner;
    std::array<VideoScreen*, 4> m_screens{};
    MessageShower m_showMessage;
    Player* m_clock = nullptr;
    QPointer<ProgressWindow> m_progress; // created on first use
    CredentialsAsker m_asker;
    TrackLoader m_loader;

    QString m_name;
    uint64_t m_totalLengthMs = 0;
    int m_trackRangeMs = 0;
    QString m_timeLabel;
    LoadedTrackData m_data;
    RecordingIdentity m_identity;  // the pair last entered correctly in this run
    RecordingDataLoader m_records; // keeps the setup-record copy from one opening to the next
};
