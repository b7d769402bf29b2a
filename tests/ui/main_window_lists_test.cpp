// The list commands of the skin reach the main window's list: "btnOpen" over a generated card, the
// check commands, "btnFileFolder", Space before a source is chosen, and the list's open message.
#include "WindowTestApp.h"
#include "core/tools/DriveList.h"
#include "ui/app/MainWindow.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/page/BrowserHost.h"
#include "ui/recordings/RecordingListView.h"
#include "ui/recordings/ListController.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
QApplication& app() {
    return windowTestApp(QUILLENT_SOURCE_SKIN, nullptr);
}
} // namespace

TEST(MainWindowLists, SkinListCommandsDriveTheList) {
    app();
    StandInCard card({"NORMAL/RTC20140512_100000.qmv", "NORMAL/RTC20140512_100100.qmv",
                      "EVENT/EVENT_RTC20140512_100030.qmv", "EVENT/EVENT_RTC20140512_100130.qmv",
                      "MOTION/MOTION_RTC20140512_100200.qmv"});
    PlaybackSession session;
    MainWindow window{session};
    ListController* lists = window.lists();
    ASSERT_NE(lists, nullptr);
    lists->scanner().SetFolders({{"NORMAL"}, {"EVENT"}, {"MOTION"}});
    lists->scanner().SetExtensions({"qmv"});
    int dialogs = 0;
    lists->setDriveChooser([&](RecordingScanner& s) {
        ++dialogs;
        s.Drives() = {{0, card.root.string() + "/", kDriveSource, "CARD", true},
                      {1, "Find in My Computer", kFolderSource, "", false}};
        return 0;
    });
    lists->setErrorReporter([](const QString&) { ADD_FAILURE() << "no message expected"; });
    window.show();

    // Space before a card is chosen opens the card choice.
    EXPECT_FALSE(window.hasScanSource());
    QTest::keyClick(&window, Qt::Key_Space);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(window.hasScanSource());

    window.runPageCommand("btnOpen", 0);
    EXPECT_EQ(dialogs, 2);
    auto* list = qobject_cast<RecordingListView*>(window.panel(PanelSlot::FileList));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->model().Count(), 5);
    EXPECT_EQ(list->model().Rows()[1].name, "EVENT_RTC20140512_100030.qmv");

    window.runPageCommand("btnFileFolder", 3);
    EXPECT_EQ(lists->kindFilter(), 3);
    EXPECT_EQ(list->model().VisibleCount(), 2);
    window.runPageCommand("btnChkAll", 1);
    const RecordingScanner& s = lists->scanner();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(s.GetEntry(i)->chosen, 1);
        EXPECT_EQ(lists->report().IsChecked(i), list->model().Rows()[i].kind == 3) << i;
    }
    window.runPageCommand("btnChkOff", 1);
    EXPECT_FALSE(lists->report().IsChecked(1));
    EXPECT_EQ(s.GetEntry(1)->chosen, 0);
    window.runPageCommand("btnChkOn", 0);
    EXPECT_TRUE(lists->report().IsChecked(0));
    window.runPageCommand("btnChkClear", 0);
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(lists->report().IsChecked(i));

    // While a recording is being opened the list takes no clicks (nothing is opened here).
    window.busy().setBusy(true);
    QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(30, 12));
    EXPECT_EQ(window.state().selectedIndex, -1);
    EXPECT_EQ(list->model().Selection(), -1);
    window.busy().setBusy(false);
}
