#include "ui/playback/RecordingOpener.h"

#include "core/config/ViewerConfig.h"
#include "core/container/RecordingReader.h"
#include "media/playback/PlaybackEngine.h"
#include "ui/playback/PlaybackState.h"
#include "ui/playback/BusyFlag.h"
#include "ui/playback/Player.h"
#include "ui/playback/PlaybackValues.h"
#include "ui/playback/RecordingList.h"
#include "ui/dialogs/ProgressWindow.h"
#include "ui/dialogs/PasswordDialog.h"
#include "ui/screens/VideoScreen.h"
#include "ui/playback/PlaybackSession.h"
#include "core/recordings/RecordingName.h"

#include <QMessageBox>
#include <QWidget>

RecordingOpener::RecordingOpener(PlaybackSession& session, PlaybackEngineHolder& engine, PlaybackState& state,
                                 RecordingList& list, BusyFlag& busy, QWidget* owner)
    : m_session(session), m_engine(engine), m_state(state), m_list(list), m_busy(busy), m_owner(owner) {
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
    m_loader = [this](const std::filesystem::path& path) { return readRecords(path); };
}

RecordingOpener::~RecordingOpener() {
    shutdown();
}

QString RecordingOpener::formatTimeLabel(uint64_t lengthMs) {
    // Minutes are counted within the hour, as the camera's own players show them.
    const uint64_t withinHour = (lengthMs / 1000) % 3600;
    return QString::asprintf("00:00 / %02d:%02d", static_cast<int>(withinHour / 60),
                             static_cast<int>(withinHour % 60));
}

void RecordingOpener::requestOpen(int job) {
    if (!m_progress) {
        m_progress = new ProgressWindow(m_owner);
        connect(m_progress, &ProgressWindow::openNow, this, &RecordingOpener::onOpenNow);
    }
    m_busy.setBusy(true);
    m_progress->start(job);
}

bool RecordingOpener::isBusy() const {
    return m_busy.isBusy();
}

void RecordingOpener::shutdown() {
    if (m_progress) {
        m_progress->stop();
        delete m_progress;
        m_busy.setBusy(false);
    }
}

void RecordingOpener::onOpenNow(int job) {
    if (!m_progress || !m_busy.isBusy())
        return;
    const bool opened = openSelectedRecording();
    if (m_progress)
        m_progress->finish();
    m_busy.setBusy(false);
    emit openFinished(job, opened);
}

void RecordingOpener::showScreens(bool show) {
    for (int i = 0; i < 3; ++i) {
        if (m_screens[i])
            m_screens[i]->setVisible(show);
    }
    if (m_screens[3])
        m_screens[3]->hide();
}

void RecordingOpener::showMessage(const QString& text, MessageIcon icon) {
    if (m_showMessage)
        m_showMessage(text, icon);
}

bool RecordingOpener::openSelectedRecording() {
    PlaybackEngineHolder& engine = m_engine;
    PlaybackState& state = m_state;
    m_data.hasSetupRecord = false;
    engine.setSourceModeFlag(0);

    const std::filesystem::path path = m_list.rowPath(state.selectedIndex);
    if (path.empty() || !engine.OpenRecording(path)) {
        if (m_clock)
            m_clock->returnToIdle();
        showMessage(QString::fromStdString(LString("MAIN_MSG_NO_PLAY")), MessageIcon::Error);
        return false;
    }

    showScreens(true);

    m_totalLengthMs = engine.getDurationMs();
    m_trackRangeMs = PlaybackValues::trackRange(m_totalLengthMs);
    m_timeLabel = formatTimeLabel(m_totalLengthMs);
    const std::string listed = m_list.recordingName(state.selectedIndex);
    m_name = QString::fromStdString(listed.empty() ? path.filename().string() : listed);

    // Everything of the previous recording goes before any record of this one is read (the
    // loader keeps the setup-record copy: pieces may arrive without their siblings).
    m_data = LoadedTrackData{};
    m_data = m_loader(path);

    if (!checkIdentity()) {
        // Cancelled: nothing of the recording is shown; the window is idle and says so.
        if (m_clock)
            m_clock->returnToIdle(true);
        return true;
    }

    OpenRecording opened;
    opened.path = path;
    opened.name = m_name;
    opened.listIndex = state.selectedIndex;
    opened.kind = GetRecordingKind(path.filename().string());
    opened.channels = engine.getChannelCount();
    opened.lengthMs = static_cast<int64_t>(m_totalLengthMs);
    opened.trackRangeMs = m_trackRangeMs;
    // The window (title, layout), the page, the list and the panels take the recording, its range
    // and its records from here.
    m_session.open(std::move(opened), m_data);
    if (m_clock)
        m_clock->playbackStarted();

    engine.setRate(PlaybackValues::rateForIndex(state.speedIndex));
    const int brightness = PlaybackValues::brightnessLevel(state.brightnessStep);
    for (int channel = 0; channel < engine.getChannelCount(); ++channel)
        engine.setBrightness(channel, brightness);
    return true;
}

LoadedTrackData RecordingOpener::readRecords(const std::filesystem::path& path) {
    // A file the reader cannot make sense of has no records: the panels stay empty, it still plays.
    std::string error;
    std::unique_ptr<RecordingReader> reader = RecordingReader::open(path, &error);
    return m_records.Load(reader.get());
}

bool RecordingOpener::checkIdentity() {
    if (m_data.recordingId == kMasterPassword && m_data.recordingPassword == kMasterPassword) {
        m_data.recordingId.clear();
        m_data.recordingPassword.clear();
    }
    if (!m_identity.NeedsQuestion(m_data))
        return true;

    showScreens(false);
    for (;;) {
        const auto answer = m_asker();
        if (!answer)
            return false;
        if (m_identity.Accept(m_data, answer->first.toStdString(), answer->second.toStdString())) {
            showScreens(true);
            return true;
        }
        showMessage(QString::fromStdString(LString("WRONG_USERINFO")), MessageIcon::None);
    }
}
