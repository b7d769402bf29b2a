#include "ui/tools/ToolCommands.h"

#include "core/config/Settings.h"
#include "core/container/ScrambledCopy.h"
#include "core/recordings/RecordingName.h"
#include "core/recordings/RecordingScanner.h"
#include "core/recordings/ReportList.h"
#include "ui/common/AppContext.h"
#include "ui/common/Commands.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/playback/Player.h"
#include "ui/recordings/ListController.h"
#include "ui/tools/ScrambledCopyWindow.h"
#include "ui/tools/ConvertCopyWindow.h"
#include "ui/tools/MergeWindow.h"
#include "ui/tools/ScrambledCopyCheck.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

ToolCommands::ToolCommands(Host host, QObject* parent) : QObject(parent), m_host(std::move(host)) {
    // A scrambled copy opened in the player: a changed byte is reported, the recording plays on.
    if (m_host.session)
        m_copyCheck = new ScrambledCopyCheck(
            *m_host.session, [this](const QString& text) { report(QMessageBox::Warning, text); }, this);
}

QStringList ToolCommands::checkedRecordings(const RecordingScanner& scanner, const ReportList& report,
                                            int kindFilter) {
    QStringList paths;
    const auto& entries = scanner.Entries();
    for (int i = 0; i < int(entries.size()); ++i) {
        const RecordingEntry& e = entries[size_t(i)];
        if (!report.IsChecked(i) || !e.chosen)
            continue;
        if (kindFilter != 1 && GetRecordingKind(e.name) != kindFilter)
            continue;
        paths << QString::fromStdString(e.path);
    }
    return paths;
}

QStringList ToolCommands::listPaths() const {
    QStringList paths;
    if (m_host.lists)
        for (const auto& e : m_host.lists->scanner().Entries())
            paths << QString::fromStdString(e.path);
    return paths;
}

