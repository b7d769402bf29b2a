#include "ui/playback/Player.h"

#include "core/config/ViewerConfig.h"
#include "core/container/RecordingReader.h"
#include "core/recordings/RecordingName.h"
#include "ui/playback/PasswordDialog.h"
#include "ui/playback/ProgressWindow.h"
#include "ui/playback/BusyFlag.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/common/PlaybackState.h"
#include "ui/playback/PlaybackValues.h"
#include "ui/playback/RecordingList.h"
#include "ui/screens/VideoScreen.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QWidget>

#include <algorithm>

Player::Player(PlaybackSession& session, PlaybackState& state, RecordingList& list, BusyFlag& busy,
               QWidget* owner)
    : m_session(session), m_state(state), m_list(list), m_busy(busy), m_owner(owner),
      m_mouseHeld([] { return bool(QGuiApplication::mouseButtons() & Qt::LeftButton); }) {
    m_clock.setSingleShot(true); // re-armed by each tick
    connect(&m_clock, &QTimer::timeout, this, &Player::tick);
    m_openTimer.setSingleShot(true);
    connect(&m_openTimer, &QTimer::timeout, this, &Player::delayedOpen);
    m_openRun.setSingleShot(true);
    connect(&m_openRun, &QTimer::timeout, this, &Player::runRequestedOpen);
    // Panels, the list and tools ask the session for a seek; the player carries it out.
    connect(&m_session, &PlaybackSession::seekRequested, this, [this](qint64 positionMs) {
        seek(positionMs);
        showPosition();
    });
    m_showMessage = [this](const QString& text, MessageIcon icon) {
        QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                        m_owner ? m_owner->window()->windowTitle() : QString(), text, QMessageBox::Ok,
                        m_owner);
        box.exec();
    };
    m_asker = [this]() -> std::optional<std::pair<QString, QString>> {
        PasswordDialog dialog(m_owner);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return std::make_pair(dialog.enteredId(), dialog.enteredPassword());
    };
    m_loader = [this](const std::filesystem::path& path, std::string* error) { return readRecords(path, error); };
}

Player::~Player() {
    // The session and the list may be gone already: only the player's own parts stop here.
    m_clock.stop();
    m_openTimer.stop();
    m_openRun.stop();
    if (m_progress) {
        delete m_progress;
        m_busy.setOpening(false);
    }
}

void Player::setScreens(const std::array<VideoScreen*, 4>& screens) {
    m_screens = screens;
    m_engine.setViews({screens[0], screens[1], screens[2], screens[3]});
}

// ---------------------------------------------------------------------------------------------
// The engine

PlaybackEngine::State Player::state() const {
    return m_engine.state();
}

int Player::channelCount() const {
    return m_engine.channelCount();
}

uint64_t Player::positionMs() const {
    return m_engine.positionMs();
}

uint64_t Player::durationMs() const {
    return m_engine.durationMs();
}

bool Player::run() {
    return m_engine.run();
}

bool Player::pause() {
    return m_engine.pause();
}

bool Player::stop() {
    return m_engine.stop();
}

bool Player::stepFrame() {
    return m_engine.stepFrame();
}

void Player::setRate(float rate) {
    m_engine.setRate(rate);
}

void Player::setBrightness(int channel, int level) {
    m_engine.setBrightness(channel, level);
}

void Player::setVolume(int level) {
    m_engine.setVolume(static_cast<uint32_t>(std::clamp(level, 0, PlaybackValues::kVolumeLevelMax)));
}

void Player::setViewOptions(uint32_t options) {
    m_engine.setViewOptions(options & (kViewFlip | kViewMirror));
}

VideoFramePtr Player::captureImage(int channel) {
    return m_engine.captureImage(channel);
}

int Player::selectedRow() const {
    return m_state.selectedIndex;
}

void Player::setSelectedRow(int row) {
    m_state.selectedIndex = row;
}

void Player::repaint() {
    m_engine.repaint();
}

uint64_t Player::droppedFrames() const {
    return m_engine.droppedFrames();
}

uint64_t Player::renderedFrames() const {
    return m_engine.renderedFrames();
}

// ---------------------------------------------------------------------------------------------
// The clock

bool Player::busy() const {
    return m_busy.isBusy();
}

