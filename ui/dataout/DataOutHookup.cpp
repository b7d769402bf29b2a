#include "ui/dataout/DataOutHookup.h"

#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"
#include "core/network/DownloadTarget.h"
#include "core/recordings/RecordingScanner.h"
#include "core/tools/ReportMoment.h"
#include "ui/app/MainWindow.h"
#include "ui/playback/WindowPlayback.h"
#include "ui/page/BrowserHost.h"
#include "ui/dialogs/DownloadWindow.h"
#include "ui/dataout/PrintReportWindow.h"
#include "ui/recordings/ListController.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/dataout/DataOutCommands.h"

#include <QDebug>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

DataOutHookup::DataOutHookup(MainWindow& window) : QObject(&window), m_window(window) {
    m_commands = new DataOutCommands(&window, window.session(), window.engineHolder());
    m_commands->setCheckedRecordings([this] {
        std::vector<std::filesystem::path> out;
        if (ListController* lists = m_window.lists())
            for (const RecordingEntry& e : lists->scanner().Entries())
                if (e.chosen)
                    out.emplace_back(e.path);
        return out;
    });

    m_commands->setPrintRunner([this](const DataOutCommands::PrintJob& job) {
        PrintReportWindow::Content content;
        content.moment = ReportMomentAt(m_window.session().trackData(), job.positionMs, job.trackRangeMs);
        const int unit = QString::fromStdString(ReadSetting("speedunit")).toInt();
        content.speedUnit = unit >= 1 && unit <= 3 ? unit : 1;
        PrintReportWindow::tilesFromSettings(content);
        content.speedGraph = job.speedGraph;
        content.gsensorGraph = job.gsensorGraph;
        BrowserHost::setPrintMode(true); // the report page may scroll
        if (!m_geocoder)
            m_geocoder = new ReverseGeocoder(ReverseGeocoder::OptionsFromSettings(), this);
        PrintReportWindow dialog(job, std::move(content), *m_geocoder, &m_window);
        // Not modal, so that the main window's close button works as always (it closes this
        // window first); meanwhile the main window is busy and takes no commands, keys or list
        // clicks. Queued work, never inside a page's call.
        dialog.setWindowModality(Qt::NonModal);
        QEventLoop loop;
        connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
        connect(&m_window, &MainWindow::closing, &dialog, &QDialog::reject);
        m_window.busy().setBusy(true);
        dialog.show();
        loop.exec();
        m_window.busy().setBusy(false);
        BrowserHost::setPrintMode(false);
    });

    window.commands().add(QStringLiteral("btnPicture"), [this](int) { queue(&DataOutHookup::runSnapshot); });
    window.commands().add(QStringLiteral("btnPrint"), [this](int) { queue(&DataOutHookup::runPrint); });
    window.commands().add(QStringLiteral("btnLog"), [this](int) { queue(&DataOutHookup::runEventLog); });
    window.commands().add(QStringLiteral("btnGpx"), [this](int) { queue(&DataOutHookup::runGpx); });
}

DataOutHookup::~DataOutHookup() = default;

void DataOutHookup::queue(void (DataOutHookup::*work)()) {
    QTimer::singleShot(0, this, work);
}

void DataOutHookup::runSnapshot() {
    m_commands->snapshot();
}
void DataOutHookup::runEventLog() {
    m_commands->exportEventLog();
}
void DataOutHookup::runGpx() {
    m_commands->exportGpx();
}
void DataOutHookup::runPrint() {
    m_commands->printReport();
}

void DataOutHookup::downloadLink(const StartupArgument& link) {
    if (m_download) {
        m_download->raise(); // one download at a time
        return;
    }
    // The design trusts the link's name and the desktop folder as they are; here the name cannot
    // point outside the folder, an existing file keeps its contents and the folder is created.
    const QString folder = m_desktopFolder ? m_desktopFolder() : DesktopFolder();
    if (folder.isEmpty()) {
        m_commands->showMessage(QString::fromStdString(LString("DOWNLOAD_MSG_NO_DESKTOP")), true);
        return;
    }
    const QString target = FreeTargetPath(folder, SafeDownloadName(link.name));
    if (target.isEmpty()) {
        m_commands->showMessage(QString::fromStdString(LString("DOWNLOAD_MSG_NO_DESKTOP")), true);
        return;
    }
    auto* dialog = new DownloadWindow(QUrl(link.source.trimmed()), target, link.size, &m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_download = dialog;
    m_window.setDownloadWindow(dialog);
    connect(dialog, &QDialog::finished, this, [this, dialog](int result) {
        if (m_window.downloadWindow() == dialog)
            m_window.setDownloadWindow(nullptr);
        const bool ok = result == QDialog::Accepted;
        const QString stored = dialog->targetPath();
        // The page's OK may have closed the window: return to the page before opening.
        QTimer::singleShot(0, this, [this, ok, stored] {
            if (ok) {
                const QFileInfo file(stored);
                m_window.playback()->startup().openSingleFile(file.absolutePath(), file.fileName());
            }
            emit downloadEnded(ok, stored);
        });
    });
    // Not modal: the main window stays in reach while the file arrives, and its close button asks
    // whether to stop the download (MainWindow::closeEvent). Never a nested event loop: this may
    // run inside a page's call.
    dialog->setWindowModality(Qt::NonModal);
    dialog->show();
}
