#include "ui/card/CardCommands.h"

#include "core/camera/CWBCIniLoader.h"
#include "core/config/ViewerConfig.h"
#include "core/tools/RecordingTrash.h"
#include "ui/app/MainWindow.h"
#include "ui/card/FormatDialog.h"
#include "ui/card/QuickSettingsDialog.h"
#include "ui/card/SetupPageWindow.h"
#include "ui/card/CardFormatter.h"
#include "ui/recordings/ListController.h"
#include "ui/playback/PlaybackSession.h"

#include <QDebug>

#include <algorithm>
#include <QTimer>

namespace {
QString lstring(const char* id) {
    return QString::fromStdString(LString(id));
}
} // namespace

QString CardCommands::movedToTrashText(int count) {
    return count == 1 ? lstring("DELETE_MSG_DONE_ONE") : lstring("DELETE_MSG_DONE").arg(count);
}

CardCommands::CardCommands(MainWindow& window) : QObject(&window), m_window(window) {
    setObjectName(QStringLiteral("cardCommands"));
}

bool CardCommands::ask(const QString& text) {
    if (m_prompts.ask)
        return m_prompts.ask(text);
    return QMessageBox::question(&m_window, QString::fromLatin1(MainWindow::kProductTitle), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void CardCommands::tell(const QString& text, QMessageBox::Icon icon) {
    if (m_prompts.tell) {
        m_prompts.tell(text, icon);
        return;
    }
    QMessageBox box(icon, QString::fromLatin1(MainWindow::kProductTitle), text, QMessageBox::Ok, &m_window);
    box.exec();
}

void CardCommands::requestDelete() {
    ListController* lists = m_window.lists();
    if (!lists)
        return;
    // The open file is about to go: release it first (the player holds it open).
    const PlaybackSession& session = m_window.session();
    if (session.isOpen()) {
        for (const RecordingEntry& e : lists->scanner().Entries()) {
            if (e.chosen == 1 && std::filesystem::path(e.path) == session.recording().path) {
                m_window.operations().returnToIdle();
                break;
            }
        }
    }
    QTimer::singleShot(0, this, [this] { deleteChosen(); });
}

void CardCommands::deleteChosen() {
    ListController* lists = m_window.lists();
    if (!lists)
        return;
    RecordingScanner& scanner = lists->scanner();
    const bool anyChosen = std::any_of(scanner.Entries().begin(), scanner.Entries().end(),
                                       [](const RecordingEntry& e) { return e.chosen == 1; });
    if (!anyChosen) {
        tell(lstring("MAIN_MSG_NO_SELECT"), QMessageBox::Information);
        emit deleteFinished(0, 0);
        return;
    }
    if (!ask(lstring("DELETE_MSG_CONFIRM")))
        return;
    // The open recording (if it stays) is found again by name once entries before it have gone.
    const RecordingEntry* open = scanner.GetEntry(m_window.State().selectedIndex);
    const std::string openName = open ? open->name : std::string();

    const TrashResult result = MoveChosenToTrash(scanner);
    lists->showList();
    for (const TrashFailure& f : result.failed) {
        const int index = scanner.FindByName(f.name);
        if (index >= 0)
            lists->chkRow(index, true); // still chosen: the user sees what is left
        qInfo().noquote() << "not moved to the trash:" << QString::fromStdString(f.name)
                          << QString::fromStdString(f.error);
    }
    if (!openName.empty()) {
        // Rows before it may have gone: the selection follows the recording, not the row number.
        m_window.State().selectedIndex = scanner.FindByName(openName);
        if (m_window.State().selectedIndex >= 0)
            lists->selectInList(m_window.State().selectedIndex, lists->kindFilter());
    }
    m_window.update();

    const QString moved = movedToTrashText(static_cast<int>(result.moved.size()));
    if (result.failed.empty()) {
        tell(moved, QMessageBox::Information);
    } else {
        QStringList names;
        for (const TrashFailure& f : result.failed)
            names << QString::fromStdString(f.name);
        const QString head = result.moved.empty() ? QString() : moved + QStringLiteral("\n\n");
        tell(head + lstring("DELETE_MSG_FAILED") + QStringLiteral("\n\n") + names.join(QLatin1Char('\n')),
             QMessageBox::Critical);
    }
    emit deleteFinished(static_cast<int>(result.moved.size()), static_cast<int>(result.failed.size()));
}

std::filesystem::path CardCommands::cardRoot() const {
    const ListController* lists = m_window.lists();
    if (!lists || lists->scanner().SourceKind() != kDriveSource)
        return {};
    return lists->scanner().SourcePath();
}

int CardCommands::runWindow(QDialog& window) {
    if (m_watchWindow)
        QTimer::singleShot(0, &window, [this, &window] { m_watchWindow(window); });
    return window.exec();
}

void CardCommands::runQuickSettings() {
    const std::filesystem::path root = cardRoot();
    if (root.empty()) {
        // The page offers the button at all times: say why nothing opens.
        tell(lstring("SDCARD_NOTSELECT"), QMessageBox::Information);
        return;
    }
    QuickSettingsDialog dlg(QuickSettingsDialog::settingsPath(root), &m_window);
    if (m_prompts.tell)
        dlg.setMessageShower(m_prompts.tell);
    runWindow(dlg);
}

std::optional<SetupRecordBytes> CardCommands::openRecordingSetup() const {
    const PlaybackSession& session = m_window.session();
    if (!session.isOpen() || !session.trackData().hasSetupRecord)
        return std::nullopt;
    return session.trackData().setupRecord;
}

void CardCommands::runSetup() {
    SetupPageWindow dlg(&m_window);
    dlg.setRecordingSetupSource([this] { return openRecordingSetup(); });
    if (m_prompts.tell)
        dlg.setMessageShower(m_prompts.tell);
    m_window.setSetupWindow(&dlg);
    runWindow(dlg);
    m_window.setSetupWindow(nullptr);
}

void CardCommands::runFormat() {
    const std::filesystem::path root = cardRoot();
    if (root.empty()) {
        tell(lstring("SDCARD_NOTSELECT"), QMessageBox::Information);
        return;
    }
    m_window.operations().returnToIdle(); // the player lets go of the card's files

    // The camera's quick settings, kept in memory across the format.
    const std::filesystem::path ini = QuickSettingsDialog::settingsPath(root);
    CWBCIniLoader settings;
    RegisterQuickSettingItems(settings);
    settings.Load(ini);

    CardFormatter formatter(m_formatBus);
    const QString mountPoint = QString::fromStdString(root.string());
    const CardFormatter::Found found = formatter.findCard(mountPoint);
    if (found.refusal != CardFormatter::Refusal::None) {
        const char* id = "FORMAT_MSG_NO_SERVICE";
        switch (found.refusal) {
        case CardFormatter::Refusal::NotFound:
            id = "FORMAT_MSG_NOT_FOUND";
            break;
        case CardFormatter::Refusal::FixedDisk:
            id = "FORMAT_MSG_FIXED";
            break;
        case CardFormatter::Refusal::SystemDisk:
        case CardFormatter::Refusal::SystemMounted:
            id = "FORMAT_MSG_SYSTEM";
            break;
        default:
            break;
        }
        qInfo().noquote() << "format refused:" << mountPoint << found.device.device << found.detail;
        tell(lstring(id), QMessageBox::Critical);
        emit formatFinished(false);
        return;
    }

    FormatDialog confirm(found.device, &m_window);
    if (runWindow(confirm) != QDialog::Accepted) {
        emit formatFinished(false);
        return;
    }
    m_window.busy().setBusy(true); // page commands wait while UDisks2 works
    const CardFormatter::Result result =
        formatter.format(found.device, confirm.fileSystem(), confirm.Label());
    m_window.busy().setBusy(false);
    if (!result.ok) {
        // Nothing is written: what is left on the card stays as it was.
        tell(lstring("FORMAT_MSG_FAILED") + QStringLiteral("\n") + result.error, QMessageBox::Critical);
        emit formatFinished(false);
        return;
    }

    const std::filesystem::path newRoot =
        result.mountPoint.isEmpty() ? root : std::filesystem::path(result.mountPoint.toStdString());
    bool kept = true;
    if (settings.loaded())
        kept = settings.Save(QuickSettingsDialog::settingsPath(newRoot));

    // The card may come back at another folder: the drive entry follows it, then the scan runs again.
    ListController* lists = m_window.lists();
    RecordingScanner& scanner = lists->scanner();
    const int index = scanner.SelectedSourceIndex();
    if (index >= 0 && index < static_cast<int>(scanner.Drives().size())) {
        std::string name = newRoot.string();
        if (!name.empty() && name.back() != '/')
            name += '/';
        scanner.Drives()[index].name = name;
        lists->scanAndShow(index);
    }
    tell(lstring(kept ? "FORMAT_MSG_DONE" : "FORMAT_MSG_SETTINGS_LOST"),
         kept ? QMessageBox::Information : QMessageBox::Warning);
    emit formatFinished(true);
}

CardCommands* InstallCardCommands(MainWindow& window) {
    auto* commands = new CardCommands(window);
    window.commands().add(QStringLiteral("btnDeleteFile"), [commands](int) { commands->requestDelete(); });
    // Windows open after the page's call has returned.
    window.commands().add(QStringLiteral("btnQuickSetting"), [commands](int) {
        QTimer::singleShot(0, commands, [commands] { commands->runQuickSettings(); });
    });
    window.commands().add(QStringLiteral("btnFormat"), [commands](int) {
        QTimer::singleShot(0, commands, [commands] { commands->runFormat(); });
    });
    window.commands().add(QStringLiteral("btnSetting"), [commands](int) {
        QTimer::singleShot(0, commands, [commands] { commands->runSetup(); });
    });
    return commands;
}
