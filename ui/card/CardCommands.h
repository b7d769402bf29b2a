// The commands on the camera's card: delete the chosen recordings to the trash, the quick settings
// window, the camera-setup page and the format that keeps the quick settings. installCardCommands
// makes one, a child of the context's window, and registers "btnDeleteFile", "btnQuickSetting",
// "btnSetting" and "btnFormat". Every command runs after the bridge call that asked for it has
// returned (queued), so its windows and message boxes never run inside the page's script call.
#pragma once

#include "core/camera/SetupRecord.h"

#include <QDBusConnection>
#include <QMessageBox>
#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>

class Commands;
class PageWindow;
class QDialog;
struct AppContext;

class CardCommands : public QObject {
    Q_OBJECT
public:
    // Message boxes; tests replace them so that nothing blocks.
    struct Prompts {
        std::function<bool(const QString& text)> ask;                          // Yes / No
        std::function<void(const QString& text, QMessageBox::Icon icon)> tell; // OK only
    };

    explicit CardCommands(AppContext& context);

    void setPrompts(Prompts prompts) { m_prompts = std::move(prompts); }

    // "btnDeleteFile": stops playback first when the open recording is among the chosen ones, then
    // queues the deletion.
    void requestDelete();
    // The deletion: asks, moves every chosen recording to the trash, refreshes the list and says
    // how many went (with nothing chosen it says so and asks nothing).
    void deleteChosen();
    // "1 file was moved to the Trash." / "3 files were moved to the Trash." in the language in force.
    static QString movedToTrashText(int count);

    // The root of the listed card; empty when the list shows a folder or nothing (the card tools
    // then say "SDCARD_NOTSELECT").
    std::filesystem::path cardRoot() const;
    // Quick settings ("btnQuickSetting"): the window over the card's "setup.ini".
    void runQuickSettings();
    // Camera setup ("btnSetting"): the setup page window; the bridge routes its page's calls to it.
    void runSetup();
    // The setup record of the recording open in the player, when it carried one.
    std::optional<SetupRecordBytes> openRecordingSetup() const;
    // Format ("btnFormat"): keeps "setup.ini" across a format through UDisks2.
    void runFormat();
    // The bus UDisks2 is reached on (the system bus unless set; tests give a private one).
    void setFormatBus(const QDBusConnection& bus) { m_formatBus = bus; }
    // Tests look at the windows while they run.
    using WindowWatcher = std::function<void(QDialog& window)>;
    void setWindowWatcher(WindowWatcher watcher) { m_watchWindow = std::move(watcher); }

signals:
    // The format command has ended: `formatted` when the card was formatted.
    void formatFinished(bool formatted);
    // The deletion has run (after the question was answered); `moved` files went to the trash.
    void deleteFinished(int moved, int failed);
    // The setup page window opened (the page's calls go to it) or closed (null).
    void setupWindowChanged(PageWindow* window);

private:
    bool ask(const QString& text);
    void tell(const QString& text, QMessageBox::Icon icon);

    int runWindow(QDialog& window);
    // Where a format refusal is explained, in the language table.
    static const char* refusalText(int refusal);
    // The card came back (maybe at another folder): the drive entry follows it, the scan runs again.
    void rescanCard(const std::filesystem::path& newRoot);

    AppContext& m_context;
    Prompts m_prompts;
    WindowWatcher m_watchWindow;
    QDBusConnection m_formatBus = QDBusConnection::systemBus();
};

// Creates the card commands (a child of context.parent) and registers their commands.
void installCardCommands(Commands& commands, AppContext& context);
