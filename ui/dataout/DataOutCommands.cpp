#include "ui/dataout/DataOutCommands.h"

#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"
#include "core/recordings/RecordingName.h"
#include "core/tools/EventLog.h"
#include "core/tools/RecordingGpx.h"
#include "core/tools/SnapshotNaming.h"
#include "media/playback/FrameJpeg.h"
#include "media/playback/PlaybackEngine.h"
#include "ui/render/GsensorGraphRenderer.h"
#include "ui/render/SpeedGraphRenderer.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/playback/Player.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

// A picture of the engine as JPEG, written by the safe writer; false when it cannot be written.
bool savePicture(const VideoFrame& frame, const std::filesystem::path& path) {
    std::string error;
    if (saveFrameAsJpeg(frame, path, &error))
        return true;
    qInfo().noquote() << "cannot save the picture:" << QString::fromStdString(error);
    return false;
}

uint64_t creationFileTime(const std::filesystem::path& path) {
    const QFileInfo info(QString::fromStdString(path.string()));
    QDateTime t = info.birthTime();
    if (!t.isValid())
        t = info.lastModified();
    return FileTimeFromUnixMs(t.toMSecsSinceEpoch());
}

// Where the save dialog of a kind of file starts (where that kind was last saved, see Settings.h).
QString startFolder(const char* kind) {
    return QString::fromStdString(StartFolderFor(kind));
}

} // namespace

DataOutCommands::DataOutCommands(QWidget* window, PlaybackSession& session, Player& player)
    : QObject(window), m_window(window), m_session(session), m_player(player) {
    m_prompts.saveFile = [this](const QString& title, const QString& proposed, const QString& filters,
                                const QString& suffix) {
        const QFileInfo file(proposed);
        QFileDialog dialog(m_window, title, file.isAbsolute() ? file.absolutePath() : QString(), filters);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(suffix);
        dialog.selectFile(file.fileName());
        dialog.setSizeGripEnabled(true);
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().constFirst()
                   : QString();
    };
    m_prompts.openFile = [this](const QString& title, const QString& filters) {
        return QFileDialog::getOpenFileName(m_window, title, QString(), filters);
    };
    m_prompts.message = [this](const QString& text, bool error) {
        QMessageBox box(error ? QMessageBox::Critical : QMessageBox::NoIcon, QString::fromLatin1("Quillent"),
                        text, QMessageBox::Ok, m_window);
        box.exec();
    };
}

DataOutCommands::~DataOutCommands() = default;

QString DataOutCommands::text(const char* id) const {
    return QString::fromStdString(LString(id));
}

void DataOutCommands::drawGraphs(PrintJob& job, const QString& base) const {
    // The panels' own renderers draw the pictures, so the report shows what the panels show.
    const RecordingData& data = m_session.trackData();
    const QSize size(kGraphWidth, kGraphHeight);
    const QDir folder(m_reportFolder->path());
    // One renderer's picture as "<base><suffix>.png"; `target` names it once it is saved.
    auto save = [&](const auto& renderer, const char* suffix, QString& target) {
        QImage image(size, QImage::Format_RGB32);
        QPainter painter(&image);
        renderer.paint(painter, size, job.positionMs);
        painter.end();
        const QString path = folder.filePath(base + QLatin1String(suffix));
        if (image.save(path))
            target = path;
    };
    if (!data.gps.empty()) {
        SpeedGraphRenderer speed;
        speed.setData(data.gps, job.trackRangeMs, data.gpsTimesMs);
        const int unit = QString::fromStdString(ReadSetting("speedunit")).toInt();
        speed.setUnit(unit >= 1 && unit <= 3 ? unit : 1);
        save(speed, "_speed.png", job.speedGraph);
    }
    if (!data.gsensor.empty()) {
        GsensorGraphRenderer gsensor;
        gsensor.setData(&data.gsensor, job.trackRangeMs, &data.gsensorTimesMs);
        save(gsensor, "_gsensor.png", job.gsensorGraph);
    }
}

QString DataOutCommands::reportFolder() const {
    return m_reportFolder ? m_reportFolder->path() : QString();
}

bool DataOutCommands::pauseForPictures(bool& ok) {
    const PlaybackEngine::State state = m_player.state();
    const bool running = state == PlaybackEngine::State::Running;
    ok = m_session.isOpen() && (running || state == PlaybackEngine::State::Paused);
    if (!ok)
        return false;
    m_player.pause();
    // The page and the views follow the session: playback is paused while the pictures are taken.
    if (running)
        m_session.setState(PlaybackSession::State::Paused);
    return running;
}

void DataOutCommands::resume(bool wasRunning) {
    if (!wasRunning)
        return;
    m_player.run();
    if (m_player.state() == PlaybackEngine::State::Running)
        m_session.setState(PlaybackSession::State::Playing);
}

int DataOutCommands::snapshot() {
    bool ok = false;
    const bool wasRunning = pauseForPictures(ok);
    if (!ok)
        return 0;
    const int channels = m_player.channelCount();
    const std::filesystem::path recording = m_session.recording().path;
    const std::string base =
        PictureBaseName(ViewerConfig::Instance().GetFlags(), recording.filename().string(),
                        creationFileTime(recording), static_cast<int64_t>(m_player.positionMs()));
    const QString proposed =
        QDir(startFolder("snapshot")).filePath(QString::fromStdString(ProposedSnapshotName(base)));
    const QString chosen = m_prompts.saveFile(text("SNAPSHOT_TITLE"), proposed,
                                              QStringLiteral("JPG Image (*.jpg)"), QStringLiteral("jpg"));
    RememberSaveFolder("snapshot", chosen.toStdString());
    int written = 0;
    bool failed = false;
    if (!chosen.isEmpty()) {
        for (int channel = 1; channel <= channels; ++channel) {
            const VideoFramePtr picture = m_player.captureImage(channel);
            if (!picture || !picture->isValid())
                continue; // a channel without a picture is skipped, the others are saved
            const auto path = SnapshotChannelPath(chosen.toStdString(), channel);
            if (savePicture(*picture, path))
                ++written;
            else
                failed = true;
        }
        // The design says nothing when a picture cannot be written; a full or read-only folder
        // must not look like success.
        if (failed)
            m_prompts.message(text("SNAPSHOT_MSG_FAILED"), true);
    }
    resume(wasRunning);
    return written;
}

