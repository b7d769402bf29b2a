// The data-out commands in the main window playing a generated card, headless: snapshots per
// channel decoded back and compared with the engine's pictures, the report pictures in a private
// folder, the event-log export with its failures, and GPX of the open and of checked recordings.
#include "OpenTestApp.h"
#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"
#include "media/playback/PlaybackEngine.h"
#include "ui/app/MainWindow.h"
#include "ui/dataout/DataOutHookup.h"
#include "ui/playback/WindowPlayback.h"
#include "ui/page/BrowserHost.h"
#include "ui/recordings/ListController.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/dialogs/DownloadWindow.h"
#include "ui/dataout/DataOutCommands.h"
#include "tests/support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>

#include <cstdlib>
#include <functional>

namespace {

QApplication& app() {
    static QApplication* instance = [] {
        QApplication* a = ensureTestApp();
        BrowserHost::setSkinFolder(QStringLiteral(QUILLENT_SOURCE_DIR "/skin/pages"));
        static QTemporaryDir settings;
        SetSettingsDirectoryForTesting(settings.path().toStdString());
        LoadViewerConfigFile(QUILLENT_BIN_DIR "/viewerconfig.cfg", ViewerConfig::Instance());
        return a;
    }();
    return *instance;
}

// Runs the event loop until `done` says so; the limit only keeps a broken test from hanging (the
// callers assert what they waited for).
void waitFor(const std::function<bool()>& done, int limitMs = 30000) {
    (void)QTest::qWaitFor(done, limitMs);
}

// Mean absolute difference per colour byte between a decoded JPEG and the engine's picture.
double meanDifference(const QImage& jpeg, const VideoFrame& frame) {
    const QImage a = jpeg.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < frame.height; ++y) {
        const uint8_t* p = frame.row(y);
        const auto* q = reinterpret_cast<const uint8_t*>(a.constScanLine(y));
        for (int x = 0; x < frame.width * 4; x += 4)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(int(p[x + c]) - int(q[x + c]));
    }
    return sum / (double(frame.width) * frame.height * 3);
}

class DataOutTest : public ::testing::Test {
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
        s_window = new MainWindow(*s_session, {s_card});
        QSignalSpy opened(&s_window->playback()->player(), &Player::openFinished);
        s_window->show();
        ASSERT_TRUE(opened.wait(60000));
    }
    static void TearDownTestSuite() {
        delete s_window;
        s_window = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(s_window, nullptr);
        tools = s_window->findChild<DataOutHookup*>();
        ASSERT_NE(tools, nullptr);
        DataOutCommands::Prompts p;
        p.saveFile = [this](const QString&, const QString& proposed, const QString&, const QString&) {
            proposals << proposed;
            return answers.isEmpty() ? QString() : answers.takeFirst();
        };
        p.openFile = [this](const QString&, const QString&) {
            return answers.isEmpty() ? QString() : answers.takeFirst();
        };
        p.message = [this](const QString& text, bool error) { messages << (error ? "error: " : "") + text; };
        tools->commands().setPrompts(p);
    }
    // Sends a page command and waits until the queued window work has run.
    void command(const char* name, int expectedMessages) {
        ASSERT_TRUE(s_window->runPageCommand(QString::fromLatin1(name), 0));
        waitFor([&] { return messages.size() >= expectedMessages && answers.isEmpty(); });
        QCoreApplication::processEvents();
    }

    static inline PlaybackSession* s_session = nullptr; // the application's, outliving the window
    static MainWindow* s_window;
    static QString s_card;
    DataOutHookup* tools = nullptr;
    QTemporaryDir out;
    QStringList answers, proposals, messages;
};
MainWindow* DataOutTest::s_window = nullptr;
QString DataOutTest::s_card;

