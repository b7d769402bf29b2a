#include "ui/playback/Player.h"

#include "core/recordings/RecordingName.h"
#include "media/playback/PlaybackEngine.h"
#include "ui/playback/PlaybackState.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/playback/RecordingList.h"
#include "ui/playback/RecordingOpener.h"

#include <QGuiApplication>

#include <algorithm>

Player::Player(PlaybackSession& session, PlaybackEngineHolder& engine, PlaybackState& state,
                             RecordingList& list, RecordingOpener& opener)
    : m_session(session), m_engine(engine), m_state(state), m_list(list), m_opener(opener),
      m_mouseHeld([] { return bool(QGuiApplication::mouseButtons() & Qt::LeftButton); }) {
    m_clock.setObjectName(QStringLiteral("257"));
    m_clock.setSingleShot(true); // re-armed by each tick
    connect(&m_clock, &QTimer::timeout, this, &Player::tick);
    m_openTimer.setObjectName(QStringLiteral("258"));
    m_openTimer.setSingleShot(true);
    connect(&m_openTimer, &QTimer::timeout, this, &Player::delayedOpen);
    m_opener.setClock(this);
    // Panels, the list and tools ask the session for a seek; the clock carries it out.
    connect(&m_session, &PlaybackSession::seekRequested, this, [this](qint64 positionMs) {
        seek(positionMs);
        showPosition();
    });
}

bool Player::busy() const {
    return m_opener.isBusy();
}

int Player::findRow(int from, int step) const {
    const int count = m_list.recordingCount();
    const int filter = m_list.kindFilter();
    for (int row = from; row >= 0 && row < count; row += step) {
        if (filter == kKindNormal || GetRecordingKind(m_list.recordingName(row)) == filter)
            return row;
    }
    return -1;
}

void Player::tick() {
    m_clock.stop();
    // Nothing moves while the user drags the time line or holds a click.
    if (m_mouseHeld && m_mouseHeld()) {
        armClock();
        return;
    }
    PlaybackEngineHolder& engine = m_engine;
    const int state = engine.getState();
    if (state < 0 || state == PlaybackEngine::kNotBuilt)
        return;

    PlaybackState& ps = m_state;
    const int64_t pos = static_cast<int64_t>(engine.getPositionMs());
    const int64_t duration = static_cast<int64_t>(engine.getDurationMs());
    // The two loop points in either order, within the recording; a loop of no length is none.
    const int64_t loopFrom = std::min(ps.loopStart, ps.loopEnd);
    const int64_t loopTo = std::min<int64_t>(std::max(ps.loopStart, ps.loopEnd), duration);
    const bool looping = ps.loopActive && loopTo > loopFrom;
    const int64_t end = looping ? loopTo : duration;
    if (pos >= 0 && pos < end) {
        // A paused recording gives the same position tick after tick: the session announces only
        // a change, so the page and the panels are not called ten times a second for nothing.
        showPosition();
        armClock();
    } else if (looping) {
        engine.seekTo(static_cast<uint64_t>(std::max<int64_t>(0, loopFrom)));
        showPosition();
        armClock();
    } else {
        // The recording has ended: the next one of the kind follows after a second, or idle.
        showPosition();
        m_session.setState(PlaybackSession::State::Stopped);
        const int next = findRow(ps.selectedIndex + 1, 1);
        if (next >= 0) {
            ps.selectedIndex = next;
            m_list.selectRow(next, m_list.kindFilter());
            m_openTimer.start(kOpenNextMs);
        } else {
            returnToIdle(true);
        }
    }
    emit ticked(pos);
}

void Player::showPosition() {
    PlaybackEngineHolder& engine = m_engine;
    const int state = engine.getState();
    if (state != PlaybackEngine::kRunning && state != PlaybackEngine::kPaused)
        return;
    const uint64_t pos = engine.getPositionMs();
    m_state.position = static_cast<int>(pos / 1000);
    m_session.publishPosition(static_cast<int64_t>(pos));
}

void Player::delayedOpen() {
    m_openTimer.stop();
    closeEngine();
    requestOpen(RecordingOpener::kJobOpen);
}

void Player::closeEngine() {
    PlaybackEngineHolder& engine = m_engine;
    engine.stop();
    engine.seekTo(0);
    engine.stop();
    engine.closeRecording();
}

