// The card commands of the main window, driven the way the page drives them: delete to the trash of
// a temporary home (with the trash's info files, a file that cannot go stays listed and chosen).
#include "OpenTestApp.h"
#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"
#include "ui/app/CHvViewerDlg.h"
#include "ui/bridge/BrowserHost.h"
#include "ui/card/CardCommands.h"
#include "ui/lists/CFilelist.h"
#include "ui/lists/ListController.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {
QApplication& app() {
    static QApplication* instance = [] {
        QApplication* a = ensureTestApp();
        BrowserHost::SetSkinFolder(QStringLiteral(QUILLENT_SOURCE_DIR "/skin/pages"));
        static QTemporaryDir settings;
        SetSettingsDirectoryForTesting(settings.path().toStdString());
        LoadViewerConfigFile(QUILLENT_SOURCE_DIR "/viewerconfig.cfg", ViewerConfig::Instance());
        return a;
    }();
    return *instance;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A card folder listed in a main window whose message boxes are recorded instead of shown.
struct ListedCard {
    QTemporaryDir dir;
    fs::path root;
    CHvViewerDlg window;
    CardCommands* commands = nullptr;
    std::vector<QString> questions;
    std::vector<std::pair<QString, QMessageBox::Icon>> messages;
    bool answer = true;

    explicit ListedCard(const std::vector<std::string>& files) : root(dir.path().toStdString() + "/card") {
        for (const std::string& rel : files) {
            fs::create_directories((root / rel).parent_path());
            std::ofstream(root / rel) << rel;
        }
        ListController* lists = window.Lists();
        lists->Scanner().SetFolders({{"NORMAL"}, {"EVENT"}});
        lists->Scanner().SetExtensions({"qmv"});
        lists->SetDriveChooser([this](RecordingScanner& s) {
            s.Drives() = {{0, root.string() + "/", kDriveSource, "CARD", true},
                          {1, "Find in My Computer", kFolderSource, "", false}};
            return 0;
        });
        lists->SetErrorReporter([](const QString& t) { ADD_FAILURE() << t.toStdString(); });
        commands = window.findChild<CardCommands*>();
        commands->SetPrompts(
            {[this](const QString& q) {
                 questions.push_back(q);
                 return answer;
             },
             [this](const QString& t, QMessageBox::Icon i) { messages.emplace_back(t, i); }});
        window.Dispatcher().Dispatch("btnOpen", 0);
    }
    int entry(const std::string& name) { return window.Lists()->Scanner().FindByName(name); }
};
} // namespace

TEST(CardDelete, ChosenRecordingsGoToTheTrashAndAFailureStaysListed) {
    app();
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME"), oldData = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toUtf8());
    fs::create_directories(home.path().toStdString() + "/.local/share");

    ListedCard card({"NORMAL/RTC20140512_100000.qmv", "NORMAL/RTC20140512_100100.qmv",
                     "EVENT/EVENT_RTC20140512_100030.qmv", "EVENT/EVENT_RTC20140512_100130.qmv"});
    ASSERT_NE(card.commands, nullptr);
    ListController* lists = card.window.Lists();
    ASSERT_EQ(lists->Scanner().EntryCount(), 4);

    // No answer but Yes deletes anything.
    card.window.Dispatcher().Dispatch("btnChkOn", card.entry("RTC20140512_100000.qmv"));
    card.answer = false;
    QSignalSpy finished(card.commands, &CardCommands::deleteFinished);
    card.window.Dispatcher().Dispatch("btnDeleteFile", 0);
    QApplication::processEvents(); // the deletion runs after the bridge call, as 0xD99
    ASSERT_EQ(card.questions.size(), 1u);
    EXPECT_EQ(card.questions[0], "Do you want to move the selected files to the Trash?");
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(lists->Scanner().EntryCount(), 4);

    // Two chosen files, one of which vanished from the card behind the program's back.
    card.window.Dispatcher().Dispatch("btnChkOn", card.entry("EVENT_RTC20140512_100130.qmv"));
    fs::remove(card.root / "EVENT/EVENT_RTC20140512_100130.qmv");
    card.answer = true;
    card.window.Dispatcher().Dispatch("btnDeleteFile", 0);
    ASSERT_TRUE(finished.count() > 0 || finished.wait(5000));
    EXPECT_EQ(finished.last().at(0).toInt(), 1);
    EXPECT_EQ(finished.last().at(1).toInt(), 1);

    const fs::path trash = home.path().toStdString() + "/.local/share/Trash";
    EXPECT_FALSE(fs::exists(card.root / "NORMAL/RTC20140512_100000.qmv"));
    EXPECT_EQ(readFile(trash / "files/RTC20140512_100000.qmv"), "NORMAL/RTC20140512_100000.qmv");
    const std::string info = readFile(trash / "info/RTC20140512_100000.qmv.trashinfo");
    EXPECT_NE(info.find("[Trash Info]"), std::string::npos) << info;
    EXPECT_NE(info.find("Path=" + (card.root / "NORMAL/RTC20140512_100000.qmv").string()), std::string::npos)
        << info;
    EXPECT_NE(info.find("DeletionDate="), std::string::npos) << info;

    // The file that could not be moved is reported by name and is still listed, still chosen.
    ASSERT_FALSE(card.messages.empty());
    EXPECT_EQ(card.messages.back().second, QMessageBox::Critical);
    EXPECT_TRUE(card.messages.back().first.contains("EVENT_RTC20140512_100130.qmv"));
    EXPECT_EQ(lists->Scanner().EntryCount(), 3);
    auto* list = qobject_cast<CFilelist*>(card.window.Panel(PanelSlot::FileList));
    ASSERT_EQ(list->Model().Count(), 3);
    const int kept = card.entry("EVENT_RTC20140512_100130.qmv");
    ASSERT_GE(kept, 0);
    EXPECT_EQ(lists->Scanner().GetEntry(kept)->chosen, 1);
    EXPECT_TRUE(lists->Report().IsChecked(kept));
    EXPECT_EQ(card.entry("RTC20140512_100000.qmv"), -1);

    // Nothing chosen: "Complete", nothing changes.
    card.window.Dispatcher().Dispatch("btnChkOff", kept);
    card.window.Dispatcher().Dispatch("btnDeleteFile", 0);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(card.messages.back().second, QMessageBox::Information);
    EXPECT_EQ(card.messages.back().first, QString::fromStdString(LString("COMPLETE")));
    EXPECT_EQ(lists->Scanner().EntryCount(), 3);

    qputenv("HOME", oldHome);
    qputenv("XDG_DATA_HOME", oldData);
}
