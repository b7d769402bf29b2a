// MainWindow: the window's commands, the features' install point, the skin commands' window work
// and the start-up argument.
#include "ui/app/MainWindow.h"

#include "core/config/ViewerConfig.h"
#include "ui/card/CardCommands.h"
#include "ui/common/AppContext.h"
#include "ui/dataout/DataOutHookup.h"
#include "ui/page/PageWindow.h"
#include "ui/common/StartupArguments.h"
#include "ui/playback/WindowPlayback.h"
#include "ui/dialogs/RecordingInfoDialog.h"
#include "ui/recordings/ListController.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/playback/Player.h"
#include "ui/tools/ToolCommands.h"
#include "ui/trips/TripsCommands.h"
#include "ui/clips/ClipCommands.h"

#include <QDebug>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include <utility>

void MainWindow::installWindowCommands() {
    installSkinCommands(m_commands, *this);
    // The caption buttons. One way out for every close: closeEvent decides and stops playback.
    m_commands.add(QStringLiteral("captionMinimise"), [this](int) {
        resetCaptionButtons();
        showMinimized();
    });
    m_commands.add(QStringLiteral("captionMaximise"), [this](int) {
        resetCaptionButtons();
        toggleMaximise();
    });
    m_commands.add(QStringLiteral("captionClose"), [this](int) { close(); });
    // The keys' player operations (KeyMap).
    Player& player = m_player->player();
    m_commands.add(QStringLiteral("playPause"), [&player](int) { player.playPause(); });
    m_commands.add(QStringLiteral("stop"), [&player](int) { player.returnToIdle(); });
    m_commands.add(QStringLiteral("openPrevious"), [&player](int) { player.openPrevious(); });
    m_commands.add(QStringLiteral("openNext"), [&player](int) { player.openNext(); });
    m_commands.add(QStringLiteral("stepBack"), [&player](int) { player.stepBack(); });
    m_commands.add(QStringLiteral("stepForward"), [&player](int) { player.stepForward(); });
    // A position and a row change the recording: they wait for no busy window, they are dropped.
    m_commands.add(QStringLiteral("seek"), [this, &player](int ms) {
        if (!m_busy.isBusy())
            player.seek(ms);
    });
    m_commands.add(QStringLiteral("openRow"), [this, &player](int row) {
        if (!m_busy.isBusy())
            player.openRow(row);
    });
}

// ---------------------------------------------------------------------------------------------
// The features' install point: the context they work through and their commands.
// ---------------------------------------------------------------------------------------------
void MainWindow::installFeatures() {
    m_context = std::make_unique<AppContext>(
        AppContext{m_session, m_player->player(), *m_lists, m_busy, m_state, m_commands, this});
    AppContext& context = *m_context;
    installDataOutCommands(m_commands, context); // snapshot, print, event log, GPX, "qmv:" links
    installCardCommands(m_commands, context);
    installToolCommands(m_commands, context);
    installTripsCommands(m_commands, context); // the trips of the whole card on one map
    installClipCommands(m_commands, context);  // evidence clips
    // The windows the page's calls are routed to, and the ones that close with this one.
    connect(findChild<CardCommands*>(), &CardCommands::setupWindowChanged, this,
            [this](PageWindow* window) { setSetupWindow(window); });
    auto* dataOut = findChild<DataOutHookup*>();
    connect(dataOut, &DataOutHookup::downloadWindowChanged, this,
            [this](PageWindow* window) { setDownloadWindow(window); });
    connect(this, &MainWindow::closing, dataOut, &DataOutHookup::closeWindows);
}

bool MainWindow::runPageCommand(const QString& name, int value) {
    return ::runPageCommand(m_commands, m_busy, name, value);
}

void MainWindow::chooseMovieFile() {
    QFileDialog dialog(this, QStringLiteral("Select Movie file"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(
        {QStringLiteral("Encryption Movie Files (*.qmv)"), QStringLiteral("MP4 Movie Files (*.mp4)")});
    dialog.setDefaultSuffix(QStringLiteral("qmv"));
    dialog.selectFile(QStringLiteral("Movie"));
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QFileInfo file(dialog.selectedFiles().constFirst());
    m_player->player().openSingleFile(file.absolutePath(), file.fileName());
}

MovieInfo MainWindow::openRecordingInfo() const {
    if (!m_session.isOpen())
        return {};
    const RecordingInfoTexts& info = m_session.trackData().info;
    return {QString::fromStdString(info.company), QString::fromStdString(info.vehicle),
            QString::fromStdString(info.driver), QString::fromStdString(info.version),
            QString::fromStdString(info.serialNumber)};
}

void MainWindow::showMovieInfo() {
    RecordingInfoDialog dialog(openRecordingInfo(), GetInstallerLanguage() == "korean", this);
    dialog.exec();
}

void MainWindow::openUrl(const QString& url) {
    if (!QDesktopServices::openUrl(QUrl(url)))
        qInfo() << "no web browser opened" << url;
}

void MainWindow::processStartupArguments() {
    // Taken once: a reload of the page (its renderer restarted) must not open the card again.
    const QStringList arguments = std::exchange(m_arguments, {});
    if (!arguments.isEmpty())
        handleArgument(arguments.constFirst());
}

void MainWindow::handleArgument(const QString& argument) {
    // A second start during an opening (or its ID/password question): acted on afterwards, never
    // inside the open that is waiting. The latest hand-over wins.
    if (m_busy.deferWhileBusy([this, argument] { handleArgument(argument); }))
        return;
    const StartupArgument arg = parseStartupArgument(argument);
    switch (arg.kind) {
    case StartupArgument::None:
        return;
    case StartupArgument::Link:
        if (auto* tools = findChild<DataOutHookup*>(QString(), Qt::FindDirectChildrenOnly))
            tools->downloadLink(arg.source, arg.name, arg.size);
        return;
    case StartupArgument::Path:
        if (!QFileInfo::exists(argument)) {
            // Listing it would show a "recording" that cannot be played: say what is wrong.
            if (m_lists)
                m_lists->reportError(QString::fromStdString(LString("MAIN_MSG_NO_PATH")).arg(argument));
            return;
        }
        if (QFileInfo(argument).isDir()) {
            openSourceFolder(argument);
            m_player->player().playFirstListed();
        } else
            m_player->player().openSingleFile(arg.folder, arg.name);
        return;
    }
}
