// The list commands of the skin reach the main window's list: "btnOpen" over a generated card, the
// check commands, "btnFileFolder", Space before a source is chosen, and the list's open message.
#include "WindowTestApp.h"
#include "core/tools/DriveList.h"
#include "ui/app/CHvViewerDlg.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/app/CommandIds.h"
#include "ui/bridge/BrowserHost.h"
#include "ui/lists/CFilelist.h"
#include "ui/lists/ListController.h"

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
    CHvViewerDlg window{session};
    ListController* lists = window.Lists();
    ASSERT_NE(lists, nullptr);
    lists->Scanner().SetFolders({{"NORMAL"}, {"EVENT"}, {"MOTION"}});
    lists->Scanner().SetExtensions({"qmv"});
    int dialogs = 0;
    lists->SetDriveChooser([&](RecordingScanner& s) {
        ++dialogs;
        s.Drives() = {{0, card.root.string() + "/", kDriveSource, "CARD", true},
                      {1, "Find in My Computer", kFolderSource, "", false}};
        return 0;
    });
    lists->SetErrorReporter([](const QString&) { ADD_FAILURE() << "no message expected"; });
    window.show();

    // Space before a card is chosen opens the card choice.
    EXPECT_FALSE(window.hasScanSource());
    QTest::keyClick(&window, Qt::Key_Space);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(window.hasScanSource());

    window.Dispatcher().Dispatch("btnOpen", 0);
    EXPECT_EQ(dialogs, 2);
    auto* list = qobject_cast<CFilelist*>(window.Panel(PanelSlot::FileList));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Model().Count(), 5);
    EXPECT_EQ(list->Model().Rows()[1].name, "EVENT_RTC20140512_100030.qmv");

    window.Dispatcher().Dispatch("btnFileFolder", 3);
    EXPECT_EQ(lists->KindFilter(), 3);
    EXPECT_EQ(list->Model().VisibleCount(), 2);
    window.Dispatcher().Dispatch("btnChkAll", 1);
    const RecordingScanner& s = lists->Scanner();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(s.GetEntry(i)->chosen, 1);
        EXPECT_EQ(lists->Report().IsChecked(i), list->Model().Rows()[i].kind == 3) << i;
    }
    window.Dispatcher().Dispatch("btnChkOff", 1);
    EXPECT_FALSE(lists->Report().IsChecked(1));
    EXPECT_EQ(s.GetEntry(1)->chosen, 0);
    window.Dispatcher().Dispatch("btnChkOn", 0);
    EXPECT_TRUE(lists->Report().IsChecked(0));
    window.Dispatcher().Dispatch("btnChkClear", 0);
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(lists->Report().IsChecked(i));

    // While a recording is being opened the list takes no clicks (nothing is opened here).
    window.Busy().setBusy(true);
    QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(30, 12));
    EXPECT_EQ(window.State().selectedIndex, -1);
    EXPECT_EQ(list->Model().Selection(), -1);
    window.Busy().setBusy(false);
}
