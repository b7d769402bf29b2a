// Windows with a web page opened by a command of the main page, through the real bridge: the
// window's page loads and works, and the main page keeps answering while the window is up.
#include "PageWindowProbe.h"
#include "WindowTestApp.h"

#include "ui/app/MainWindow.h"
#include "ui/dialogs/SearchPageWindow.h"
#include "ui/recordings/ListController.h"
#include "ui/playback/PlaybackSession.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

TEST(PageWindows, SearchButtonOfThePlayerBarOpensAWorkingSearchPage) {
    windowTestApp(QUILLENT_SOURCE_SKIN, QUILLENT_BUILT_CONFIG);
    StandInCard card({"NORMAL/RTC20140512_100000.qmv", "NORMAL/RTC20140512_100100.qmv",
                      "EVENT/EVENT_RTC20140512_100030.qmv"});
    PlaybackSession session;
    MainWindow window{session};
    QSignalSpy ready(&window, &MainWindow::pageReady);
    window.show();
    ASSERT_TRUE(ready.count() > 0 || ready.wait(60000));
    window.lists()->scanner().SetFolders({{"NORMAL"}, {"EVENT"}});
    window.lists()->scanner().SetExtensions({"qmv"});
    ASSERT_TRUE(window.lists()->openFolder(card.root));
    ASSERT_EQ(window.lists()->scanner().EntryCount(), 3);

    const PageWindowProbeResult probe = ClickAndProbePageWindow(
        window.page(), QStringLiteral("btnSearch"),
        [](QWidget* w) -> BrowserHost* {
            auto* search = qobject_cast<SearchPageWindow*>(w);
            return search ? search->page() : nullptr;
        },
        QStringLiteral("listNames()"));
    EXPECT_TRUE(probe.windowOpened);
    ASSERT_TRUE(probe.pageLoaded) << "the search window's page never loaded";
    const QStringList rows = probe.scriptResult.toStringList();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows[0].startsWith("RTC20140512_100000.qmv|")) << rows[0].toStdString();
    EXPECT_TRUE(probe.mainPageAnswered);
}