void Player::playPause() {
    PlaybackEngineHolder& engine = m_engine;
    const int state = engine.getState();
    if (state == PlaybackEngine::kPaused) {
        engine.Run();
        armClock();
        m_session.setState(PlaybackSession::State::Playing);
        return;
    }
    if (state == PlaybackEngine::kRunning) {
        engine.pause();
        m_session.setState(PlaybackSession::State::Paused);
        return;
    }
    const int count = m_list.recordingCount();
    if (count <= 0)
        return;
    PlaybackState& ps = m_state;
    if (ps.selectedIndex < 0) {
        const int last = findRow(count - 1, -1);
        if (last < 0)
            return;
        ps.selectedIndex = last;
    }
    m_list.selectRow(ps.selectedIndex, m_list.kindFilter());
    m_openTimer.start(kOpenNowMs);
}

void Player::stepBack() {
    PlaybackEngineHolder& engine = m_engine;
    if (engine.skipBack(2))
        showPosition();
}

void Player::stepForward() {
    PlaybackEngineHolder& engine = m_engine;
    if (engine.skipForward(1))
        showPosition();
}

void Player::openPrevious() {
    PlaybackState& ps = m_state;
    const int row = findRow(ps.selectedIndex - 1, -1);
    if (row < 0)
        return;
    ps.selectedIndex = row;
    requestOpen(RecordingOpener::kJobOpenAndMark);
}

void Player::openNext() {
    PlaybackState& ps = m_state;
    const int row = findRow(ps.selectedIndex + 1, 1);
    if (row < 0) {
        returnToIdle(true);
        return;
    }
    ps.selectedIndex = row;
    requestOpen(RecordingOpener::kJobOpenAndMark);
}

void Player::returnToIdle(bool clearSelection) {
    if (clearSelection)
        m_list.clearHighlight();
    m_clock.stop();
    m_openTimer.stop(); // a pending open would bring back what the user just left
    closeEngine();
    PlaybackState& ps = m_state;
    ps.selectedIndex = -1;
    ps.position = 0;
    clearLoop();
    m_session.close(); // the page, the list and the panels show nothing open
}

void Player::clearAndClose() {
    m_clock.stop();
    m_openTimer.stop();
    m_engine.closeRecording();
    m_list.clearRecordings();
    PlaybackState& ps = m_state;
    ps.selectedIndex = -1;
    ps.position = 0;
    clearLoop();
    m_session.close();
    // The sound keeps the level of the page's slider: the engine holder carries it to the next
    // recording (setting half here left the slider showing a level that was no longer true).
}

void Player::clearLoop() {
    // A loop belongs to the recording it was set on.
    PlaybackState& ps = m_state;
    ps.loopActive = false;
    ps.loopStart = 0;
    ps.loopEnd = 0;
}

void Player::requestOpen(int job) {
    m_openTimer.stop(); // any open replaces a pending delayed one
    m_opener.requestOpen(job);
}

void Player::playbackStarted() {
    PlaybackEngineHolder& engine = m_engine;
    clearLoop();
    engine.repaint();
    engine.Run();
    for (int channel = 0; channel < engine.getChannelCount(); ++channel)
        engine.setBrightness(channel, 0);
    engine.setRate(1.0f);
    // The page shows its pause button while a recording plays, however playback was started.
    m_session.setState(engine.getState() == PlaybackEngine::kRunning ? PlaybackSession::State::Playing
                                                                     : PlaybackSession::State::Stopped);
    armClock();
}

void Player::seek(int64_t positionMs) {
    if (busy())
        return;
    PlaybackEngineHolder& engine = m_engine;
    if (engine.getState() >= 0 && engine.getState() != PlaybackEngine::kNotBuilt)
        engine.seekTo(static_cast<uint64_t>(std::max<int64_t>(0, positionMs)));
}

void Player::openRow(int index) {
    if (busy())
        return;
    // A row the list does not have (a stale or made-up page value) is no reason for an error box.
    if (index >= m_list.recordingCount())
        return;
    PlaybackState& ps = m_state;
    ps.selectedIndex = index;
    if (index < 0)
        return;
    PlaybackEngineHolder& engine = m_engine;
    if (engine.getState() == PlaybackEngine::kRunning) {
        engine.stop();
        engine.seekTo(0);
        m_clock.stop();
    }
    requestOpen(RecordingOpener::kJobOpenFromList);
}

void Player::playFirstListed() {
    // A card named on the command line plays from its oldest recording on; each recording's end
    // moves on to the next, so the whole card plays in order.
    const int first = findRow(0, 1);
    if (first < 0)
        return;
    m_state.selectedIndex = first;
    playPause();
}
