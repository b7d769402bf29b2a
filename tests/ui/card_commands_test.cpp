// The card commands of the main window, driven the way the page drives them: delete to the trash of
// a temporary home (with the trash's info files, a file that cannot go stays listed and chosen); the
// quick settings window over a card's "setup.ini" (Save state, kept and dropped keys, a card that
// refuses the write); a missing path on the command line and the language choice of the window.
#include "WindowTestApp.h"
#include "core/config/Settings.h"
#include "ui/app/MainWindow.h"
#include "ui/widgets/CaptionButton.h"
#include "ui/page/BrowserHost.h"
#include "ui/card/QuickSettingsDialog.h"
#include "ui/card/SetupPageWindow.h"
#include "ui/card/CardCommands.h"
#include "ui/widgets/SkinButton.h"
#include "ui/recordings/RecordingListView.h"
#include "ui/recordings/ListController.h"
#include "ui/playback/PlaybackSession.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {
QApplication& app() {
    return windowTestApp(QUILLENT_SOURCE_SKIN, QUILLENT_SOURCE_CONFIG);
}

// A card folder listed in a main window whose message boxes are recorded instead of shown.
struct ListedCard {
    QTemporaryDir dir;
    fs::path root;
    PlaybackSession session;
    MainWindow window{session};
    CardCommands* commands = nullptr;
    std::vector<QString> questions;
    std::vector<std::pair<QString, QMessageBox::Icon>> messages;
    bool answer = true;

    explicit ListedCard(const std::vector<std::string>& files) : root(dir.path().toStdString() + "/card") {
        writeStandInFiles(root, files);
        ListController* lists = window.lists();
        lists->scanner().SetFolders({{"NORMAL"}, {"EVENT"}});
        lists->scanner().SetExtensions({"qmv"});
        lists->setDriveChooser([this](RecordingScanner& s) {
            s.Drives() = {{0, root.string() + "/", kDriveSource, "CARD", true},
                          {1, "Find in My Computer", kFolderSource, "", false}};
            return 0;
        });
        lists->setErrorReporter([](const QString& t) { ADD_FAILURE() << t.toStdString(); });
        commands = window.findChild<CardCommands*>();
        commands->setPrompts(
            {[this](const QString& q) {
                 questions.push_back(q);
                 return answer;
             },
             [this](const QString& t, QMessageBox::Icon i) { messages.emplace_back(t, i); }});
        window.runPageCommand("btnOpen", 0);
    }
    int entry(const std::string& name) { return window.lists()->scanner().FindByName(name); }
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
    ListController* lists = card.window.lists();
    ASSERT_EQ(lists->scanner().EntryCount(), 4);

    // No answer but Yes deletes anything.
    card.window.runPageCommand("btnChkOn", card.entry("RTC20140512_100000.qmv"));
    card.answer = false;
    QSignalSpy finished(card.commands, &CardCommands::deleteFinished);
    card.window.runPageCommand("btnDeleteFile", 0);
    QApplication::processEvents(); // the deletion runs after the bridge call, as 0xD99
    ASSERT_EQ(card.questions.size(), 1u);
    EXPECT_EQ(card.questions[0], "Do you want to move the selected files to the Trash?");
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(lists->scanner().EntryCount(), 4);

    // Two chosen files, one of which vanished from the card behind the program's back.
    card.window.runPageCommand("btnChkOn", card.entry("EVENT_RTC20140512_100130.qmv"));
    fs::remove(card.root / "EVENT/EVENT_RTC20140512_100130.qmv");
    card.answer = true;
    card.window.runPageCommand("btnDeleteFile", 0);
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

