#include "ui/dataout/DataOutHookup.h"

#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"
#include "core/network/DownloadTarget.h"
#include "core/recordings/RecordingScanner.h"
#include "core/tools/ReportMoment.h"
#include "ui/common/AppContext.h"
#include "ui/common/Commands.h"
#include "ui/dataout/PrintReportWindow.h"
#include "ui/dialogs/DownloadWindow.h"
#include "ui/page/BrowserHost.h"
#include "ui/playback/BusyFlag.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/playback/Player.h"
#include "ui/recordings/ListController.h"

#include <QDebug>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

DataOutHookup::DataOutHookup(AppContext& context) : QObject(context.parent), m_context(context) {
    setObjectName(QStringLiteral("dataOut"));
    m_commands = new DataOutCommands(context.parent, context.session, context.player);
    m_commands->setCheckedRecordings([this] {
        std::vector<std::filesystem::path> out;
        for (const RecordingEntry& e : m_context.recordings.scanner().Entries())
            if (e.chosen)
                out.emplace_back(e.path);
        return out;
    });
    m_commands->setPrintRunner([this](const DataOutCommands::PrintJob& job) { showPrintWindow(job); });
}

DataOutHookup::~DataOutHookup() = default;

void DataOutHookup::showPrintWindow(const DataOutCommands::PrintJob& job) {
    PrintReportWindow::Content content;
    content.moment = ReportMomentAt(m_context.session.trackData(), job.positionMs, job.trackRangeMs);
    const int unit = QString::fromStdString(ReadSetting("speedunit")).toInt();
    content.speedUnit = unit >= 1 && unit <= 3 ? unit : 1;
    PrintReportWindow::tilesFromSettings(content);
    content.speedGraph = job.speedGraph;
    content.gsensorGraph = job.gsensorGraph;
    BrowserHost::setPrintMode(true); // the report page may scroll
    if (!m_geocoder)
        m_geocoder = new ReverseGeocoder(ReverseGeocoder::OptionsFromSettings(), this);
    PrintReportWindow dialog(job, std::move(content), *m_geocoder, m_context.parent);
    // Not modal, so that the main window's close button works as always (it closes this window
    // first); meanwhile the main window is busy and takes no commands, keys or list clicks.
    // Queued work, never inside a page's call.
    dialog.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    m_print = &dialog;
    m_context.busy.setBusy(true);
    dialog.show();
    loop.exec();
    m_context.busy.setBusy(false);
    m_print = nullptr;
    BrowserHost::setPrintMode(false);
}

void DataOutHookup::closeWindows() {
    if (m_print)
        m_print->reject();
}

void DataOutHookup::openDownloaded(const QString& path) {
    // The file alone is listed and plays at once.
    m_context.player.clearAndClose();
    m_context.recordings.listSingleFile(QFileInfo(path).absoluteFilePath().toStdString());
    m_context.player.playFirstListed();
}

void DataOutHookup::downloadLink(const QString& source, const QString& name, int64_t size) {
    if (m_download) {
        m_download->raise(); // one download at a time
        return;
    }
    // The design trusts the link's name and the desktop folder as they are; here the name cannot
    // point outside the folder, an existing file keeps its contents and the folder is created.
    const QString folder = m_desktopFolder ? m_desktopFolder() : DesktopFolder();
    const QString target = folder.isEmpty() ? QString() : FreeTargetPath(folder, SafeDownloadName(name));
    if (target.isEmpty()) {
        m_commands->showMessage(QString::fromStdString(LString("DOWNLOAD_MSG_NO_DESKTOP")), true);
        return;
    }
    auto* dialog = new DownloadWindow(QUrl(source.trimmed()), target, size, m_context.parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_download = dialog;
    emit downloadWindowChanged(dialog);
    connect(dialog, &QDialog::finished, this, [this, dialog](int result) {
        emit downloadWindowChanged(nullptr);
        const bool ok = result == QDialog::Accepted;
        const QString stored = dialog->targetPath();
        // The page's OK may have closed the window: return to the page before opening.
        QTimer::singleShot(0, this, [this, ok, stored] {
            if (ok)
                openDownloaded(stored);
            emit downloadEnded(ok, stored);
        });
    });
    // Not modal: the main window stays in reach while the file arrives, and its close button asks
    // whether to stop the download. Never a nested event loop: this may run inside a page's call.
    dialog->setWindowModality(Qt::NonModal);
    dialog->show();
}

void installDataOutCommands(Commands& commands, AppContext& context) {
    auto* dataOut = new DataOutHookup(context);
    // Queued: the page's call returns before any window or file chooser opens.
    auto later = [dataOut](std::function<void(DataOutCommands&)> run) {
        return [dataOut, run](int) {
            QTimer::singleShot(0, dataOut, [dataOut, run] { run(dataOut->commands()); });
        };
    };
    commands.add(QStringLiteral("btnPicture"), later([](DataOutCommands& c) { c.snapshot(); }));
    commands.add(QStringLiteral("btnPrint"), later([](DataOutCommands& c) { c.printReport(); }));
    commands.add(QStringLiteral("btnLog"), later([](DataOutCommands& c) { c.exportEventLog(); }));
    commands.add(QStringLiteral("btnGpx"), later([](DataOutCommands& c) { c.exportGpx(); }));
}
