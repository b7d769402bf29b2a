// MainWindow: window commands, the command target's window work and the start-up argument.
#include "ui/app/MainWindow.h"

#include "core/config/ViewerConfig.h"
#include "ui/app/CommandIds.h"
#include "ui/dataout/DataOutHookup.h"
#include "ui/app/StartupArguments.h"
#include "ui/playback/WindowPlayback.h"
#include "ui/dialogs/RecordingInfoDialog.h"
#include "ui/recordings/ListController.h"
#include "ui/playback/PlaybackSession.h"

#include <QDebug>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include <utility>

void MainWindow::onCommand(int commandId, int value) {
    // Messages that change the recording or the list wait for the busy window.
    if (commandId >= kMsgSeek && commandId <= kMsgTabChosen && m_busy.isBusy())
        return;
    Player& clock = m_player->player();
    switch (commandId) {
    case kCmdMinimise:
    case kCmdCaptionMinimise:
        resetCaptionButtons();
        showMinimized();
        return;
    case kCmdCaptionMaximise:
        resetCaptionButtons();
        toggleMaximise();
        return;
    case kCmdClose:
    case kCmdCaptionClose:
        close(); // one way out for every close: closeEvent decides and stops playback
        return;
    case kCmdPrevious:
        clock.openPrevious();
        return;
    case kCmdPlayPause:
        clock.playPause();
        return;
    case kCmdStop:
        clock.returnToIdle();
        return;
    case kCmdNext:
        clock.openNext();
        return;
    case kCmdStepBack:
        clock.stepBack();
        return;
    case kCmdStepForward:
        clock.stepForward();
        return;
    case kMsgSeek:
        clock.seek(value);
        return;
    case kMsgOpenRow:
        clock.openRow(value);
        return;
    default:
        runCommand(commandId, value);
        return;
    }
}

void MainWindow::setCommandHandler(int commandId, std::function<void(int)> handler) {
    if (handler)
        m_commandHandlers[commandId] = std::move(handler);
    else
        m_commandHandlers.erase(commandId);
}

bool MainWindow::runCommand(int commandId, int value) {
    const auto it = m_commandHandlers.find(commandId);
    if (it == m_commandHandlers.end()) {
        qInfo().noquote() << QStringLiteral("command %1 is not available in this build").arg(commandId);
        return false;
    }
    it->second(value);
    return true;
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
