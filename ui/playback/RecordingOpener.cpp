#include "ui/playback/RecordingOpener.h"

#include "core/config/ViewerConfig.h"
#include "core/container/RecordingReader.h"
#include "ui/app/CommandDispatcher.h"
#include "ui/playback/PlaybackClock.h"
#include "ui/dialogs/CProgressDlg.h"
#include "ui/dialogs/CUserinfoDlg.h"
#include "ui/panels/CDlgVideoScreen.h"
#include "ui/playback/PlaybackSession.h"
#include "core/recordings/RecordingName.h"

#include <QWidget>

namespace {
QString recordingFileName(PlaybackHost& host, int index, const std::filesystem::path& path) {
    const std::string name = host.recordingName(index);
    return QString::fromStdString(name.empty() ? path.filename().string() : name);
}
} // namespace

RecordingOpener::RecordingOpener(PlaybackHost& host, QWidget* owner) : m_host(host), m_owner(owner) {
    m_asker = [this]() -> std::optional<std::pair<QString, QString>> {
        CUserinfoDlg dialog(m_owner);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return std::make_pair(dialog.enteredId(), dialog.enteredPassword());
    };
    m_loader = [this](const std::filesystem::path& path) { return readRecords(path); };
}

RecordingOpener::~RecordingOpener() {
    shutdown();
}

QString RecordingOpener::FormatTimeLabel(uint64_t lengthMs) {
    // Minutes are counted within the hour, as the camera's own players show them.
    const uint64_t withinHour = (lengthMs / 1000) % 3600;
    return QString::asprintf("00:00 / %02d:%02d", static_cast<int>(withinHour / 60),
                             static_cast<int>(withinHour % 60));
}

void RecordingOpener::RequestOpen(int job) {
    if (!m_progress) {
        m_progress = new CProgressDlg(m_owner);
        connect(m_progress, &CProgressDlg::openNow, this, &RecordingOpener::onOpenNow);
    }
    m_progress->start(job);
    m_host.setBusy(m_progress->isBusy());
}

bool RecordingOpener::isBusy() const {
    return m_progress && m_progress->isBusy();
}

void RecordingOpener::shutdown() {
    if (m_progress) {
        m_progress->stop();
        delete m_progress;
    }
}

void RecordingOpener::onOpenNow(int job) {
    if (!m_progress || !m_progress->isBusy())
        return;
    const bool opened = OpenSelectedRecording();
    if (m_progress)
        m_progress->finish();
    m_host.setBusy(false);
    emit openFinished(job, opened);
}

void RecordingOpener::showScreens(bool show) {
    const auto screens = m_host.videoScreens();
    for (int i = 0; i < 3; ++i) {
        if (screens[i])
            screens[i]->setVisible(show);
    }
    if (screens[3])
        screens[3]->hide();
}

bool RecordingOpener::OpenSelectedRecording() {
    PlaybackEngineHolder& engine = m_host.engineHolder();
    ViewerState& state = m_host.playbackState();
    m_data.hasSetupRecord = false;
    engine.SetSourceModeFlag(0);

    const std::filesystem::path path = m_host.rowPath(state.selectedIndex);
    if (path.empty() || !engine.OpenRecording(path)) {
        m_host.setTitleText(QString());
        if (m_clock)
            m_clock->ReturnToIdle();
        m_host.showMessage(QString::fromStdString(LString("MAIN_MSG_NO_PLAY")), MessageIcon::Error);
        return false;
    }

    showScreens(true);
    m_host.layoutPanels();

    m_totalLengthMs = engine.GetDurationMs();
    m_trackRangeMs = CommandDispatcher::RangeValue(m_totalLengthMs);
    m_timeLabel = FormatTimeLabel(m_totalLengthMs);
    m_host.setTimeLabel(m_timeLabel);
    m_name = recordingFileName(m_host, state.selectedIndex, path);

    // Everything of the previous recording goes before any record of this one is read (the
    // loader keeps the setup-record copy: pieces may arrive without their siblings).
    m_data = LoadedTrackData{};
    m_data = m_loader(path);

    if (!checkIdentity()) {
        // Cancelled: nothing of the recording is shown; the window is idle and says so.
        m_host.setTitleText(QString());
        if (m_clock)
            m_clock->ReturnToIdle(true);
        return true;
    }

    OpenRecording opened;
    opened.path = path;
    opened.listIndex = state.selectedIndex;
    opened.kind = GetRecordingKind(path.filename().string());
    opened.channels = engine.GetChannelCount();
    opened.lengthMs = static_cast<int64_t>(m_totalLengthMs);
    opened.trackRangeMs = m_trackRangeMs;
    // The page, the list and the panels take the recording, its range and its records from here.
    m_host.session().open(std::move(opened), m_data);
    if (m_clock)
        m_clock->PlaybackStarted();
    m_host.setTitleText(m_name);

    engine.SetRate(CommandDispatcher::RateForIndex(state.speedIndex));
    const int brightness = CommandDispatcher::BrightnessLevel(state.brightnessStep);
    for (int channel = 0; channel < engine.GetChannelCount(); ++channel)
        engine.SetBrightness(channel, brightness);
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
        m_host.showMessage(QString::fromStdString(LString("WRONG_USERINFO")), MessageIcon::None);
    }
}
