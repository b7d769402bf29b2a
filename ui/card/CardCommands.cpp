#include "ui/card/CardCommands.h"

#include "core/camera/CWBCIniLoader.h"
#include "core/config/ViewerConfig.h"
#include "core/tools/RecordingTrash.h"
#include "ui/card/FormatDialog.h"
#include "ui/card/QuickSettingsDialog.h"
#include "ui/card/SetupPageWindow.h"
#include "ui/card/CardFormatter.h"
#include "ui/common/AppContext.h"
#include "ui/common/Commands.h"
#include "ui/playback/BusyFlag.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/playback/Player.h"
#include "ui/recordings/ListController.h"

#include <QDebug>

#include <algorithm>
#include <QTimer>

namespace {
const char* const kProductTitle = "Morvent QUILLENT";

QString lstring(const char* id) {
    return QString::fromStdString(LString(id));
}
} // namespace

QString CardCommands::movedToTrashText(int count) {
    return count == 1 ? lstring("DELETE_MSG_DONE_ONE") : lstring("DELETE_MSG_DONE").arg(count);
}

CardCommands::CardCommands(AppContext& context) : QObject(context.parent), m_context(context) {
    setObjectName(QStringLiteral("cardCommands"));
}

bool CardCommands::ask(const QString& text) {
    if (m_prompts.ask)
        return m_prompts.ask(text);
    return QMessageBox::question(m_context.parent, QString::fromLatin1(kProductTitle), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void CardCommands::tell(const QString& text, QMessageBox::Icon icon) {
    if (m_prompts.tell) {
        m_prompts.tell(text, icon);
        return;
    }
    QMessageBox box(icon, QString::fromLatin1(kProductTitle), text, QMessageBox::Ok, m_context.parent);
    box.exec();
}

void CardCommands::requestDelete() {
    // The open file is about to go: release it first (the player holds it open).
    const PlaybackSession& session = m_context.session;
    if (session.isOpen()) {
        for (const RecordingEntry& e : m_context.recordings.scanner().Entries()) {
            if (e.chosen == 1 && std::filesystem::path(e.path) == session.recording().path) {
                m_context.player.returnToIdle();
                break;
            }
        }
    }
    QTimer::singleShot(0, this, &CardCommands::deleteChosen);
}

void CardCommands::deleteChosen() {
    ListController* lists = &m_context.recordings;
    Player& player = m_context.player;
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
    const RecordingEntry* open = scanner.GetEntry(player.selectedRow());
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
        player.setSelectedRow(scanner.FindByName(openName));
        if (player.selectedRow() >= 0)
            lists->selectRow(player.selectedRow(), lists->kindFilter());
    }
    if (m_context.parent)
        m_context.parent->update();

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
    const RecordingScanner& scanner = m_context.recordings.scanner();
    if (scanner.SourceKind() != kDriveSource)
        return {};
    return scanner.SourcePath();
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
    QuickSettingsDialog dlg(QuickSettingsDialog::settingsPath(root), m_context.parent);
    if (m_prompts.tell)
        dlg.setMessageShower(m_prompts.tell);
    runWindow(dlg);
}

std::optional<SetupRecordBytes> CardCommands::openRecordingSetup() const {
    const PlaybackSession& session = m_context.session;
    if (!session.isOpen() || !session.trackData().hasSetupRecord)
        return std::nullopt;
    return session.trackData().setupRecord;
}

void CardCommands::runSetup() {
    SetupPageWindow dlg(m_context.parent);
    dlg.setRecordingSetupSource([this] { return openRecordingSetup(); });
    if (m_prompts.tell)
        dlg.setMessageShower(m_prompts.tell);
    emit setupWindowChanged(&dlg);
    runWindow(dlg);
    emit setupWindowChanged(nullptr);
}

const char* CardCommands::refusalText(int refusal) {
    switch (static_cast<CardFormatter::Refusal>(refusal)) {
    case CardFormatter::Refusal::NotFound:
        return "FORMAT_MSG_NOT_FOUND";
    case CardFormatter::Refusal::FixedDisk:
        return "FORMAT_MSG_FIXED";
    case CardFormatter::Refusal::SystemDisk:
    case CardFormatter::Refusal::SystemMounted:
        return "FORMAT_MSG_SYSTEM";
    default:
        return "FORMAT_MSG_NO_SERVICE";
    }
}

void CardCommands::runFormat() {
    const std::filesystem::path root = cardRoot();
    if (root.empty()) {
        tell(lstring("SDCARD_NOTSELECT"), QMessageBox::Information);
        return;
    }
    m_context.player.returnToIdle(); // the player lets go of the card's files

    // The camera's quick settings, kept in memory across the format.
    const std::filesystem::path ini = QuickSettingsDialog::settingsPath(root);
    CWBCIniLoader settings;
    RegisterQuickSettingItems(settings);
    settings.Load(ini);

    CardFormatter formatter(m_formatBus);
    const QString mountPoint = QString::fromStdString(root.string());
    const CardFormatter::Found found = formatter.findCard(mountPoint);
    if (found.refusal != CardFormatter::Refusal::None) {
        qInfo().noquote() << "format refused:" << mountPoint << found.device.device << found.detail;
        tell(lstring(refusalText(static_cast<int>(found.refusal))), QMessageBox::Critical);
        emit formatFinished(false);
        return;
    }

    FormatDialog confirm(found.device, m_context.parent);
    if (runWindow(confirm) != QDialog::Accepted) {
        emit formatFinished(false);
        return;
    }
    m_context.busy.setBusy(true); // page commands wait while UDisks2 works
    const CardFormatter::Result result =
        formatter.format(found.device, confirm.fileSystem(), confirm.label());
    m_context.busy.setBusy(false);
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
    rescanCard(newRoot);
    tell(lstring(kept ? "FORMAT_MSG_DONE" : "FORMAT_MSG_SETTINGS_LOST"),
         kept ? QMessageBox::Information : QMessageBox::Warning);
    emit formatFinished(true);
}

void CardCommands::rescanCard(const std::filesystem::path& newRoot) {
    ListController& lists = m_context.recordings;
    RecordingScanner& scanner = lists.scanner();
    const int index = scanner.SelectedSourceIndex();
    if (index < 0 || index >= static_cast<int>(scanner.Drives().size()))
        return;
    std::string name = newRoot.string();
    if (!name.empty() && name.back() != '/')
        name += '/';
    scanner.Drives()[index].name = name;
    lists.scanAndShow(index);
}

void installCardCommands(Commands& commands, AppContext& context) {
    auto* card = new CardCommands(context);
    // Windows open after the page's call has returned.
    auto later = [card](void (CardCommands::*work)()) {
        return [card, work](int) { QTimer::singleShot(0, card, work); };
    };
    commands.add(QStringLiteral("btnDeleteFile"), [card](int) { card->requestDelete(); });
    commands.add(QStringLiteral("btnQuickSetting"), later(&CardCommands::runQuickSettings));
    commands.add(QStringLiteral("btnFormat"), later(&CardCommands::runFormat));
    commands.add(QStringLiteral("btnSetting"), later(&CardCommands::runSetup));
}
