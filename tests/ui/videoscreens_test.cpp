// Video screens, the zoom window, the busy window and the ID/password dialog, headless.
#include "OpenTestApp.h"

#include "core/config/ViewerConfig.h"
#include "ui/playback/ProgressWindow.h"
#include "ui/playback/BusyFlag.h"
#include "ui/playback/PasswordDialog.h"
#include "ui/screens/VideoScreen.h"
#include "ui/screens/ZoomWindow.h"
#include "ui/screens/RefreshPacer.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <array>
#include <atomic>

static VideoFramePtr solidFrame(int w, int h, QColor c) {
    uint8_t* pixels = nullptr;
    auto frame = VideoFrame::allocate(w, h, &pixels);
    QImage(pixels, w, h, frame->stride, QImage::Format_RGB32).fill(c);
    return frame;
}

class VideoScreens : public ::testing::Test {
protected:
    void SetUp() override { ensureTestApp(); }
};

TEST_F(VideoScreens, NamesAndMinimumSize) {
    VideoScreen front(0), cabin(1), rear(2), none(3);
    EXPECT_EQ(front.windowTitle(), "FRONT");
    EXPECT_EQ(cabin.windowTitle(), "IN-CABIN");
    EXPECT_EQ(rear.windowTitle(), "REAR");
    EXPECT_TRUE(none.windowTitle().isEmpty());
    // The minimum size holds for a floating screen only; docked, the layout decides.
    QWidget mainWindow;
    front.setParent(&mainWindow);
    EXPECT_EQ(front.minimumSize(), QSize(0, 0));
    front.setParent(nullptr, Qt::Window);
    EXPECT_EQ(front.minimumSize(), QSize(320, 240));
}

TEST_F(VideoScreens, PaintsGreyWithoutFrameAndTheFrameStretchedWithOne) {
    VideoScreen screen(0);
    screen.resize(400, 300);
    QImage idle = screen.grab().toImage();
    EXPECT_EQ(QColor(idle.pixel(200, 150)), VideoScreen::kBackground);
    EXPECT_EQ(QColor(idle.pixel(0, 0)), VideoScreen::kBackground);

    screen.presentFrame(solidFrame(160, 90, QColor(200, 10, 20)));
    QImage shown = screen.grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(1, 1)), QColor(200, 10, 20));
    EXPECT_EQ(QColor(shown.pixel(398, 298)), QColor(200, 10, 20));

    screen.clearFrame();
    EXPECT_FALSE(screen.hasFrame());
    EXPECT_EQ(QColor(screen.grab().toImage().pixel(200, 150)), VideoScreen::kBackground);
}

TEST_F(VideoScreens, FramesFromAnotherThreadArriveAndRepaintOnce) {
    VideoScreen screen(1);
    screen.resize(320, 240);
    screen.show();
    QThread* producer = QThread::create([&screen] {
        for (int i = 0; i < 200; ++i) {
            screen.presentFrame(solidFrame(64, 36, QColor(i, 100, 50)));
        }
    });
    producer->start();
    ASSERT_TRUE(producer->wait(10000));
    delete producer;
    QCoreApplication::processEvents();
    EXPECT_EQ(screen.framesPresented(), 200u);
    EXPECT_EQ(QColor(screen.grab().toImage().pixel(10, 10)), QColor(199, 100, 50));
}

