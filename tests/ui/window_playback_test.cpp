// The main window playing a generated card given on its command line, headless: the card is
// listed and its first recording plays; screens float and dock; the zoom window toggles; the
// busy window holds list and commands back while a recording opens.
#include "WindowTestApp.h"
#include "media/playback/PlaybackEngine.h"
#include "ui/app/MainWindow.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/playback/PlaybackValues.h"
#include "ui/playback/WindowPlayback.h"
#include "ui/page/BrowserHost.h"
#include "ui/recordings/RecordingListView.h"
#include "ui/recordings/ListController.h"
#include "ui/screens/VideoScreen.h"
#include "ui/panels/DataPanelSet.h"
#include "core/tools/MountWatcher.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>

namespace {

class WindowPlaybackTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Folder names and extensions of the shipped configuration, as the program loads them.
        windowTestApp(QUILLENT_SOURCE_SKIN, QUILLENT_BUILT_CONFIG);
        ASSERT_FALSE(sampleCard().empty());
        s_card = QString::fromStdString(sampleCard().string());

        s_session = new PlaybackSession;
        s_window = new MainWindow(*s_session, {s_card});
        s_window->playback()->player().setMessageShower(
            [](const QString& text, MessageIcon) { s_messages.push_back(text); });
        s_window->lists()->setErrorReporter([](const QString& text) { s_messages.push_back(text); });
        QSignalSpy opened(&s_window->playback()->player(), &Player::openFinished);
        s_window->show();
        ASSERT_TRUE(opened.wait(60000)); // page loaded, card listed, first recording opened
    }
    static void TearDownTestSuite() {
        delete s_window;
        s_window = nullptr;
        delete s_session;
        s_session = nullptr;
    }
    static inline PlaybackSession* s_session = nullptr; // the application's, outliving the window
    static MainWindow* s_window;
    static QString s_card;
    static QStringList s_messages;
};
MainWindow* WindowPlaybackTest::s_window = nullptr;
QString WindowPlaybackTest::s_card;
QStringList WindowPlaybackTest::s_messages;

} // namespace

TEST_F(WindowPlaybackTest, ACardOnTheCommandLineIsListedAndPlaysFromItsFirstRecording) {
    RecordingScanner& scanner = s_window->lists()->scanner();
    ASSERT_GE(scanner.EntryCount(), 10);
    EXPECT_EQ(s_window->state().selectedIndex, 0);
    EXPECT_EQ(s_window->playback()->player().state(), PlaybackEngine::State::Running);
    EXPECT_TRUE(s_window->titleText().endsWith(QString::fromStdString(scanner.GetEntry(0)->name)));
    EXPECT_TRUE(s_messages.isEmpty()) << s_messages.join('|').toStdString();

    // The clock moves the position; the first screen gets pictures.
    auto* front = qobject_cast<VideoScreen*>(s_window->panel(PanelSlot::Screen0));
    ASSERT_NE(front, nullptr);
    QSignalSpy ticks(&s_window->playback()->player(), &Player::ticked);
    ASSERT_TRUE(ticks.wait(5000));
    EXPECT_TRUE(ticks.wait(5000));
    EXPECT_TRUE(front->hasFrame());
}