void ToolCommands::report(QMessageBox::Icon icon, const QString& text) {
    if (m_host.report) {
        m_host.report(icon, text);
        return;
    }
    auto* box = new QMessageBox(icon, m_host.window ? m_host.window->windowTitle() : QString(), text,
                                QMessageBox::Ok, m_host.window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void ToolCommands::open(ToolProgressWindow* window, std::function<void(int)> done) {
    m_active = window;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(Qt::WindowModal);
    if (m_host.report)
        window->setReporter(m_host.report);
    connect(window, &QDialog::finished, this, [this, done = std::move(done)](int result) {
        if (done)
            done(result);
        emit windowClosed(result);
    });
    window->open();
    emit windowOpened(window);
}

void ToolCommands::convert(int mode) {
    if (m_active || !m_host.lists)
        return;
    const bool convert = mode == ConvertCopyWindow::kConvert;
    const QStringList sources =
        checkedRecordings(m_host.lists->scanner(), m_host.lists->report(), m_host.lists->kindFilter());
    if (sources.isEmpty()) {
        report(QMessageBox::Critical,
               ToolProgressWindow::text(convert ? "FILECONVERT_NOFILE" : "FILEDOWNLOAD_NOFILE"));
        return;
    }
    if (convert && playing()) {
        m_host.playback.stop();
        announce(PlaybackSession::State::Stopped);
    }
    const QString title =
        ToolProgressWindow::text(convert ? "FILECONVERT_SELECTFOLDER" : "FILEDOWNLOAD_SELECTFOLDER");
    const char* kind = convert ? "convert" : "copy";
    const QString folder =
        m_host.chooseFolder ? m_host.chooseFolder(title)
                            : QFileDialog::getExistingDirectory(m_host.window, title,
                                                                QString::fromStdString(StartFolderFor(kind)));
    if (folder.isEmpty())
        return;
    RememberSaveFolder(kind, folder.toStdString(), true);
    auto* window = new ConvertCopyWindow(folder, sources, mode, m_host.window);
    // A file of the same name in the folder is replaced only when the user says so.
    QStringList existing;
    for (const QString& s : sources)
        if (QFileInfo::exists(window->targetOf(s)))
            existing << QFileInfo(window->targetOf(s)).fileName();
    if (!existing.isEmpty()) {
        const QString question =
            ToolProgressWindow::text(convert ? "FILECONVERT_REPLACE" : "FILEDOWNLOAD_REPLACE")
                .arg(existing.size()) +
            "\n\n" + existing.join('\n');
        const bool replace = m_host.ask ? m_host.ask(question)
                                        : QMessageBox::question(m_host.window, m_host.window->windowTitle(),
                                                                question) == QMessageBox::Yes;
        window->setReplaceExisting(replace);
    }
    open(window, {});
}

void ToolCommands::announce(PlaybackSession::State state) {
    // The page's play button and the views follow the session, never the engine itself.
    if (m_host.session && m_host.session->isOpen())
        m_host.session->setState(state);
}

void ToolCommands::resumePlayback() {
    if (!m_host.playback.resume)
        return;
    m_host.playback.resume();
    if (playing())
        announce(PlaybackSession::State::Playing);
}

int ToolCommands::startIndex(bool* paused) {
    *paused = false;
    if (playing() && m_host.session && m_host.session->isOpen() &&
        m_host.session->recording().listIndex >= 0) {
        m_host.playback.pause();
        announce(PlaybackSession::State::Paused);
        *paused = true;
        return m_host.session->recording().listIndex;
    }
    if (m_host.lists) {
        // The first checked row, else the open recording's row, else the highlighted one.
        const auto& report = m_host.lists->report();
        for (int i = 0; i < report.Count(); ++i)
            if (report.IsChecked(i))
                return i;
    }
    if (m_host.session && m_host.session->isOpen() && m_host.session->recording().listIndex >= 0)
        return m_host.session->recording().listIndex;
    return m_host.highlightedRow ? m_host.highlightedRow() : -1;
}

void ToolCommands::merge() {
    if (m_active || !m_host.lists || m_host.lists->scanner().SourceKind() == kNoSource)
        return;
    bool paused = false;
    const int start = startIndex(&paused);
    if (start < 0) {
        report(QMessageBox::Critical, ToolProgressWindow::text("MAIN_MSG_NO_SELECT"));
        return;
    }
    auto* window = new MergeWindow(m_host.window);
    if (m_host.chooseFolder)
        window->setFolderChooser(
            [this](const QString& title, const QString&) { return m_host.chooseFolder(title); });
    if (m_host.ask)
        window->setAsker(m_host.ask);
    if (!window->prepare(listPaths(), start)) {
        delete window;
        if (paused)
            resumePlayback();
        return;
    }
    open(window, [this, paused](int) {
        if (paused)
            resumePlayback();
    });
}

void ToolCommands::copy() {
    if (m_active)
        return;
    bool paused = false;
    const int start = startIndex(&paused);
    const QStringList paths = listPaths();
    if (start < 0) {
        report(QMessageBox::Critical, ToolProgressWindow::text("MAIN_MSG_NO_SELECT"));
        return;
    }
    auto resume = [this, paused] {
        if (paused)
            resumePlayback();
    };
    const QString source = paths.value(start);
    QString target;
    // An opened scrambled copy: the way back to the camera recording is offered first (another
    // scrambled copy of it is what No gives).
    bool restore = false;
    if (!source.isEmpty() && IsScrambledRecording(source.toStdString())) {
        const QString question = ToolProgressWindow::text("COPY_MSG_RESTORE_ASK");
        if (m_host.ask) {
            restore = m_host.ask(question);
        } else {
            QMessageBox box(QMessageBox::Question, m_host.window->windowTitle(), question,
                            QMessageBox::NoButton, m_host.window);
            QPushButton* back =
                box.addButton(ToolProgressWindow::text("COPY_BTN_RESTORE"), QMessageBox::AcceptRole);
            box.addButton(ToolProgressWindow::text("COPY_BTN_SCRAMBLED"), QMessageBox::RejectRole);
            QPushButton* cancel = box.addButton(QMessageBox::Cancel);
            box.setDefaultButton(back);
            box.exec();
            if (box.clickedButton() == cancel) {
                resume();
                return;
            }
            restore = box.clickedButton() == back;
        }
    }
    if (!source.isEmpty()) {
        const QString proposed = ScrambledCopyWindow::proposedTarget(
            QString::fromStdString(StartFolderFor(restore ? "copy" : "scrambled")), source);
        const QString filter = ScrambledCopyWindow::filterFor(source);
        target = m_host.chooseSaveFile
                     ? m_host.chooseSaveFile(proposed, filter)
                     : QFileDialog::getSaveFileName(m_host.window, QString(), proposed, filter);
    }
    // The same file, even under another spelling, counts as no choice.
    if (target.isEmpty() || target == source ||
        QFileInfo(target).canonicalFilePath() == QFileInfo(source).canonicalFilePath()) {
        report(QMessageBox::Critical, ToolProgressWindow::text("MAIN_MSG_COPY_CANCELED"));
        resume();
        return;
    }
    RememberSaveFolder(restore ? "copy" : "scrambled", target.toStdString());
    auto* window = new ScrambledCopyWindow(source, target, m_host.window);
    window->setRestore(restore);
    open(window, [this, window, resume, restore](int result) {
        if (result == QDialog::Accepted) {
            report(QMessageBox::Information,
                   ToolProgressWindow::text(restore ? "COPY_MSG_RESTORED" : "MAIN_MSG_COPY_COMPLETED"));
        } else {
            QString text = ToolProgressWindow::text("MAIN_MSG_COPY_FAILED");
            if (!window->failureReason().isEmpty())
                text += "\n\n" + window->failureReason();
            report(QMessageBox::Critical, text);
        }
        resume();
    });
}

void installToolCommands(Commands& commands, AppContext& context) {
    Player& player = context.player;
    ToolCommands::Host host;
    host.window = context.parent;
    host.lists = &context.recordings;
    host.session = &context.session;
    host.playback.running = [&player] { return player.state() == PlaybackEngine::State::Running; };
    host.playback.pause = [&player] { player.pause(); };
    host.playback.stop = [&player] { player.stop(); };
    host.playback.resume = [&player] { player.run(); };
    host.highlightedRow = [&player] { return player.selectedRow(); };
    auto* tools = new ToolCommands(host, context.parent);
    // Queued: the page's call returns before any window opens.
    auto later = [tools](std::function<void(ToolCommands&)> run) {
        return [tools, run](int) { QTimer::singleShot(0, tools, [tools, run] { run(*tools); }); };
    };
    commands.add(QStringLiteral("btnConvert"),
                 later([](ToolCommands& c) { c.convert(ConvertCopyWindow::kConvert); }));
    commands.add(QStringLiteral("btnDownload"),
                 later([](ToolCommands& c) { c.convert(ConvertCopyWindow::kCopy); }));
    commands.add(QStringLiteral("btnMerge"), later([](ToolCommands& c) { c.merge(); }));
    commands.add(QStringLiteral("btnSave"), later([](ToolCommands& c) { c.copy(); }));
}