// Three channels' pictures arriving one by one, 90 a second in all, are painted together at most
// once per display refresh, and every screen ends with its newest picture.
TEST_F(VideoScreens, ChannelsRepaintTogetherAtMostOncePerRefresh) {
    QWidget window;
    window.resize(960, 240);
    std::array<VideoScreen*, 3> screens{};
    for (int i = 0; i < 3; ++i) {
        screens[i] = new VideoScreen(i, &window);
        screens[i]->setGeometry(i * 320, 0, 320, 240);
    }
    window.show();
    QCoreApplication::processEvents();
    const quint64 updatesBefore = RefreshPacer::instance().updates();
    std::atomic<bool> done{false};
    QElapsedTimer clock;
    clock.start();
    QThread* producer = QThread::create([&] {
        for (int i = 0; i < 40; ++i) {
            for (int ch = 0; ch < 3; ++ch) {
                screens[ch]->presentFrame(solidFrame(64, 36, QColor(i, 50 * ch, 90)));
                QThread::msleep(11);
            }
        }
        done = true;
    });
    producer->start();
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_TRUE(producer->wait(10000));
    delete producer;
    QTest::qWait(3 * RefreshPacer::instance().intervalMs());
    const qint64 elapsed = clock.elapsed();
    const quint64 updates = RefreshPacer::instance().updates() - updatesBefore;
    EXPECT_GT(updates, 0u);
    EXPECT_LE(updates, quint64(elapsed / RefreshPacer::instance().intervalMs() + 2))
        << updates << " updates in " << elapsed << " ms";
    for (int ch = 0; ch < 3; ++ch) {
        EXPECT_EQ(screens[ch]->framesPresented(), 40u);
        EXPECT_GT(screens[ch]->framesPainted(), 0u);
        EXPECT_LE(screens[ch]->framesPainted(), 40u);
        EXPECT_EQ(QColor(screens[ch]->grab().toImage().pixel(10, 10)), QColor(39, 50 * ch, 90));
    }
}

TEST_F(VideoScreens, DoubleClickCloseAndResizeReportTheIndex) {
    QWidget mainWindow;
    VideoScreen screen(2, &mainWindow);
    QSignalSpy dock(&screen, &VideoScreen::dockOrFloatRequested);
    QSignalSpy sized(&screen, &VideoScreen::sizeChanged);
    mainWindow.show();
    screen.resize(500, 300);
    QCoreApplication::processEvents();
    ASSERT_GE(sized.count(), 1);
    EXPECT_EQ(sized.last().at(0).toInt(), 2);

    QTest::mouseDClick(&screen, Qt::LeftButton);
    ASSERT_EQ(dock.count(), 1);
    EXPECT_EQ(dock.last().at(0).toInt(), 2);

    // A floating screen that is closed asks to be docked and stays alive.
    screen.setParent(nullptr, Qt::Window);
    screen.show();
    EXPECT_FALSE(screen.close());
    EXPECT_EQ(dock.count(), 2);
    screen.setParent(&mainWindow);
}

TEST(ZoomWindow, SourceRectangleFollowsThePointerAndStaysOnScreen) {
    const QSize screen(1920, 1080);
    const QSize client(425, 330);
    EXPECT_EQ(ZoomWindow::sourceRect({0, 0}, client, screen), QRect(0, 0, 212, 165));
    EXPECT_EQ(ZoomWindow::sourceRect({1919, 1079}, client, screen), QRect(1920 - 212, 1080 - 165, 212, 165));
    EXPECT_EQ(ZoomWindow::sourceRect({1000, 500}, client, screen), QRect(1000 - 106, 500 - 82, 212, 165));
    // A client larger than the screen's double still starts at the top left.
    EXPECT_EQ(ZoomWindow::sourceRect({5, 5}, QSize(800, 600), QSize(300, 200)).topLeft(), QPoint(0, 0));
}

// The zoom window opens beside the main window where the screen has room, otherwise inside it
// above the player bar (the bottom 98 pixels): never over the bar's controls.
TEST(ZoomWindow, OpensClearOfThePlayerBar) {
    const QSize size(425, 330);
    struct Case {
        QRect window;
        QRect available;
        QPoint expected;
    } cases[] = {
        {{0, 0, 1200, 628}, {0, 0, 1920, 1080}, {1208, 628 - 98 - 330}}, // room on the right
        {{700, 400, 1200, 628}, {0, 0, 1920, 1080}, {700 - 8 - 425, 400 + 628 - 98 - 330}}, // on the left
        {{0, 0, 1200, 628}, {0, 0, 1280, 1024}, {860 - 425, 628 - 98 - 4 - 330}},           // inside
        {{0, 0, 1920, 1050}, {0, 0, 1920, 1080}, {1580 - 425, 1050 - 98 - 4 - 330}},        // maximised
        {{1500, 0, 1200, 628}, {0, 0, 1920, 1080}, {1500 - 8 - 425, 200}}, // off the right edge
    };
    for (const Case& c : cases) {
        const QPoint at = ZoomWindow::placement(c.window, c.available, size, 98);
        EXPECT_EQ(at, c.expected) << c.window.x() << "," << c.window.y();
        const QRect bar(c.window.left(), c.window.bottom() + 1 - 98, c.window.width(), 98);
        EXPECT_FALSE(QRect(at, size).intersects(bar));
    }
}