TEST_F(WindowPlaybackTest, DataPanelsFollowTheClockSeekOnClickAndTakeTheUnit) {
    DataPanelSet* panels = s_window->dataPanels();
    ASSERT_NE(panels, nullptr);
    SpeedPanel* speed = panels->speed();
    EXPECT_EQ(s_window->panel(PanelSlot::Speed), speed);
    EXPECT_EQ(s_window->panel(PanelSlot::Gsensor), panels->gsensor());
    EXPECT_EQ(s_window->panel(PanelSlot::Accelerometer), panels->accelerometer());
    PlaybackSession& session = s_window->session();
    ASSERT_TRUE(session.isOpen());
    EXPECT_GT(speed->renderer().sampleCount(), 0);
    EXPECT_GT(panels->gsensor()->renderer().durationMs(), 0);
    EXPECT_GT(speed->width(), 100);

    // The panels move with the clock.
    QSignalSpy ticks(&s_window->playback()->player(), &Player::ticked);
    ASSERT_TRUE(ticks.wait(5000));
    ASSERT_TRUE(ticks.wait(5000));
    EXPECT_GT(session.positionMs(), 0);
    EXPECT_EQ(speed->position(), session.positionMs());
    EXPECT_EQ(panels->accelerometer()->position(), session.positionMs());

    // A click in the middle of the speed graph seeks there.
    const int range = session.recording().trackRangeMs;
    const QPoint middle(40 + (speed->width() - 45) / 2, speed->height() / 2);
    const int64_t target = int64_t(middle.x() - 40) * range / (speed->width() - 45);
    QTest::mouseClick(speed, Qt::LeftButton, {}, middle);
    ASSERT_TRUE(ticks.wait(5000));
    ASSERT_TRUE(ticks.wait(5000));
    EXPECT_NEAR(static_cast<double>(speed->position()), static_cast<double>(target), 1500.0);

    // The page's unit button reaches the panel and the stored setting; the read-out follows.
    runScript(
        s_window->page()->page(),
        QStringLiteral("setSpeedUnit(1); drawSpeed(100000); document.getElementById('btnUnit').click()"));
    for (int i = 0; i < 50 && speed->unit() != 2; ++i)
        QTest::qWait(100);
    EXPECT_EQ(speed->unit(), 2);
    EXPECT_EQ(ReadSetting("speedunit"), "2");
    EXPECT_EQ(runScript(s_window->page()->page(),
                        QStringLiteral("document.getElementById('speedValue').textContent"))
                  .toString(),
              "62");

    // Double-clicking floats a panel; closing it docks it back into its place.
    const QRect place = speed->geometry();
    QTest::mouseDClick(speed, Qt::LeftButton, {}, QPoint(60, 20));
    EXPECT_TRUE(speed->isFloating());
    EXPECT_FALSE(s_window->isDocked(PanelSlot::Speed));
    EXPECT_EQ(speed->minimumSize(), QSize(400, 120));
    speed->setGeometry(100, 100, 500, 200);
    speed->close();
    EXPECT_FALSE(speed->isFloating());
    EXPECT_EQ(speed->geometry(), place);
    s_window->commands().run("dockSpeed", 0); // floats again where it was left
    EXPECT_EQ(speed->geometry(), QRect(100, 100, 500, 200));
    s_window->commands().run("dockSpeed", 1);
    EXPECT_TRUE(s_window->isDocked(PanelSlot::Speed));
}

TEST_F(WindowPlaybackTest, AScreenFloatsAtItsVideoSizeAndDocksBackIntoItsCell) {
    auto* screen = qobject_cast<VideoScreen*>(s_window->panel(PanelSlot::Screen1));
    ASSERT_NE(screen, nullptr);
    const QRect cell = screen->geometry();
    s_window->commands().run("dockScreen", 1);
    EXPECT_TRUE(screen->isFloating());
    EXPECT_FALSE(s_window->isDocked(PanelSlot::Screen1));
    EXPECT_EQ(screen->size(), QSize(1024, 576));
    EXPECT_EQ(screen->minimumSize(), QSize(320, 240));
    emit screen->dockOrFloatRequested(1); // as its double click or close button does
    EXPECT_FALSE(screen->isFloating());
    EXPECT_TRUE(s_window->isDocked(PanelSlot::Screen1));
    EXPECT_EQ(screen->parentWidget(), s_window);
    EXPECT_EQ(screen->geometry(), cell);
    EXPECT_TRUE(s_window->panel(PanelSlot::Screen3)->isHidden());
}

TEST_F(WindowPlaybackTest, TheZoomCommandShowsAndItsCloseHidesTheZoomWindow) {
    s_window->commands().run("btnZoom");
    ASSERT_NE(s_window->playback()->zoomWindow(), nullptr);
    EXPECT_TRUE(s_window->playback()->zoomWindow()->isVisible());
    // 425 x 330, clear of the player bar's controls.
    const QRect zoom = s_window->playback()->zoomWindow()->geometry();
    EXPECT_EQ(zoom.size(), QSize(425, 330));
    EXPECT_FALSE(
        zoom.intersects(QRect(s_window->page()->mapToGlobal(QPoint(0, 0)), s_window->page()->size())));
    s_window->playback()->zoomWindow()->close(); // closed by the user: hidden, button state follows
    EXPECT_FALSE(s_window->playback()->zoomWindow()->isVisible());
}

