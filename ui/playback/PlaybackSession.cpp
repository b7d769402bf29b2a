#include "ui/playback/PlaybackSession.h"

#include <utility>

PlaybackSession::PlaybackSession(QObject* parent) : QObject(parent) {}

void PlaybackSession::open(OpenRecording recording, RecordingData data) {
    if (m_open)
        close();
    m_recording = std::move(recording);
    m_data = std::move(data);
    m_positionMs = 0;
    m_open = true;
    emit recordingOpened();
    emit positionChanged(0);
}

void PlaybackSession::close() {
    if (!m_open)
        return;
    m_open = false;
    m_recording = {};
    m_data = {};
    m_positionMs = 0;
    setState(State::Idle);
    emit recordingClosed();
}

void PlaybackSession::publishPosition(int64_t positionMs) {
    if (positionMs == m_positionMs)
        return;
    m_positionMs = positionMs;
    emit positionChanged(positionMs);
}

void PlaybackSession::setState(State state) {
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}