TEST_F(VideoScreens, ZoomWindowKeepsItsGreyFillWhereTheDisplayGivesNothing) {
    ZoomWindow zoom;
    zoom.resize(425, 330);
    zoom.show();
    zoom.refresh(); // offscreen displays give no contents; nothing may break
    const QImage shown = zoom.grab().toImage();
    if (zoom.lastPicture().isNull()) {
        EXPECT_EQ(QColor(shown.pixel(200, 150)), ZoomWindow::kBackground);
    }
    EXPECT_EQ(zoom.rememberedWidth(), 425);
    QSignalSpy closed(&zoom, &ZoomWindow::closedByUser);
    EXPECT_FALSE(zoom.close());
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(VideoScreens, BusyWindowFollowsTheOpeningFlag) {
    QWidget owner;
    owner.resize(1200, 628);
    BusyFlag flag;
    ProgressWindow busy(&owner);
    QObject::connect(&flag, &BusyFlag::openingChanged, &busy, &ProgressWindow::follow);
    flag.setOpening(true);
    EXPECT_TRUE(busy.isVisible());
    EXPECT_TRUE(flag.isBusy());
    EXPECT_EQ(busy.size(), QSize(219, 120));
    flag.setOpening(false);
    EXPECT_FALSE(busy.isVisible());
    EXPECT_FALSE(flag.isBusy());
    // Other busy work (a card being formatted) does not show it.
    flag.setBusy(true);
    EXPECT_FALSE(busy.isVisible());
    flag.setBusy(false);
    // The bitmap is ours and drawn at the top left.
    const QImage shown = busy.grab().toImage();
    EXPECT_NE(QColor(shown.pixel(109, 88)), QColor(0x2C, 0x2C, 0x2C));

    // Its caption follows the language in force: the bitmap's English one is covered in Korean.
    ASSERT_TRUE(LoadViewerConfigFile(QUILLENT_BIN_DIR "/viewerconfig.cfg", ViewerConfig::Instance()));
    const QRect band(3, 80, 213, 21);
    EXPECT_EQ(ProgressWindow::caption(), "Loading...");
    const QImage english = busy.grab().toImage().copy(band);
    ViewerConfig::Instance().SetLanguage(kLanguageKorean);
    EXPECT_EQ(ProgressWindow::caption(), QString::fromUtf8("불러오는 중..."));
    const QImage korean = busy.grab().toImage().copy(band);
    ViewerConfig::Instance().SetLanguage(kLanguageEnglish);
    EXPECT_NE(english, korean);
    EXPECT_EQ(busy.grab().toImage().copy(band), english);
}

TEST_F(VideoScreens, UserinfoDialogReturnsWhatWasTyped) {
    PasswordDialog dlg;
    EXPECT_EQ(dlg.windowTitle(), "ID / Passwd");
    EXPECT_EQ(dlg.passwordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dlg.findChild<QPushButton*>("2")->text(), "Cancel"); // English unless Korean is set
    dlg.idEdit()->setText("driver");
    dlg.passwordEdit()->setText("Secret1");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.enteredId(), "driver");
    EXPECT_EQ(dlg.enteredPassword(), "Secret1");

    PasswordDialog empty;
    empty.accept();
    EXPECT_TRUE(empty.enteredId().isEmpty());
    EXPECT_TRUE(empty.enteredPassword().isEmpty());

    PasswordDialog cancelled;
    cancelled.idEdit()->setText("x");
    cancelled.reject();
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_TRUE(cancelled.enteredId().isEmpty());
}