    // The file that could not be moved is reported by name and is still listed, still chosen; the
    // one that went is counted.
    ASSERT_FALSE(card.messages.empty());
    EXPECT_EQ(card.messages.back().second, QMessageBox::Critical);
    EXPECT_TRUE(card.messages.back().first.startsWith("1 file was moved to the Trash.\n\n"))
        << card.messages.back().first.toStdString();
    EXPECT_TRUE(card.messages.back().first.contains("EVENT_RTC20140512_100130.qmv"));
    EXPECT_EQ(lists->scanner().EntryCount(), 3);
    auto* list = qobject_cast<RecordingListView*>(card.window.panel(PanelSlot::FileList));
    ASSERT_EQ(list->model().Count(), 3);
    const int kept = card.entry("EVENT_RTC20140512_100130.qmv");
    ASSERT_GE(kept, 0);
    EXPECT_EQ(lists->scanner().GetEntry(kept)->chosen, 1);
    EXPECT_TRUE(lists->report().IsChecked(kept));
    EXPECT_EQ(card.entry("RTC20140512_100000.qmv"), -1);

    // Nothing chosen: it says so, asks nothing, nothing changes.
    card.window.runPageCommand("btnChkOff", kept);
    const size_t asked = card.questions.size();
    card.window.runPageCommand("btnDeleteFile", 0);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(card.questions.size(), asked);
    EXPECT_EQ(card.messages.back().second, QMessageBox::Information);
    EXPECT_EQ(card.messages.back().first, QString("Select a recording first."));
    EXPECT_EQ(lists->scanner().EntryCount(), 3);

    // Everything chosen goes: the message counts the files and never speaks of camera settings.
    card.window.runPageCommand("btnChkOn", kept);
    fs::create_directories(card.root / "EVENT");
    writeStandInFiles(card.root, {"EVENT/EVENT_RTC20140512_100130.qmv"});
    card.window.runPageCommand("btnChkOn", card.entry("RTC20140512_100100.qmv"));
    card.window.runPageCommand("btnDeleteFile", 0);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(card.messages.back().second, QMessageBox::Information);
    EXPECT_EQ(card.messages.back().first, QString("2 files were moved to the Trash."));
    EXPECT_EQ(CardCommands::movedToTrashText(1), QString("1 file was moved to the Trash."));

    qputenv("HOME", oldHome);
    qputenv("XDG_DATA_HOME", oldData);
}

TEST(QuickSettings, SaveStateKeptAndDroppedKeysAndTheWrittenFile) {
    app();
    QTemporaryDir dir;
    const fs::path ini = dir.path().toStdString() + "/setup.ini";
    std::ofstream(ini)
        << "SENSOR_GY_STV = 2\nLCD_BRIGHT_LV\nVOICE_GUIDE_ON=1\nVOICE_REC_ON=0\nLED_PARKING_ON=1\n"
           "LCD_OFF_TIME=7\nVOLTAGE_CUTOFF_LV=3\nTIME_EXP_GMT=5\nUNKNOWN_KEY=4\n";
    std::vector<std::pair<QString, QMessageBox::Icon>> messages;
    QuickSettingsDialog dlg(ini);
    dlg.setMessageShower([&](const QString& t, QMessageBox::Icon i) { messages.emplace_back(t, i); });
    EXPECT_EQ(dlg.size(), QSize(907, 599));
    EXPECT_EQ(dlg.findChildren<SkinButton*>().size(), QuickSettingsDialog::kButtonCount);
    SkinButton* save = dlg.button(QuickSettingsDialog::kSaveId);
    EXPECT_EQ(save->geometry(), QRect(374, 530, 158, 36));
    EXPECT_EQ(dlg.button(1210)->geometry(), QRect(330, 110, 20, 20));
    EXPECT_EQ(dlg.button(1210)->toolTip(), QString::fromStdString(LString("SETTING_BTIP_GSENSOR_L")));

    // Every value as the file has it: nothing changed yet.
    EXPECT_FALSE(save->isEnabled());
    struct Lit {
        int id;
        bool lit;
    };
    for (const Lit& l : {Lit{1212, true},
                         {1210, false},
                         {1216, true},
                         {1218, true},
                         {1219, true},
                         {1222, true},
                         {1231, true},
                         {1236, true},
                         {1230, false},
                         {1235, false}})
        EXPECT_EQ(dlg.button(l.id)->getCheck(), l.lit) << l.id;
    for (int id = 1223; id <= 1227; ++id) // 7 matches no button of the screen-off row
        EXPECT_FALSE(dlg.button(id)->getCheck()) << id;

    dlg.button(1210)->click();
    EXPECT_TRUE(save->isEnabled());
    EXPECT_TRUE(dlg.button(1210)->getCheck());
    EXPECT_FALSE(dlg.button(1212)->getCheck());
    dlg.button(1212)->click(); // back to the file's value
    EXPECT_FALSE(save->isEnabled());
    dlg.button(1233)->click(); // second cut-off row, level 1: both rows follow
    EXPECT_TRUE(dlg.button(1228)->getCheck());
    EXPECT_FALSE(dlg.button(1236)->getCheck());
    EXPECT_TRUE(save->isEnabled());

    save->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, QString::fromStdString(LString("SETTING_MSG_SAVED")));
    EXPECT_EQ(readFile(ini),
              "SENSOR_GY_STV=2\r\nLCD_BRIGHT_LV=2\r\nVOICE_GUIDE_ON=1\r\nVOICE_REC_ON=0\r\n"
              "LED_PARKING_ON=1\r\nLCD_OFF_TIME=7\r\nVOLTAGE_CUTOFF_LV=0\r\nTIME_EXP_GMT=5\r\n");
}