TEST_F(WindowPlaybackTest, TheMapDisplayCoversTheListOnlyWhileAThreeChannelRecordingIsOpen) {
    QSignalSpy opened(&s_window->playback()->player(), &Player::openFinished);
    s_window->commands().run("openRow", 0); // the card's first recording has three channels
    ASSERT_TRUE(opened.wait(20000));
    ASSERT_EQ(s_window->session().recording().channels, 3);
    s_window->runPageCommand("btnMap", 0);
    QWidget* map = s_window->panel(PanelSlot::Map);
    QWidget* list = s_window->panel(PanelSlot::FileList);
    ASSERT_TRUE(map->isVisible());
    // Drawn above the list it overlaps.
    EXPECT_TRUE(map->geometry().intersects(list->geometry()));
    const QObjectList& order = s_window->children();
    EXPECT_GT(order.indexOf(map), order.indexOf(list));

    s_window->commands().run("stop");
    EXPECT_FALSE(map->isVisible()) << "an idle window shows its list";
    s_window->runPageCommand("btnFileFolder", 1);
}

TEST_F(WindowPlaybackTest, TheScreenArrangementStaysForTheNextRecording) {
    QSignalSpy opened(&s_window->playback()->player(), &Player::openFinished);
    s_window->commands().run("openRow", 0);
    ASSERT_TRUE(opened.wait(20000));
    QWidget* front = s_window->panel(PanelSlot::Screen0);
    QWidget* cabin = s_window->panel(PanelSlot::Screen1);
    const QRect mainCell = front->geometry();
    s_window->runPageCommand("btnChange", 0);
    s_window->runPageCommand("btnTripple", 0);
    const QRect large = cabin->geometry();
    EXPECT_GE(large.width(), mainCell.width());
    EXPECT_LT(front->geometry().width() * 2, large.width() + 8);

    s_window->commands().run("openRow", 1);
    ASSERT_TRUE(opened.wait(20000));
    ASSERT_GE(s_window->session().recording().channels, 2);
    EXPECT_EQ(cabin->geometry().top(), large.top()) << "the second channel keeps the main cell";
    EXPECT_LT(front->geometry().width() * 2, cabin->geometry().width() + 8);

    s_window->runPageCommand("btnCollect", 0);
    s_window->state().mainScreen = 0;
    s_window->updateChannelControls();
    EXPECT_EQ(front->geometry(), mainCell);
    s_window->commands().run("stop");
}

TEST_F(WindowPlaybackTest, WhileARecordingOpensTheWindowIsBusyAndIgnoresRowClicks) {
    QSignalSpy opened(&s_window->playback()->player(), &Player::openFinished);
    s_window->commands().run("openRow", 2);
    EXPECT_TRUE(s_window->busy().isBusy());
    s_window->commands().run("openRow", 5); // dropped, not queued
    ASSERT_TRUE(opened.wait(20000));
    EXPECT_FALSE(s_window->busy().isBusy());
    EXPECT_EQ(s_window->state().selectedIndex, 2);
    EXPECT_EQ(opened.count(), 1);

    // Esc-like stop returns to idle with the engine closed; nothing is shown as open any more.
    s_window->commands().run("stop");
    EXPECT_EQ(s_window->playback()->player().state(), PlaybackEngine::State::Closed);
    EXPECT_EQ(s_window->state().selectedIndex, -1);
    EXPECT_EQ(s_window->titleText(), QString::fromLatin1(MainWindow::kProductTitle));
    auto* list = qobject_cast<RecordingListView*>(s_window->panel(PanelSlot::FileList));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->model().Selection(), -1);
}

