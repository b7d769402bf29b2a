#include "ui/app/DataOutHookup.h"

#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"
#include "core/network/DownloadTarget.h"
#include "core/recordings/RecordingScanner.h"
#include "core/tools/ReportMoment.h"
#include "ui/app/CHvViewerDlg.h"
#include "ui/app/CommandIds.h"
#include "ui/playback/WindowPlayback.h"
#include "ui/bridge/BrowserHost.h"
#include "ui/dialogs/CDownloadDlg.h"
#include "ui/dialogs/CPrintDlg.h"
#include "ui/lists/ListController.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/tools/DataOutCommands.h"

#include <QDebug>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

DataOutHookup::DataOutHookup(CHvViewerDlg& window) : QObject(&window), m_window(window) {
    m_commands = new DataOutCommands(&window, window.Session(), window.EngineHolder());
    m_commands->setCheckedRecordings([this] {
        std::vector<std::filesystem::path> out;
        if (ListController* lists = m_window.Lists())
            for (const RecordingEntry& e : lists->Scanner().Entries())
                if (e.chosen)
                    out.emplace_back(e.path);
        return out;
    });

    m_commands->setPrintRunner([this](const DataOutCommands::PrintJob& job) {
        CPrintDlg::Content content;
        content.moment = ReportMomentAt(m_window.Session().trackData(), job.positionMs, job.trackRangeMs);
        const int unit = QString::fromStdString(ReadSetting("speedunit")).toInt();
        content.speedUnit = unit >= 1 && unit <= 3 ? unit : 1;
        CPrintDlg::TilesFromSettings(content);
        content.speedGraph = job.speedGraph;
        content.gsensorGraph = job.gsensorGraph;
        BrowserHost::SetPrintMode(true); // the report page may scroll
        if (!m_geocoder)
            m_geocoder = new ReverseGeocoder(ReverseGeocoder::OptionsFromSettings(), this);
        CPrintDlg dialog(job, std::move(content), *m_geocoder, &m_window);
        // Not modal, so that the main window's close button works as always (it closes this
        // window first); meanwhile the main window is busy and takes no commands, keys or list
        // clicks. Queued work, never inside a page's call.
        dialog.setWindowModality(Qt::NonModal);
        QEventLoop loop;
        connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
        connect(&m_window, &CHvViewerDlg::closing, &dialog, &QDialog::reject);
        m_window.Busy().setBusy(true);
        dialog.show();
        loop.exec();
        m_window.Busy().setBusy(false);
        BrowserHost::SetPrintMode(false);
    });

    window.SetCommandHandler(kCmdSnapshot, [this](int) { queue(&DataOutHookup::runSnapshot); });
    window.SetCommandHandler(kCmdPrint, [this](int) { queue(&DataOutHookup::runPrint); });
    window.SetCommandHandler(kCmdEventLog, [this](int) { queue(&DataOutHookup::runEventLog); });
    window.SetCommandHandler(kCmdGpx, [this](int) { queue(&DataOutHookup::runGpx); });
}

DataOutHookup::~DataOutHookup() = default;

void DataOutHookup::queue(void (DataOutHookup::*work)()) {
    QTimer::singleShot(0, this, work);
}

void DataOutHookup::runSnapshot() {
    m_commands->Snapshot();
}
void DataOutHookup::runEventLog() {
    m_commands->ExportEventLog();
}
void DataOutHookup::runGpx() {
    m_commands->ExportGpx();
}
void DataOutHookup::runPrint() {
    m_commands->PrintReport();
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
    auto* dialog = new CDownloadDlg(QUrl(link.source.trimmed()), target, link.size, &m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_download = dialog;
    m_window.SetDownloadWindow(dialog);
    connect(dialog, &QDialog::finished, this, [this, dialog](int result) {
        if (m_window.DownloadWindow() == dialog)
            m_window.SetDownloadWindow(nullptr);
        const bool ok = result == QDialog::Accepted;
        const QString stored = dialog->TargetPath();
        // The page's OK may have closed the window: return to the page before opening.
        QTimer::singleShot(0, this, [this, ok, stored] {
            if (ok) {
                const QFileInfo file(stored);
                m_window.Player()->startup().openSingleFile(file.absolutePath(), file.fileName());
            }
            emit downloadEnded(ok, stored);
        });
    });
    // Not modal: the main window stays in reach while the file arrives, and its close button asks
    // whether to stop the download (CHvViewerDlg::closeEvent). Never a nested event loop: this may
    // run inside a page's call.
    dialog->setWindowModality(Qt::NonModal);
    dialog->show();
}