TEST_F(DataOutTest, SnapshotSavesEveryChannelAsTheEngineShowsIt) {
    Player& engine = s_window->playback()->player();
    engine.pause();
    engine.seek(1500);
    const int channels = engine.channelCount();
    ASSERT_GE(channels, 2);

    answers << out.filePath(QStringLiteral("photo.jpg"));
    command("btnPicture", 0);
    ASSERT_EQ(proposals.size(), 1);
    EXPECT_TRUE(proposals[0].endsWith(QLatin1String("_CHx.jpg"))) << proposals[0].toStdString();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(engine.state(), PlaybackEngine::State::Paused); // paused before, paused after
    for (int ch = 1; ch <= channels; ++ch) {
        const QString file = out.filePath(QStringLiteral("photo_CH%1.jpg").arg(ch));
        QImage decoded(file);
        ASSERT_FALSE(decoded.isNull()) << file.toStdString();
        const VideoFramePtr shown = engine.captureImage(ch);
        ASSERT_TRUE(shown);
        ASSERT_EQ(decoded.size(), QSize(shown->width, shown->height));
        EXPECT_LT(meanDifference(decoded, *shown), 6.0) << "channel " << ch;
    }
    EXPECT_FALSE(QFileInfo::exists(out.filePath(QStringLiteral("phot1.jpg"))));

    // Cancel writes nothing; a folder that cannot be written is reported.
    command("btnPicture", 0);
    answers << out.filePath(QStringLiteral("missing/x_CHx.jpg"));
    command("btnPicture", 1);
    EXPECT_EQ(messages.value(0), "error: " + QString::fromStdString(LString("SNAPSHOT_MSG_FAILED")));
}

TEST_F(DataOutTest, ReportPicturesGoToAPrivateFolder) {
    DataOutCommands::PrintJob job;
    bool ran = false;
    // Playback pauses while the report window is open, and the session (so the page's play
    // button) says so; it plays on afterwards.
    waitFor([&] { return s_session->state() == PlaybackSession::State::Playing; });
    ASSERT_EQ(s_session->state(), PlaybackSession::State::Playing);
    PlaybackSession::State during = PlaybackSession::State::Idle;
    tools->commands().setPrintRunner([&](const DataOutCommands::PrintJob& j) {
        job = j;
        during = s_session->state();
        ran = true;
    });
    ASSERT_TRUE(s_window->runPageCommand(QStringLiteral("btnPrint"), 0));
    waitFor([&] { return ran; });
    ASSERT_TRUE(ran);
    EXPECT_EQ(during, PlaybackSession::State::Paused);
    EXPECT_EQ(s_session->state(), PlaybackSession::State::Playing);
    const int channels = s_window->playback()->player().channelCount();
    EXPECT_EQ(job.imageCount, channels);
    for (int ch = 1; ch <= channels; ++ch)
        EXPECT_FALSE(QImage(job.imageBase + QStringLiteral("_%1.jpg").arg(ch)).isNull());
    const QFileInfo folder(QFileInfo(job.imageBase).absolutePath());
    EXPECT_EQ(folder.absoluteFilePath(), QFileInfo(tools->commands().reportFolder()).absoluteFilePath());
    EXPECT_EQ(folder.permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup), 0);
    EXPECT_FALSE(job.fileName.isEmpty());
    // The speed and G-sensor panels' renderers draw the graphs of the moment beside the pictures.
    for (const QString& graph : {job.speedGraph, job.gsensorGraph}) {
        EXPECT_EQ(QFileInfo(graph).absolutePath(), folder.absoluteFilePath());
        EXPECT_EQ(QImage(graph).size(), QSize(DataOutCommands::kGraphWidth, DataOutCommands::kGraphHeight));
    }
    tools->commands().setPrintRunner({});
}