bool Player::isBusy() const {
    return m_busy.isBusy();
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
    const PlaybackEngine::State state = m_engine.state();
    if (state == PlaybackEngine::State::Closed || state == PlaybackEngine::State::NotBuilt)
        return;

    PlaybackState& ps = m_state;
    const int64_t pos = static_cast<int64_t>(m_engine.positionMs());
    const int64_t duration = static_cast<int64_t>(m_engine.durationMs());
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
        m_engine.seekTo(static_cast<uint64_t>(std::max<int64_t>(0, loopFrom)));
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
    const PlaybackEngine::State state = m_engine.state();
    if (state != PlaybackEngine::State::Running && state != PlaybackEngine::State::Paused)
        return;
    const uint64_t pos = m_engine.positionMs();
    m_state.position = static_cast<int>(pos / 1000);
    m_session.publishPosition(static_cast<int64_t>(pos));
}

void Player::delayedOpen() {
    m_openTimer.stop();
    closeEngine();
    requestOpen();
}

void Player::closeEngine() {
    m_engine.stop();
    m_engine.seekTo(0);
    m_engine.stop();
    m_engine.close();
}

void Player::shutdown() {
    returnToIdle();
    if (m_openRun.isActive()) {
        m_openRun.stop();
        m_busy.setOpening(false);
    }
}

// ---------------------------------------------------------------------------------------------
// Operations

