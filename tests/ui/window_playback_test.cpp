// The main window playing a generated card given on its command line, headless: the card is
// listed and its first recording plays; screens float and dock; the zoom window toggles; the
// busy window holds list and commands back while a recording opens.
#include "OpenTestApp.h"
#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"
#include "media/playback/PlaybackEngine.h"
#include "ui/app/CHvViewerDlg.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/app/CommandDispatcher.h"
#include "ui/app/CommandIds.h"
#include "ui/playback/WindowPlayback.h"
#include "ui/bridge/BrowserHost.h"
#include "ui/lists/CFilelist.h"
#include "ui/lists/ListController.h"
#include "ui/panels/CDlgVideoScreen.h"
#include "core/tools/MountWatcher.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QApplication& app() {
    static QApplication* instance = [] {
        QApplication* a = ensureTestApp();
        BrowserHost::SetSkinFolder(QStringLiteral(QUILLENT_SOURCE_DIR "/skin/pages"));
        static QTemporaryDir settings;
        SetSettingsDirectoryForTesting(settings.path().toStdString());
        // Folder names and extensions of the shipped configuration, as the program loads them.
        LoadViewerConfigFile(QUILLENT_BIN_DIR "/viewerconfig.cfg", ViewerConfig::Instance());
        return a;
    }();
    return *instance;
}

class WindowPlaybackTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        app();
        static QTemporaryDir dir;
        s_card = dir.path() + "/card";
        QProcess gen;
        gen.start(QStringLiteral(QUILLENT_BIN_DIR "/quillent-samplecard"), {s_card});
        ASSERT_TRUE(gen.waitForFinished(120000));
        ASSERT_EQ(gen.exitCode(), 0);

        s_session = new PlaybackSession;
        s_window = new CHvViewerDlg(*s_session, {s_card});
        s_window->Player()->setMessageShower(
            [](const QString& text, MessageIcon) { s_messages.push_back(text); });
        s_window->Lists()->SetErrorReporter([](const QString& text) { s_messages.push_back(text); });
        QSignalSpy opened(&s_window->Player()->opener(), &RecordingOpener::openFinished);
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
    static CHvViewerDlg* s_window;
    static QString s_card;
    static QStringList s_messages;
};
CHvViewerDlg* WindowPlaybackTest::s_window = nullptr;
QString WindowPlaybackTest::s_card;
QStringList WindowPlaybackTest::s_messages;

} // namespace

TEST_F(WindowPlaybackTest, ACardOnTheCommandLineIsListedAndPlaysFromItsFirstRecording) {
    RecordingScanner& scanner = s_window->Lists()->Scanner();
    ASSERT_GE(scanner.EntryCount(), 10);
    EXPECT_EQ(s_window->State().selectedIndex, 0);
    EXPECT_EQ(s_window->EngineHolder().GetState(), PlaybackEngine::kRunning);
    EXPECT_TRUE(s_window->TitleText().endsWith(QString::fromStdString(scanner.GetEntry(0)->name)));
    EXPECT_TRUE(s_messages.isEmpty()) << s_messages.join('|').toStdString();

    // The clock moves the position; the first screen gets pictures.
    auto* front = qobject_cast<CDlgVideoScreen*>(s_window->Panel(PanelSlot::Screen0));
    ASSERT_NE(front, nullptr);
    QSignalSpy ticks(&s_window->Player()->clock(), &PlaybackClock::ticked);
    ASSERT_TRUE(ticks.wait(5000));
    EXPECT_TRUE(ticks.wait(5000));
    EXPECT_TRUE(front->hasFrame());
}

TEST_F(WindowPlaybackTest, AScreenFloatsAtItsVideoSizeAndDocksBackIntoItsCell) {
    auto* screen = qobject_cast<CDlgVideoScreen*>(s_window->Panel(PanelSlot::Screen1));
    ASSERT_NE(screen, nullptr);
    const QRect cell = screen->geometry();
    s_window->OnCommand(kMsgDockScreen, 1);
    EXPECT_TRUE(screen->isFloating());
    EXPECT_FALSE(s_window->IsDocked(PanelSlot::Screen1));
    EXPECT_EQ(screen->size(), QSize(1024, 576));
    EXPECT_EQ(screen->minimumSize(), QSize(320, 240));
    emit screen->dockOrFloatRequested(1); // as its double click or close button does
    EXPECT_FALSE(screen->isFloating());
    EXPECT_TRUE(s_window->IsDocked(PanelSlot::Screen1));
    EXPECT_EQ(screen->parentWidget(), s_window);
    EXPECT_EQ(screen->geometry(), cell);
    EXPECT_TRUE(s_window->Panel(PanelSlot::Screen3)->isHidden());
}

TEST_F(WindowPlaybackTest, TheZoomCommandShowsAndItsCloseHidesTheZoomWindow) {
    s_window->OnCommand(kCmdZoom);
    ASSERT_NE(s_window->Player()->zoomWindow(), nullptr);
    EXPECT_TRUE(s_window->Player()->zoomWindow()->isVisible());
    EXPECT_EQ(s_window->Player()->zoomWindow()->geometry(), QRect(850, 465, 425, 330));
    s_window->Player()->zoomWindow()->close(); // reports 0x501 with 2
    EXPECT_FALSE(s_window->Player()->zoomWindow()->isVisible());
}