TEST_F(DataOutTest, EventLogExportSaysWhatHappened) {
    const QString csv = out.filePath(QStringLiteral("log.csv"));
    answers << QStringLiteral(QUILLENT_TEST_DATA "/eventlog.bin") << csv;
    command("btnLog", 1);
    EXPECT_EQ(messages.value(0), QString::fromStdString(LString("LOG_MSG_COMPLETE")));
    QFile got(csv), golden(QStringLiteral(QUILLENT_TEST_DATA "/eventlog.csv"));
    ASSERT_TRUE(got.open(QIODevice::ReadOnly));
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    EXPECT_EQ(got.readAll(), golden.readAll());

    answers << out.filePath(QStringLiteral("no-such.bin")) << csv;
    command("btnLog", 2);
    EXPECT_EQ(messages.value(1), "error: " + QString::fromStdString(LString("LOG_MSG_READ_FAILED")));
    answers << QStringLiteral(QUILLENT_TEST_DATA "/eventlog.bin")
            << out.filePath(QStringLiteral("none/log.csv"));
    command("btnLog", 3);
    EXPECT_EQ(messages.value(2), "error: " + QString::fromStdString(LString("LOG_MSG_WRITE_FAILED")));
    answers << QString(); // cancelled at the first question: nothing happens
    command("btnLog", 3);
    EXPECT_EQ(messages.size(), 3);

    // A log whose last record is cut short: the complete ones are written and the window says
    // that the cut one was left out.
    QFile whole(QStringLiteral(QUILLENT_TEST_DATA "/eventlog.bin"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    QFile cut(out.filePath(QStringLiteral("cut.bin")));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes + bytes.right(172).left(100));
    cut.close();
    answers << cut.fileName() << csv;
    command("btnLog", 4);
    EXPECT_EQ(messages.value(3), QString::fromStdString(LString("LOG_MSG_COMPLETE")) + "\n" +
                                     QString::fromStdString(LString("LOG_MSG_CUT_RECORD")).arg(100).arg(172));
    QFile got2(csv);
    ASSERT_TRUE(got2.open(QIODevice::ReadOnly));
    EXPECT_EQ(got2.readAll(), golden.seek(0) ? golden.readAll() : QByteArray());
}

TEST_F(DataOutTest, GpxOfTheOpenRecordingAndOfCheckedRecordings) {
    const QString one = out.filePath(QStringLiteral("one.gpx"));
    answers << one;
    command("btnGpx", 1);
    QFile f(one);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray gpx = f.readAll();
    EXPECT_EQ(gpx.count("<trkseg>"), 1);
    EXPECT_GT(gpx.count("<trkpt "), 0);

    ListController* lists = s_window->lists();
    const auto& entries = lists->scanner().Entries();
    ASSERT_GE(entries.size(), 2u);
    lists->chkRow(0, true);
    lists->chkRow(1, true);
    int checked = 0;
    for (const auto& e : entries)
        checked += e.chosen ? 1 : 0;
    const QString two = out.filePath(QStringLiteral("two.gpx"));
    answers << two;
    command("btnGpx", 2);
    QFile g(two);
    ASSERT_TRUE(g.open(QIODevice::ReadOnly));
    EXPECT_EQ(g.readAll().count("<trkseg>"), checked);
    lists->chkAll(0);
}

TEST_F(DataOutTest, LinkDownloadsToTheDesktopThenPlaysAndFailuresLeaveNothing) {
    LocalServer server;
    QFile sample(QStringLiteral(QUILLENT_TEST_DATA "/camera-1ch.qmv"));
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    const QByteArray bytes = sample.readAll();
    server.routes["/rec.qmv"] = {200, bytes};
    QTemporaryDir desk;
    tools->setDesktopFolder([&] { return desk.path(); });

    // A hostile name stays inside the folder; the file arrives whole, is listed and plays.
    QSignalSpy ended(tools, &DataOutHookup::downloadEnded);
    QSignalSpy opened(&s_window->playback()->player(), &Player::openFinished);
    s_window->handleArgument(QStringLiteral("qmv:%1|../RTC20240101_000000.qmv|%2")
                                 .arg(server.url(QStringLiteral("/rec.qmv")))
                                 .arg(bytes.size()));
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_TRUE(ended[0][0].toBool());
    const QString stored = desk.filePath(QStringLiteral("_RTC20240101_000000.qmv"));
    EXPECT_EQ(ended[0][1].toString(), stored);
    QFile got(stored);
    ASSERT_TRUE(got.open(QIODevice::ReadOnly));
    EXPECT_EQ(got.readAll(), bytes);
    ASSERT_TRUE(opened.wait(60000));
    EXPECT_TRUE(opened[0][0].toBool());
    ASSERT_EQ(s_window->lists()->scanner().Entries().size(), 1u);
    EXPECT_EQ(s_window->lists()->scanner().Entries()[0].name, "_RTC20240101_000000.qmv");

    // The same link again keeps the first file and stores under a free name.
    ended.clear();
    s_window->handleArgument(
        QStringLiteral("qmv:%1|../RTC20240101_000000.qmv|0").arg(server.url(QStringLiteral("/rec.qmv"))));
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_EQ(ended[0][1].toString(), desk.filePath(QStringLiteral("_RTC20240101_000000 (2).qmv")));
    ASSERT_TRUE(opened.wait(60000));

    // A missing file: the page says so, Cancel closes, nothing is kept.
    ended.clear();
    s_window->handleArgument(
        QStringLiteral("qmv:%1|gone.qmv|10").arg(server.url(QStringLiteral("/gone.qmv"))));
    DownloadWindow* dialog = tools->downloadWindow();
    ASSERT_NE(dialog, nullptr);
    QSignalSpy transfer(dialog, &DownloadWindow::transferEnded);
    ASSERT_TRUE(transfer.wait(60000));
    EXPECT_EQ(dialog->result(), LinkDownload::Result::HttpStatus);
    QVariant failed;
    bool answered = false;
    dialog->page()->page()->runJavaScript(
        QStringLiteral("document.body.className + '|' + document.getElementById('message').textContent"),
        [&](const QVariant& v) {
            failed = v;
            answered = true;
        });
    waitFor([&] { return answered; });
    EXPECT_EQ(failed.toString(), QStringLiteral("failed|The server did not deliver the file."));
    dialog->handleCommand(QStringLiteral("btnCancel"), QString());
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_FALSE(ended[0][0].toBool());
    EXPECT_EQ(QDir(desk.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // Closing the main window while a download runs asks first. No changes nothing: playback and
    // the download go on. Yes stops the download, keeps nothing of it and closes the window.
    ended.clear();
    QStringList asked;
    bool stop = false;
    s_window->setQuitQuestion([&](const QString& q) {
        asked << q;
        return stop;
    });
    waitFor([&] { return tools->downloadWindow() == nullptr; }); // the last one has gone
    s_window->handleArgument(QStringLiteral("qmv:%1|stalls.qmv|4194304").arg(server.url(QStringLiteral("/slow"))));
    QPointer<DownloadWindow> running = tools->downloadWindow();
    ASSERT_NE(running, nullptr);
    waitFor([&] { return server.requests.size() > 0 && server.requests.back() == "/slow"; });
    QTest::qWait(200);
    ASSERT_TRUE(running->isTransferring());
    const bool wasOpen = s_session->isOpen();
    s_window->commands().run("captionClose"); // the close button's command
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0], QString::fromStdString(LString("DOWNLOAD_MSG_QUIT")));
    EXPECT_TRUE(s_window->isVisible());
    EXPECT_EQ(s_session->isOpen(), wasOpen) << "a refused close stops nothing";
    EXPECT_EQ(tools->downloadWindow(), running);
    EXPECT_TRUE(running->isTransferring());
    stop = true;
    s_window->close();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_FALSE(s_window->isVisible());
    EXPECT_FALSE(s_session->isOpen());
    ASSERT_TRUE(ended.count() > 0 || ended.wait(10000));
    EXPECT_FALSE(ended[0][0].toBool());
    EXPECT_EQ(QDir(desk.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // nothing of it kept
    s_window->setQuitQuestion({});
}

} // namespace