int DataOutCommands::printReport() {
    bool ok = false;
    const bool wasRunning = pauseForPictures(ok);
    if (!ok)
        return -1;
    const int channels = m_player.channelCount();
    const std::filesystem::path recording = m_session.recording().path;
    const int64_t position = static_cast<int64_t>(m_player.positionMs());
    const std::string base =
        PictureBaseName(ViewerConfig::Instance().GetFlags(), recording.filename().string(),
                        creationFileTime(recording), position);
    // A private folder per report: another report (or another user) cannot overwrite the pictures
    // while this one is shown, and they go when the next report starts.
    m_reportFolder =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quillent-report-XXXXXX"));
    int count = 0;
    if (m_reportFolder->isValid()) {
        const std::filesystem::path folder = m_reportFolder->path().toStdString();
        for (int channel = 1; channel <= channels; ++channel) {
            const VideoFramePtr picture = m_player.captureImage(channel);
            if (picture && picture->isValid() &&
                savePicture(*picture, ReportPicturePath(folder, base, channel)))
                ++count;
        }
    } else {
        qInfo() << "no temporary folder for the report pictures:" << m_reportFolder->errorString();
    }
    PrintJob job;
    job.imageCount = count;
    job.fileName = QString::fromStdString(recording.filename().string());
    job.imageBase = QDir(m_reportFolder->path()).filePath(QString::fromStdString(base));
    const RecordingInfoTexts& info = m_session.trackData().info;
    job.company = QString::fromStdString(info.company);
    job.vehicle = QString::fromStdString(info.vehicle);
    job.driver = QString::fromStdString(info.driver);
    job.positionMs = position;
    job.trackRangeMs = m_session.recording().trackRangeMs;
    if (m_reportFolder->isValid())
        drawGraphs(job, QString::fromStdString(base));
    if (m_print)
        m_print(job);
    resume(wasRunning);
    return count;
}

bool DataOutCommands::exportEventLog() {
    const QString log =
        m_prompts.openFile(text("LOG_TITLE_OPEN"), QStringLiteral("Log File (*.bin);;All Files (*)"));
    if (log.isEmpty())
        return false;
    const QString csv =
        m_prompts.saveFile(text("LOG_TITLE_SAVE"),
                           QDir(startFolder("csv")).filePath(QFileInfo(log).completeBaseName() +
                                                             QStringLiteral(".csv")),
                           QStringLiteral("CSV Log File (*.csv);;All Files (*)"), QStringLiteral("csv"));
    if (csv.isEmpty())
        return false;
    RememberSaveFolder("csv", csv.toStdString());
    const EventLogExportResult result = ::ExportEventLog(log.toStdString(), csv.toStdString());
    if (!result.ok) {
        // The design ends silently here; the user is told which side failed.
        const bool readSide = result.error.rfind("cannot open the log", 0) == 0 ||
                              result.error.rfind("cannot read the log", 0) == 0;
        qInfo().noquote() << QString::fromStdString(result.error);
        m_prompts.message(text(readSide ? "LOG_MSG_READ_FAILED" : "LOG_MSG_WRITE_FAILED"), true);
        return false;
    }
    QString outcome = text("LOG_MSG_COMPLETE");
    if (result.cutRecordBytes > 0) // the last record was left out: say so, as the tool does
        outcome += QLatin1Char('\n') +
                   text("LOG_MSG_CUT_RECORD").arg(result.cutRecordBytes).arg(kEventLogRecordSize);
    m_prompts.message(outcome, false);
    return true;
}

bool DataOutCommands::exportGpx() {
    std::vector<std::filesystem::path> recordings =
        m_checked ? m_checked() : std::vector<std::filesystem::path>{};
    if (recordings.empty() && m_session.isOpen())
        recordings.push_back(m_session.recording().path);
    if (recordings.empty()) {
        m_prompts.message(text("MAIN_MSG_NO_SELECT"), false);
        return false;
    }
    const QString proposed = QDir(startFolder("gpx")).filePath(
        QString::fromStdString(recordings.front().stem().string()) + QStringLiteral(".gpx"));
    const QString out =
        m_prompts.saveFile(text("GPX_TITLE_SAVE"), proposed,
                           QStringLiteral("GPX Track (*.gpx);;All Files (*)"), QStringLiteral("gpx"));
    if (out.isEmpty())
        return false;
    RememberSaveFolder("gpx", out.toStdString());
    const GpxExportResult result = ExportRecordingsGpx(recordings, out.toStdString());
    if (!result.ok) {
        qInfo().noquote() << QString::fromStdString(result.error);
        m_prompts.message(text("GPX_MSG_FAILED"), true);
        return false;
    }
    m_prompts.message(result.points > 0 ? text("GPX_MSG_COMPLETE") : text("GPX_MSG_NO_POSITION"), false);
    return true;
}