TEST(QuickSettings, ACardThatRefusesTheWriteIsReportedAndTheWindowStays) {
    app();
    QTemporaryDir dir;
    // A removed card (its folder is gone) and a card whose "setup.ini" cannot be written over.
    const fs::path removed = dir.path().toStdString() + "/gone/setup.ini";
    const fs::path blocked = dir.path().toStdString() + "/blocked/setup.ini";
    fs::create_directories(blocked / "inside");
    for (const fs::path& ini : {removed, blocked}) {
        std::vector<std::pair<QString, QMessageBox::Icon>> messages;
        QuickSettingsDialog dlg(ini);
        dlg.setMessageShower([&](const QString& t, QMessageBox::Icon i) { messages.emplace_back(t, i); });
        dlg.show();
        // Missing file: the defaults are shown and Save is offered.
        EXPECT_TRUE(dlg.button(1212)->getCheck());
        EXPECT_TRUE(dlg.button(1229)->getCheck() && dlg.button(1234)->getCheck());
        ASSERT_TRUE(dlg.button(QuickSettingsDialog::kSaveId)->isEnabled());
        dlg.button(QuickSettingsDialog::kSaveId)->click();
        ASSERT_EQ(messages.size(), 1u) << ini;
        EXPECT_EQ(messages[0].second, QMessageBox::Critical);
        EXPECT_EQ(messages[0].first, QString::fromStdString(LString("SETTING_MSG_SAVE_FAILED")));
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_NE(dlg.result(), QDialog::Accepted);
    }
}

TEST(QuickSettings, TheCommandOpensTheWindowOnlyForACard) {
    app();
    ListedCard card({"NORMAL/RTC20140512_100000.qmv"});
    std::ofstream(card.root / "setup.ini") << "SENSOR_GY_STV=0\n";
    int opened = 0;
    card.commands->setWindowWatcher([&](QDialog& w) {
        auto* dlg = qobject_cast<QuickSettingsDialog*>(&w);
        ASSERT_NE(dlg, nullptr);
        ++opened;
        EXPECT_TRUE(dlg->button(1210)->getCheck()); // the card's file
        dlg->reject();
    });
    card.window.runPageCommand("btnQuickSetting", 0);
    EXPECT_EQ(opened, 0); // queued: never inside the page's call
    QTRY_COMPARE_WITH_TIMEOUT(opened, 1, 5000);

    // A folder is listed: no window, the reason is shown.
    card.window.lists()->openFolder(card.root);
    card.window.commands().run("btnQuickSetting");
    QTest::qWait(50);
    EXPECT_EQ(opened, 1);
    ASSERT_FALSE(card.messages.empty());
    EXPECT_EQ(card.messages.back().first, QString::fromStdString(LString("SDCARD_NOTSELECT")));
}