void Player::playPause() {
    const PlaybackEngine::State state = m_engine.state();
    if (state == PlaybackEngine::State::Paused) {
        m_engine.run();
        armClock();
        m_session.setState(PlaybackSession::State::Playing);
        return;
    }
    if (state == PlaybackEngine::State::Running) {
        m_engine.pause();
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
    if (m_engine.skipBack(2))
        showPosition();
}

void Player::stepForward() {
    if (m_engine.skipForward(1))
        showPosition();
}

void Player::openPrevious() {
    const int row = findRow(m_state.selectedIndex - 1, -1);
    if (row < 0)
        return;
    m_state.selectedIndex = row;
    requestOpen();
}

void Player::openNext() {
    const int row = findRow(m_state.selectedIndex + 1, 1);
    if (row < 0) {
        returnToIdle(true);
        return;
    }
    m_state.selectedIndex = row;
    requestOpen();
}

void Player::returnToIdle(bool clearSelection) {
    if (clearSelection)
        m_list.clearHighlight();
    m_clock.stop();
    m_openTimer.stop(); // a pending open would bring back what the user just left
    closeEngine();
    m_state.selectedIndex = -1;
    m_state.position = 0;
    clearLoop();
    m_session.close(); // the page, the list and the panels show nothing open
}

void Player::clearAndClose() {
    m_clock.stop();
    m_openTimer.stop();
    m_engine.close();
    m_list.clearRecordings();
    m_state.selectedIndex = -1;
    m_state.position = 0;
    clearLoop();
    m_session.close();
    // The sound keeps the level of the page's slider: the engine carries it to the next
    // recording (setting half here left the slider showing a level that was no longer true).
}

void Player::clearLoop() {
    // A loop belongs to the recording it was set on.
    m_state.loopActive = false;
    m_state.loopStart = 0;
    m_state.loopEnd = 0;
}

void Player::seek(int64_t positionMs) {
    if (busy())
        return;
    m_engine.seekTo(static_cast<uint64_t>(std::max<int64_t>(0, positionMs)));
}

void Player::openRow(int index) {
    if (busy())
        return;
    // A row the list does not have (a stale or made-up page value) is no reason for an error box.
    if (index >= m_list.recordingCount())
        return;
    m_state.selectedIndex = index;
    if (index < 0)
        return;
    if (m_engine.state() == PlaybackEngine::State::Running) {
        m_engine.stop();
        m_engine.seekTo(0);
        m_clock.stop();
    }
    requestOpen();
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

void Player::openSingleFile(const QString& folder, const QString& name) {
    const QString full = folder.isEmpty() ? name : folder + QLatin1Char('/') + name;
    const std::filesystem::path path(QFileInfo(full).absoluteFilePath().toStdString());
    clearAndClose();
    m_list.listSingleFile(path);
    // Nothing is chosen yet, so play takes the listed file (the last row of the kind filter).
    m_state.selectedIndex = -1;
    playPause();
}

// ---------------------------------------------------------------------------------------------
// Opening

QString Player::formatTimeLabel(uint64_t lengthMs) {
    // Minutes are counted within the hour, as the camera's own players show them.
    const uint64_t withinHour = (lengthMs / 1000) % 3600;
    return QString::asprintf("00:00 / %02d:%02d", static_cast<int>(withinHour / 60),
                             static_cast<int>(withinHour % 60));
}

void Player::requestOpen() {
    m_openTimer.stop(); // any open replaces a pending delayed one
    if (!m_progress) {
        m_progress = new ProgressWindow(m_owner);
        connect(&m_busy, &BusyFlag::openingChanged, m_progress, &ProgressWindow::follow);
    }
    m_busy.setOpening(true);
    m_openRun.start(kBusyShownMs);
}

void Player::runRequestedOpen() {
    if (!m_busy.isBusy())
        return;
    const bool opened = openSelected();
    m_busy.setOpening(false);
    emit openFinished(opened);
}

OpenResult Player::open(int entry) {
    OpenResult result;
    result.path = m_list.rowPath(entry);
    if (result.path.empty() || !m_engine.open(result.path))
        return result;
    showScreens(true);
    // Everything of the previous recording goes before any record of this one is read (the
    // loader keeps the setup-record copy: pieces may arrive without their siblings).
    result.records = m_loader(result.path, &result.readError);
    result.status = checkIdentity(result.records) ? OpenResult::Status::Opened : OpenResult::Status::Cancelled;
    return result;
}

bool Player::openSelected() {
    const int entry = m_state.selectedIndex;
    OpenResult result = open(entry);
    if (result.status == OpenResult::Status::Failed) {
        returnToIdle();
        showMessage(QString::fromStdString(LString("MAIN_MSG_NO_PLAY")), MessageIcon::Error);
        return false;
    }
    if (result.status == OpenResult::Status::Cancelled) {
        // Nothing of the recording is shown; the window is idle and says so.
        returnToIdle(true);
        return true;
    }
    const uint64_t lengthMs = m_engine.durationMs();
    m_timeLabel = formatTimeLabel(lengthMs);
    const std::string listed = m_list.recordingName(entry);
    OpenRecording opened;
    opened.path = result.path;
    opened.name = QString::fromStdString(listed.empty() ? result.path.filename().string() : listed);
    opened.listIndex = entry;
    opened.kind = GetRecordingKind(result.path.filename().string());
    opened.channels = m_engine.channelCount();
    opened.lengthMs = static_cast<int64_t>(lengthMs);
    opened.trackRangeMs = PlaybackValues::trackRange(lengthMs);
    // The window (title, layout), the page, the list and the panels take the recording, its range
    // and its records from here.
    m_session.open(std::move(opened), std::move(result.records));
    playbackStarted();
    // It plays; what could not be read of its records (the panels stay empty) is said.
    if (!result.readError.empty())
        showMessage(QString::fromStdString(result.readError), MessageIcon::Information);
    return true;
}

void Player::playbackStarted() {
    clearLoop();
    m_engine.repaint();
    // The chosen rate and brightness, once: they apply from the first picture on.
    m_engine.setRate(PlaybackValues::rateForIndex(m_state.speedIndex));
    const int brightness = PlaybackValues::brightnessLevel(m_state.brightnessStep);
    for (int channel = 0; channel < m_engine.channelCount(); ++channel)
        m_engine.setBrightness(channel, brightness);
    m_engine.run();
    // The page shows its pause button while a recording plays, however playback was started.
    m_session.setState(m_engine.state() == PlaybackEngine::State::Running ? PlaybackSession::State::Playing
                                                                          : PlaybackSession::State::Stopped);
    armClock();
}

RecordingData Player::readRecords(const std::filesystem::path& path, std::string* error) {
    // A file the reader cannot make sense of has no records: the panels stay empty, it still plays.
    std::unique_ptr<RecordingReader> reader = RecordingReader::open(path, error);
    return m_records.Load(reader.get());
}

bool Player::checkIdentity(RecordingData& data) {
    if (data.recordingId == kMasterPassword && data.recordingPassword == kMasterPassword) {
        data.recordingId.clear();
        data.recordingPassword.clear();
    }
    if (!m_identity.NeedsQuestion(data))
        return true;

    showScreens(false);
    for (;;) {
        const auto answer = m_asker();
        if (!answer)
            return false;
        if (m_identity.Accept(data, answer->first.toStdString(), answer->second.toStdString())) {
            showScreens(true);
            return true;
        }
        showMessage(QString::fromStdString(LString("WRONG_USERINFO")), MessageIcon::None);
    }
}

void Player::showScreens(bool show) {
    for (int i = 0; i < 3; ++i) {
        if (m_screens[i])
            m_screens[i]->setVisible(show);
    }
    if (m_screens[3])
        m_screens[3]->hide();
}

void Player::showMessage(const QString& text, MessageIcon icon) {
    if (m_showMessage)
        m_showMessage(text, icon);
}