TEST_F(WindowPlaybackTest, WhileARecordingOpensTheWindowIsBusyAndIgnoresRowClicks) {
    QSignalSpy opened(&s_window->Player()->opener(), &RecordingOpener::openFinished);
    s_window->OnCommand(kMsgOpenRow, 2);
    EXPECT_TRUE(s_window->IsBusy());
    s_window->OnCommand(kMsgOpenRow, 5); // dropped, not queued
    ASSERT_TRUE(opened.wait(20000));
    EXPECT_FALSE(s_window->IsBusy());
    EXPECT_EQ(s_window->State().selectedIndex, 2);
    EXPECT_EQ(opened.count(), 1);

    // Esc-like stop returns to idle with the engine closed; nothing is shown as open any more.
    s_window->OnCommand(kCmdStop);
    EXPECT_EQ(s_window->EngineHolder().GetState(), -1);
    EXPECT_EQ(s_window->State().selectedIndex, -1);
    EXPECT_EQ(s_window->TitleText(), QString::fromLatin1(CHvViewerDlg::kProductTitle));
    auto* list = qobject_cast<CFilelist*>(s_window->Panel(PanelSlot::FileList));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Model().Selection(), -1);
}

TEST_F(WindowPlaybackTest, PullingTheListedCardStopsPlaybackAndEmptiesTheList) {
    auto table = std::make_shared<QSet<QString>>(QSet<QString>{"/", "/media/other", s_card});
    auto watcher = std::make_unique<MountWatcher>([table] { return *table; });
    MountWatcher* w = watcher.get();
    s_window->Lists()->StartMountWatch(std::move(watcher));
    if (s_window->EngineHolder().GetState() != PlaybackEngine::kRunning) {
        // An earlier test of this process stopped playback: start a recording again.
        QSignalSpy opened(&s_window->Player()->opener(), &RecordingOpener::openFinished);
        s_window->OnCommand(kMsgOpenRow, 0);
        ASSERT_TRUE(opened.wait(20000));
    }
    ASSERT_EQ(s_window->EngineHolder().GetState(), PlaybackEngine::kRunning);

    table->remove("/media/other"); // another volume: nothing changes
    w->Check();
    EXPECT_EQ(s_window->EngineHolder().GetState(), PlaybackEngine::kRunning);
    EXPECT_GE(s_window->Lists()->Scanner().EntryCount(), 10);

    table->remove(s_card);
    w->Check();
    EXPECT_NE(s_window->EngineHolder().GetState(), PlaybackEngine::kRunning);
    EXPECT_EQ(s_window->Lists()->Scanner().EntryCount(), 0);
    EXPECT_EQ(s_window->State().selectedIndex, -1);
    EXPECT_TRUE(s_window->TitleText().endsWith(QStringLiteral("QUILLENT")));
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
    s_window->Lists()->ShowKind(2); // the EVENT tab is chosen
    ASSERT_EQ(s_window->State().kindFilter, 2);
    s_window->Dispatcher().Dispatch("btnVolumn", 40);
    const uint32_t level = s_window->EngineHolder().GetVolume();
    EXPECT_EQ(level, static_cast<uint32_t>(CommandDispatcher::VolumeLevel(40)));

    // A second start hands the file over while an opening holds the window busy: it waits.
    s_window->SetBusy(true);
    s_window->HandleArgument(folder + "/" + QString::fromStdString(name));
    EXPECT_FALSE(s_window->Player()->clock().isOpenPending());
    EXPECT_FALSE(s_window->Player()->opener().isBusy());
    QSignalSpy opened(&s_window->Player()->opener(), &RecordingOpener::openFinished);
    s_window->SetBusy(false);
    ASSERT_TRUE(opened.wait(20000));
    ASSERT_EQ(opened.count(), 1);

    // Listed where it can be seen, playing, at the volume the slider shows.
    EXPECT_EQ(s_window->Lists()->KindFilter(), 1);
    EXPECT_EQ(s_window->State().kindFilter, 1);
    EXPECT_EQ(s_window->EngineHolder().GetState(), PlaybackEngine::kRunning);
    EXPECT_TRUE(s_window->TitleText().endsWith(QString::fromStdString(name)));
    EXPECT_EQ(s_window->EngineHolder().GetVolume(), level);

    // "btnInfo" shows the texts of this recording.
    const MovieInfo info = s_window->OpenRecordingInfo();
    EXPECT_EQ(info.company, QStringLiteral("Halvorn Logistics"));
    EXPECT_EQ(info.company, QString::fromStdString(s_session->trackData().info.company));

    // Space pauses the file instead of asking for a card.
    s_window->Lists()->SetDriveChooser([](RecordingScanner&) {
        ADD_FAILURE() << "Space asked for a card";
        return -1;
    });
    QTest::keyClick(s_window, Qt::Key_Space);
    EXPECT_EQ(s_window->EngineHolder().GetState(), PlaybackEngine::kPaused);
    s_window->Lists()->SetDriveChooser({});
}