TEST(CameraSetup, TheCommandRunsTheSetupWindowAsTheWindowsSetupWindow) {
    app();
    ListedCard card({"NORMAL/RTC20140512_100000.qmv"});
    int opened = 0;
    card.commands->setWindowWatcher([&](QDialog& w) {
        auto* dlg = qobject_cast<SetupPageWindow*>(&w);
        ASSERT_NE(dlg, nullptr);
        ++opened;
        EXPECT_EQ(card.window.setupWindow(), dlg); // DoSetupHandler reaches it through the bridge
        // Nothing is open in the player: the page's "load from recording" finds no record.
        dlg->handleCommand("btnLoadfrommovie", {});
        QTRY_VERIFY_WITH_TIMEOUT(!card.messages.empty(), 5000);
        dlg->handleCommand("btnCancel", {});
    });
    card.window.runPageCommand("btnSetting", 0);
    QTRY_COMPARE_WITH_TIMEOUT(opened, 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(card.window.setupWindow() == nullptr, 5000);
    EXPECT_EQ(card.messages.back().first, QString::fromStdString(LString("FOUND_NOT_CONFIG_INFORMATION")));
}

// What a newcomer meets in the main window: a path on the command line that does not exist is
// named as such (never listed as a broken recording); the language is chosen in the window's
// title band, stored as the installer does, and applies from the next start.
TEST(MainWindowStart, MissingPathsAreNamedAndTheLanguageIsChosenInTheWindow) {
    app();
    ListedCard card({"NORMAL/RTC20140512_100000.qmv"});
    QStringList errors;
    card.window.lists()->setErrorReporter([&](const QString& t) { errors << t; });
    const int listed = card.window.lists()->scanner().EntryCount();
    const QString missing = card.dir.path() + "/no-such-card";
    card.window.handleArgument(missing);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], "This file or folder does not exist:\n" + missing);
    EXPECT_EQ(card.window.lists()->scanner().EntryCount(), listed) << "the list stays as it was";
    card.window.handleArgument(missing + "/RTC20140512_100000.qmv");
    EXPECT_EQ(errors.size(), 2);

    auto* button = card.window.findChild<CaptionButton*>("languageButton");
    ASSERT_NE(button, nullptr);
    card.window.resize(1200, 628);
    card.window.layoutPanels();
    const QRect minimise = card.window.findChild<CaptionButton*>("minimiseButton")->geometry();
    EXPECT_LT(button->geometry().right(), minimise.left() + 8) << "beside the minimise button";
    EXPECT_EQ(button->geometry().top(), 0);
    QTest::mouseClick(button, Qt::LeftButton);
    QMenu* menu = card.window.languageMenu();
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 5000));
    QStringList told;
    card.window.setLanguageMessageShower([&](const QString& t) { told << t; });
    QAction* korean = menu->findChild<QAction*>("korean");
    ASSERT_NE(korean, nullptr);
    EXPECT_EQ(korean->text(), QString::fromUtf8("한국어"));
    korean->trigger();
    menu->hide();
    EXPECT_EQ(ReadSetting("Installer Language"), "1042");
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told[0], QString::fromUtf8("다음에 프로그램을 시작할 때부터 한국어로 표시됩니다.")); // in the chosen one
    EXPECT_TRUE(korean->isChecked());
    card.window.chooseLanguage("english");
    EXPECT_EQ(ReadSetting("Installer Language"), "1033");
    EXPECT_FALSE(korean->isChecked());
}