TEST_F(WindowPlaybackTest, PullingTheListedCardStopsPlaybackAndEmptiesTheList) {
    auto table = std::make_shared<QSet<QString>>(QSet<QString>{"/", "/media/other", s_card});
    auto watcher = std::make_unique<MountWatcher>([table] { return *table; });
    MountWatcher* w = watcher.get();
    s_window->lists()->startMountWatch(std::move(watcher));
    if (s_window->playback()->player().state() != PlaybackEngine::State::Running) {
        // An earlier test of this process stopped playback: start a recording again.
        QSignalSpy opened(&s_window->playback()->player(), &Player::openFinished);
        s_window->commands().run("openRow", 0);
        ASSERT_TRUE(opened.wait(20000));
    }
    ASSERT_EQ(s_window->playback()->player().state(), PlaybackEngine::State::Running);

    table->remove("/media/other"); // another volume: nothing changes
    w->Check();
    EXPECT_EQ(s_window->playback()->player().state(), PlaybackEngine::State::Running);
    EXPECT_GE(s_window->lists()->scanner().EntryCount(), 10);

    table->remove(s_card);
    w->Check();
    EXPECT_NE(s_window->playback()->player().state(), PlaybackEngine::State::Running);
    EXPECT_EQ(s_window->lists()->scanner().EntryCount(), 0);
    EXPECT_EQ(s_window->state().selectedIndex, -1);
    EXPECT_TRUE(s_window->titleText().endsWith(QStringLiteral("QUILLENT")));
}

TEST_F(WindowPlaybackTest, AHandedOverFileUnderAnotherTabWaitsForTheBusyWindowThenPlaysAsShown) {
    // The card's first recording; the card itself may have been pulled by an earlier test.
    std::string name;
    QString folder;
    for (const auto& e : std::filesystem::recursive_directory_iterator(s_card.toStdString())) {
        if (e.path().extension() == ".qmv" && e.path().filename().string().rfind("RTC", 0) == 0) {
            name = e.path().filename().string();
            folder = QString::fromStdString(e.path().parent_path().string());
            break;
        }
    }
    ASSERT_FALSE(name.empty());
    s_window->lists()->showKind(2); // the EVENT tab is chosen
    ASSERT_EQ(s_window->lists()->kindFilter(), 2);
    s_window->runPageCommand("btnVolumn", 40);
    const uint32_t level = s_window->playback()->player().volume();
    EXPECT_EQ(level, static_cast<uint32_t>(PlaybackValues::volumeLevel(40)));

    // A second start hands the file over while an opening holds the window busy: it waits.
    // Two hand-overs while busy: the latest wins, the earlier one is never opened.
    s_window->busy().setBusy(true);
    const qsizetype messages = s_messages.size();
    s_window->handleArgument(folder + "/missing.qmv");
    s_window->handleArgument(folder + "/" + QString::fromStdString(name));
    EXPECT_FALSE(s_window->playback()->player().isOpenPending());
    EXPECT_EQ(s_window->lists()->kindFilter(), 2); // not listed yet
    QSignalSpy opened(&s_window->playback()->player(), &Player::openFinished);
    s_window->busy().setBusy(false);
    ASSERT_TRUE(opened.wait(20000));
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(s_messages.size(), messages);

    // Listed where it can be seen, playing, at the volume the slider shows.
    EXPECT_EQ(s_window->lists()->kindFilter(), 1);
    EXPECT_EQ(s_window->playback()->player().state(), PlaybackEngine::State::Running);
    EXPECT_TRUE(s_window->titleText().endsWith(QString::fromStdString(name)));
    EXPECT_EQ(s_window->playback()->player().volume(), level);

    // "btnInfo" shows the texts of this recording.
    const MovieInfo info = s_window->openRecordingInfo();
    EXPECT_EQ(info.company, QStringLiteral("Halvorn Logistics"));
    EXPECT_EQ(info.company, QString::fromStdString(s_session->trackData().info.company));

    // Space pauses the file instead of asking for a card.
    s_window->lists()->setDriveChooser([](RecordingScanner&) {
        ADD_FAILURE() << "Space asked for a card";
        return -1;
    });
    QTest::keyClick(s_window, Qt::Key_Space);
    EXPECT_EQ(s_window->playback()->player().state(), PlaybackEngine::State::Paused);
    s_window->lists()->setDriveChooser({});
}
