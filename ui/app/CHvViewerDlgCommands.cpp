// CHvViewerDlg: window commands, the command target's window work and the start-up argument.
#include "ui/app/CHvViewerDlg.h"

#include "core/config/ViewerConfig.h"
#include "ui/app/CommandIds.h"
#include "ui/app/DataOutHookup.h"
#include "ui/app/StartupArguments.h"
#include "ui/playback/WindowPlayback.h"
#include "ui/dialogs/CMovieInfoDlg.h"
#include "ui/playback/PlaybackSession.h"

#include <QDebug>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include <utility>

void CHvViewerDlg::OnCommand(int commandId, int value) {
    // Messages that change the recording or the list wait for the busy window.
    if (commandId >= kMsgSeek && commandId <= kMsgTabChosen && m_busy)
        return;
    switch (commandId) {
    case kCmdMinimise:
    case kCmdCaptionMinimise:
        showMinimized();
        return;
    case kCmdCaptionMaximise:
        ToggleMaximise();
        return;
    case kCmdClose:
    case kCmdCaptionClose:
        ShutdownPlayback();
        close();
        return;
    case kCmdPrevious:
        OpenPrevious();
        return;
    case kCmdPlayPause:
        PlayPause();
        return;
    case kCmdStop:
        ReturnToIdle();
        return;
    case kCmdNext:
        OpenNext();
        return;
    case kCmdStepBack:
        StepBack();
        return;
    case kCmdStepForward:
        StepForward();
        return;
    case kMsgSeek:
        OnSeek(value);
        return;
    case kMsgOpenRow:
        OnOpenRow(value);
        return;
    default:
        RunCommand(commandId, value);
        return;
    }
}

void CHvViewerDlg::SetCommandHandler(int commandId, std::function<void(int)> handler) {
    if (handler)
        m_commandHandlers[commandId] = std::move(handler);
    else
        m_commandHandlers.erase(commandId);
}

bool CHvViewerDlg::RunCommand(int commandId, int value) {
    const auto it = m_commandHandlers.find(commandId);
    if (it == m_commandHandlers.end()) {
        qInfo().noquote() << QStringLiteral("command %1 is not available in this build").arg(commandId);
        return false;
    }
    it->second(value);
    return true;
}

void CHvViewerDlg::ChooseMovieFile() {
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
    OpenSingleFile(file.absolutePath(), file.fileName());
}

MovieInfo CHvViewerDlg::OpenRecordingInfo() const {
    if (!m_session.isOpen())
        return {};
    const RecordingInfoTexts& info = m_session.trackData().info;
    return {QString::fromStdString(info.company), QString::fromStdString(info.vehicle),
            QString::fromStdString(info.driver), QString::fromStdString(info.version),
            QString::fromStdString(info.serialNumber)};
}

void CHvViewerDlg::ShowMovieInfo() {
    CMovieInfoDlg dialog(OpenRecordingInfo(), GetInstallerLanguage() == "korean", this);
    dialog.exec();
}

void CHvViewerDlg::OpenUrl(const QString& url) {
    if (!QDesktopServices::openUrl(QUrl(url)))
        qInfo() << "no web browser opened" << url;
}

void CHvViewerDlg::ProcessStartupArguments() {
    // Taken once: a reload of the page (its renderer restarted) must not open the card again.
    const QStringList arguments = std::exchange(m_arguments, {});
    if (!arguments.isEmpty())
        HandleArgument(arguments.constFirst());
}

void CHvViewerDlg::SetBusy(bool busy) {
    m_busy = busy;
    if (!busy && !m_waitingArgument.isEmpty()) {
        // After the opening that held it back has finished, from the event loop.
        QTimer::singleShot(0, this, [this] {
            if (!m_busy && !m_waitingArgument.isEmpty())
                HandleArgument(std::exchange(m_waitingArgument, {}));
        });
    }
}

void CHvViewerDlg::HandleArgument(const QString& argument) {
    if (m_busy) {
        // A second start during an opening (or its ID/password question): acted on afterwards,
        // never inside the open that is waiting. The latest hand-over wins.
        m_waitingArgument = argument;
        return;
    }
    const StartupArgument arg = ParseStartupArgument(argument);
    switch (arg.kind) {
    case StartupArgument::None:
        return;
    case StartupArgument::Link:
        if (auto* tools = findChild<DataOutHookup*>(QString(), Qt::FindDirectChildrenOnly))
            tools->DownloadLink(arg);
        return;
    case StartupArgument::Path:
        if (QFileInfo(argument).isDir()) {
            OpenSourceFolder(argument);
            m_player->PlayFirstListed();
        } else
            OpenSingleFile(arg.folder, arg.name);
        return;
    }
}
