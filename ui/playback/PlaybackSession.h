// The one announcement of what plays: the open recording, its track data and track range, the
// position and the engine state. Owned by the application object, not by a window. The player
// opens and closes through it and publishes the position; the page wrapper, the list, the
// video screens, every data panel and the tool windows subscribe to its signals and never go
// through the main window for any of it.
//
// Threading: UI thread only. Signals are emitted synchronously in the order open -> positions ->
// close; a subscriber that opens a window must queue that work.
#pragma once

#include "core/trackdata/RecordingDataLoader.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <filesystem>

// What is known of the open recording besides its data records.
struct OpenRecording {
    std::filesystem::path path; // the file being played
    QString name;               // as the list shows it (the file name); the window's title
    int listIndex = -1;         // row in the scan list; -1 when opened as a single file
    int kind = 0;               // RecordingKind of the file (1 normal .. 4 parking)
    int channels = 0;           // video channels shown (1..4)
    int64_t lengthMs = 0;       // the recording's length as the engine reports it
    int trackRangeMs = 0;       // what the page and panels span: lengthMs - lengthMs / 60
};

class PlaybackSession : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle,    // nothing open
        Playing, // engine running
        Paused,  // engine paused on a picture
        Stopped, // open, engine stopped (end reached or stopped by the user)
    };
    Q_ENUM(State)

    explicit PlaybackSession(QObject* parent = nullptr);

    bool isOpen() const { return m_open; }
    const OpenRecording& recording() const { return m_recording; }
    const RecordingData& trackData() const { return m_data; }
    int64_t positionMs() const { return m_positionMs; }
    State state() const { return m_state; }

    // The player: a recording is open with its data. Emits recordingClosed first when another
    // one was open, then recordingOpened, then positionChanged(0).
    void open(OpenRecording recording, RecordingData data);
    // The player: nothing is open any more (return to idle, card removed, errors).
    void close();
    // The player, each tick and after seeks: emits positionChanged only when the value changed.
    void publishPosition(int64_t positionMs);
    void setState(State state);

    // Panels, the list and tools ask for a seek ; the player carries it
    // out on the engine and publishes the new position.
    void requestSeek(int64_t positionMs) { emit seekRequested(positionMs); }

signals:
    void recordingOpened(); // recording() and trackData() hold the new recording
    void positionChanged(qint64 positionMs);
    void recordingClosed();
    void stateChanged(PlaybackSession::State state);
    void seekRequested(qint64 positionMs);

private:
    bool m_open = false;
    OpenRecording m_recording;
    RecordingData m_data;
    int64_t m_positionMs = 0;
    State m_state = State::Idle;
};
