// The tool windows as the user meets them: the merge window's counts, channels and folder, the
// conversion window's Cancel (no partial file) and its report of failing files, the keyboard that
// cannot close the progress windows, the copy command from the list to the scrambled copy, and the
// check of a scrambled copy the player opens.
#include "WindowTestApp.h"
#include "core/container/RecordingConverter.h"
#include "core/container/RecordingWriter.h"
#include "core/container/ScrambledCopy.h"
#include "ui/widgets/SkinButton.h"
#include "ui/recordings/RecordingListView.h"
#include "ui/recordings/KindTabs.h"
#include "ui/recordings/ListController.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/tools/ScrambledCopyWindow.h"
#include "ui/tools/ConvertCopyWindow.h"
#include "ui/tools/MergeWindow.h"
#include "ui/tools/ScrambledCopyCheck.h"
#include "ui/tools/ToolCommands.h"

#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

QApplication& app() {
    return windowTestApp(QUILLENT_SOURCE_SKIN, QUILLENT_BUILT_CONFIG);
}

struct Folder {
    fs::path path = fs::temp_directory_path() /
                    ("quillent-tools-ui-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    Folder() {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Folder() { fs::remove_all(path); }
    fs::path operator/(const std::string& name) const { return path / name; }
    static inline int counter = 0;
};

// A camera recording of one channel: `frames` frames of `frameBytes` bytes.
void writeRecording(const fs::path& path, int frames, size_t frameBytes) {
    RecordingLayout layout;
    layout.video = {{64, 48, 10, 1}};
    auto w = RecordingWriter::create(path, layout, RecordingForm::Camera, nullptr);
    ASSERT_TRUE(w);
    std::vector<uint8_t> f(frameBytes, 0x33);
    f[0] = f[1] = f[2] = 0, f[3] = 1, f[4] = 0x65;
    for (int i = 0; i < frames; ++i)
        ASSERT_TRUE(w->writeVideoFrame(0, f.data(), f.size(), true));
    const uint8_t record[] = {'$'};
    ASSERT_TRUE(w->writeRecord(0, record, 1));
    ASSERT_TRUE(w->finish());
}

QStringList names(int count) {
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("/card/NORMAL/RTC20261207_08%1.qmv").arg(i, 4, 10, QChar('0'));
    return list;
}

template <typename F> bool waitUntil(F done, int ms = 60000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QTest::qWait(5);
    return done();
}

void pressKeys(QWidget* w) {
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space})
        QTest::keyClick(w, Qt::Key(key));
    QTest::keyClick(w, Qt::Key_F4, Qt::AltModifier);
    w->close();
}

} // namespace

TEST(MergeWindow, OffersTheCountsChannelsAndFolderAsDesigned) {
    app();
    MergeWindow dlg;
    // Starting at the fifth-last of 30: 1 to 5 files, the last one chosen.
    ASSERT_TRUE(dlg.prepare(names(30), 25));
    ASSERT_EQ(dlg.countCombo()->count(), 5);
    EXPECT_EQ(dlg.countCombo()->itemText(0), "1 File ");
    EXPECT_EQ(dlg.countCombo()->itemText(4), "5 Files");
    EXPECT_EQ(dlg.countCombo()->currentIndex(), 4);
    ASSERT_TRUE(dlg.prepare(names(30), 0));
    EXPECT_EQ(dlg.countCombo()->count(), 20) << "at most 20 files";
    EXPECT_FALSE(dlg.prepare(names(3), 3));
    EXPECT_FALSE(dlg.prepare(names(3), -1));

    EXPECT_EQ(dlg.flags(), 3u | 0x70000u);
    EXPECT_EQ(dlg.selectedChannelCount(), 3);
    EXPECT_FALSE(dlg.channelButton(4)->isEnabled()) << "channel 4 is never offered";
    EXPECT_FALSE(dlg.startButton()->isEnabled()) << "no folder yet";

    // All channels off: start stays disabled even with a folder; a root folder gets no second '/'.
    for (int k = 1; k <= 3; ++k)
        dlg.toggleChannel(k);
    dlg.toggleChannel(4);
    EXPECT_EQ(dlg.selectedChannelCount(), 0);
    dlg.setFolderChooser([](const QString&, const QString&) { return QStringLiteral("/"); });
    dlg.chooseFolder();
    EXPECT_TRUE(dlg.flags() & 4u);
    EXPECT_FALSE(dlg.startButton()->isEnabled());
    dlg.toggleChannel(2);
    EXPECT_TRUE(dlg.startButton()->isEnabled());
    EXPECT_EQ(dlg.targetPath(2), "/RTC20261207_080000_CH2.qmv");
    // A cancelled folder choice keeps the folder.
    dlg.setFolderChooser([](const QString&, const QString&) { return QString(); });
    dlg.chooseFolder();
    EXPECT_EQ(dlg.targetPath(1), "/RTC20261207_080000_CH1.qmv");

    // The job's progress: with two channels each step is half the bar.
    dlg.toggleChannel(1);
    dlg.beginProgress();
    EXPECT_TRUE(dlg.bar()->isVisibleTo(&dlg));
    dlg.onItemStarted(1);
    dlg.onProgress(1, 50);
    EXPECT_EQ(dlg.bar()->value(), 75);
    dlg.onItemFinished(1, true, QString());
    EXPECT_EQ(dlg.bar()->value(), 100);
}

TEST(MergeWindow, MergesTheChosenChannelsAndReportsAFailingOne) {
    app();
    Folder dir;
    for (int i = 0; i < 3; ++i)
        writeRecording(dir / ("RTC20261207_08000" + std::to_string(i) + ".qmv"), 20, 500);
    QStringList list;
    for (int i = 0; i < 3; ++i)
        list << QString::fromStdString((dir / ("RTC20261207_08000" + std::to_string(i) + ".qmv")).string());
    fs::create_directories(dir / "out");
    MergeWindow dlg;
    QStringList reports;
    dlg.setReporter([&](QMessageBox::Icon, const QString& text) { reports << text; });
    ASSERT_TRUE(dlg.prepare(list, 0));
    dlg.toggleChannel(3); // channels 1 and 2: the recordings have only channel 1
    dlg.setFolderChooser(
        [&](const QString&, const QString&) { return QString::fromStdString((dir / "out").string()); });
    dlg.chooseFolder();
    dlg.show();
    dlg.start();
    EXPECT_FALSE(dlg.startButton()->isEnabled());
    pressKeys(&dlg);
    EXPECT_TRUE(dlg.isVisible()) << "the keyboard does not close the merge window";
    ASSERT_TRUE(waitUntil([&] { return !reports.isEmpty(); }));
    EXPECT_TRUE(reports[0].startsWith(ToolProgressWindow::text("MERGE_MSG_FAILED")))
        << reports[0].toStdString();
    EXPECT_TRUE(reports[0].contains("CH2: ")) << reports[0].toStdString();
    EXPECT_TRUE(fs::exists(dir / "out" / "RTC20261207_080000_CH1.qmv"));
    EXPECT_FALSE(fs::exists(dir / "out" / "RTC20261207_080000_CH2.qmv"));
    EXPECT_TRUE(dlg.closeButton()->isEnabled());
}

TEST(ProcessWindow, CancelLeavesNoPartialFileAndFailuresAreNamed) {
    app();
    Folder dir;
    UseKernelCopy(false); // block by block: many chances to see the cancel
    QStringList sources;
    for (int i = 0; i < 3; ++i) {
        writeRecording(dir / ("big" + std::to_string(i) + ".qmv"), 400, 100000);
        sources << QString::fromStdString((dir / ("big" + std::to_string(i) + ".qmv")).string());
    }
    fs::create_directories(dir / "out");
    {
        QWidget owner;
        owner.show();
        auto* dlg = new ConvertCopyWindow(QString::fromStdString((dir / "out").string()), sources,
                                    ConvertCopyWindow::kConvert, &owner);
        QStringList reports;
        dlg->setReporter([&](QMessageBox::Icon, const QString& text) { reports << text; });
        QSignalSpy finished(dlg, &QDialog::finished);
        dlg->open();
        pressKeys(dlg);
        EXPECT_TRUE(dlg->isVisible()) << "Esc, Enter, Space, Alt+F4 and close do nothing";
        QTest::mouseClick(dlg->cancelButton(), Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
        ASSERT_EQ(reports.size(), 1);
        EXPECT_TRUE(reports[0].contains("cancelled")) << reports[0].toStdString();
        // Whatever was not finished is gone; nothing half-written stays.
        for (const auto& e : fs::directory_iterator(dir / "out"))
            EXPECT_EQ(fs::file_size(e.path()), fs::file_size(dir / e.path().stem().string())) << e.path();
        EXPECT_FALSE(fs::exists(dir / "out" / "big2.qmv.avi"));
        delete dlg;
    }
    UseKernelCopy(true);

    // A run with failures names each file and why; an existing target is not replaced.
    writeRecording(dir / "good.qmv", 5, 100);
    std::ofstream(dir / "short.qmv") << "RIFF";
    std::ofstream(dir / "out" / "exists.qmv") << "keep me";
    std::ofstream(dir / "exists.qmv") << "other";
    QStringList mixed = {QString::fromStdString((dir / "good.qmv").string()),
                         QString::fromStdString((dir / "missing.qmv").string()),
                         QString::fromStdString((dir / "short.qmv").string()),
                         QString::fromStdString((dir / "exists.qmv").string())};
    ConvertCopyWindow dlg(QString::fromStdString((dir / "out").string()), mixed, ConvertCopyWindow::kCopy);
    QStringList reports;
    dlg.setReporter([&](QMessageBox::Icon, const QString& text) { reports << text; });
    dlg.open();
    ASSERT_TRUE(waitUntil([&] { return !reports.isEmpty(); }));
    EXPECT_EQ(dlg.progress(), 4);
    const QString text = reports[0];
    EXPECT_TRUE(text.startsWith("2 of 4 recordings could not be copied")) << text.toStdString();
    EXPECT_TRUE(text.contains("missing.qmv: the recording cannot be opened")) << text.toStdString();
    EXPECT_TRUE(text.contains("exists.qmv: a file of that name already exists")) << text.toStdString();
    EXPECT_FALSE(text.contains("short.qmv")) << "a plain copy copies any file";
    std::ifstream kept(dir / "out" / "exists.qmv");
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "keep me");
    EXPECT_TRUE(fs::exists(dir / "out" / "good.qmv"));
}

TEST(CopyCommand, FromTheListToAScrambledCopyAndItsRefusals) {
    app();
    Folder dir;
    fs::create_directories(dir / "NORMAL");
    writeRecording(dir / "NORMAL" / "RTC20261207_080000.qmv", 10, 300);
    EXPECT_EQ(ScrambledCopyWindow::filterFor("/card/NORMAL/RTC20261207_080000.qmv"), "video(*.qmv)");
    EXPECT_EQ(ScrambledCopyWindow::filterFor("/card/NORMAL/recording"), "video(*.*)");

    QWidget window;
    auto* menu = new KindTabs(&window);
    auto* list = new RecordingListView(&window);
    auto* bar = new QScrollBar(&window);
    ListController lists(&window, list, menu, bar);
    lists.scanner().SetFolders({{"NORMAL"}});
    lists.scanner().SetExtensions({"qmv"});
    lists.setFolderChooser([&](const std::string&) { return std::optional<fs::path>(dir.path); });
    PlaybackSession session;
    QStringList reports;
    QString saveAs;
    ToolCommands::Host host;
    host.window = &window;
    host.lists = &lists;
    host.session = &session;
    host.report = [&](QMessageBox::Icon, const QString& text) { reports << text; };
    host.chooseSaveFile = [&](const QString&, const QString&) { return saveAs; };
    host.chooseFolder = [&](const QString&) { return QString::fromStdString(dir.path.string()); };
    QStringList questions;
    host.ask = [&](const QString& q) {
        questions << q;
        return true;
    };
    ToolCommands commands(host);

    // Nothing listed or checked.
    commands.copy();
    commands.convert(ConvertCopyWindow::kConvert);
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[0], ToolProgressWindow::text("MAIN_MSG_NO_SELECT"));
    EXPECT_EQ(reports[1], ToolProgressWindow::text("FILECONVERT_NOFILE"));

    ASSERT_TRUE(lists.openFolder(dir.path));
    lists.chkRow(0, true);
    const QString source = QString::fromStdString(lists.scanner().GetEntry(0)->path);
    saveAs = source; // the recording itself: cancelled, nothing written
    commands.copy();
    EXPECT_EQ(reports.last(), ToolProgressWindow::text("MAIN_MSG_COPY_CANCELED"));
    EXPECT_FALSE(commands.activeWindow());

    saveAs = QString::fromStdString((dir / "copy.qmv").string());
    QSignalSpy closed(&commands, &ToolCommands::windowClosed);
    commands.copy();
    ASSERT_TRUE(commands.activeWindow());
    pressKeys(commands.activeWindow());
    ASSERT_TRUE(waitUntil([&] { return closed.count() == 1; }));
    EXPECT_EQ(reports.last(), ToolProgressWindow::text("MAIN_MSG_COPY_COMPLETED"));
    EXPECT_TRUE(IsScrambledRecording(dir / "copy.qmv"));
    EXPECT_TRUE(VerifyScrambledCopy(dir / "copy.qmv").ok());
    EXPECT_TRUE(questions.isEmpty()) << "a camera recording is simply copied";

    // Listed and saved again, a scrambled copy offers the way back to the camera recording.
    fs::copy_file(dir / "copy.qmv", dir / "NORMAL" / "RTC20261207_090000.qmv");
    ASSERT_TRUE(lists.openFolder(dir.path));
    const int scrambled = lists.scanner().FindByName("RTC20261207_090000.qmv");
    ASSERT_GE(scrambled, 0);
    for (int i = 0; i < lists.scanner().EntryCount(); ++i)
        lists.chkRow(i, i == scrambled);
    saveAs = QString::fromStdString((dir / "restored.qmv").string());
    commands.copy();
    ASSERT_EQ(questions.size(), 1);
    EXPECT_EQ(questions[0], ToolProgressWindow::text("COPY_MSG_RESTORE_ASK"));
    ASSERT_TRUE(waitUntil([&] { return closed.count() == 2; }));
    EXPECT_EQ(reports.last(), ToolProgressWindow::text("COPY_MSG_RESTORED"));
    EXPECT_TRUE(fs::exists(dir / "restored.qmv"));
    EXPECT_FALSE(IsScrambledRecording(dir / "restored.qmv"));
    fs::remove(dir / "NORMAL" / "RTC20261207_090000.qmv");
    ASSERT_TRUE(lists.openFolder(dir.path));

    // Opened in the player, the copy is checked off the UI thread: as made, nothing is said; one
    // changed byte is reported and the recording stays open; a result for a recording closed
    // meanwhile is dropped.
    ASSERT_TRUE(commands.copyCheck());
    QSignalSpy checked(commands.copyCheck(), &ScrambledCopyCheck::checked);
    const qsizetype before = reports.size();
    auto play = [&](const fs::path& path) {
        OpenRecording r;
        r.path = path;
        session.open(r, RecordingData{});
    };
    play(dir / "copy.qmv");
    ASSERT_TRUE(waitUntil([&] { return checked.count() == 1; }));
    EXPECT_FALSE(checked.at(0).at(0).toBool());
    EXPECT_EQ(reports.size(), before);
    {
        std::fstream f(dir / "copy.qmv", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(std::streamoff(fs::file_size(dir / "copy.qmv") / 2));
        f.put('\x5a');
    }
    ASSERT_FALSE(VerifyScrambledCopy(dir / "copy.qmv").ok());
    play(dir / "copy.qmv");
    session.close();
    play(dir / "NORMAL" / "RTC20261207_080000.qmv"); // no scrambled copy: nothing to check
    play(dir / "copy.qmv");
    ASSERT_TRUE(waitUntil([&] { return checked.count() == 2; }));
    EXPECT_TRUE(checked.at(1).at(0).toBool());
    ASSERT_EQ(reports.size(), before + 1) << "one report for the copy still open";
    EXPECT_EQ(reports.last(), ToolProgressWindow::text("MAIN_MSG_COPY_CHANGED"));
    EXPECT_TRUE(session.isOpen());
    QTest::qWait(50);
    EXPECT_EQ(checked.count(), 2);
}

namespace {

constexpr int kStateRunning = 0;
constexpr int kStatePaused = 1;
constexpr int kStateStopped = 2;

// The engine as the commands see it: its state and the calls made.
struct FakeEngine {
    int state = kStateRunning;
    ToolCommands::Playback playback() {
        return {[this] { return state == kStateRunning; }, [this] { state = kStatePaused; },
                [this] { state = kStateStopped; }, [this] { state = kStateRunning; }};
    }
};

} // namespace

// The page's play button follows the session: a tool that pauses or stops the engine says so,
// and says so again when playback resumes.
TEST(ToolWindows, TellTheSessionWhenTheyPauseOrStopPlayback) {
    app();
    Folder dir;
    fs::create_directories(dir / "NORMAL");
    writeRecording(dir / "NORMAL" / "RTC20261207_080000.qmv", 4, 100);
    QWidget window;
    ListController lists(&window, new RecordingListView(&window), new KindTabs(&window), new QScrollBar(&window));
    lists.scanner().SetFolders({{"NORMAL"}});
    lists.scanner().SetExtensions({"qmv"});
    lists.setFolderChooser([&](const std::string&) { return std::optional<fs::path>(dir.path); });
    ASSERT_TRUE(lists.openFolder(dir.path));
    lists.chkRow(0, true);

    PlaybackSession session;
    OpenRecording open;
    open.path = dir / "NORMAL" / "RTC20261207_080000.qmv";
    open.listIndex = 0;
    session.open(open, RecordingData{});
    session.setState(PlaybackSession::State::Playing);
    FakeEngine engine;
    ToolCommands::Host host;
    host.window = &window;
    host.lists = &lists;
    host.session = &session;
    host.playback = engine.playback();
    host.report = [](QMessageBox::Icon, const QString&) {};
    host.chooseFolder = [](const QString&) { return QString(); }; // the user cancels
    host.chooseSaveFile = [](const QString&, const QString&) { return QString(); };
    ToolCommands commands(host);

    // Merge pauses while its window is open and plays on when it closes.
    QSignalSpy closed(&commands, &ToolCommands::windowClosed);
    commands.merge();
    ASSERT_TRUE(commands.activeWindow());
    EXPECT_EQ(engine.state, kStatePaused);
    EXPECT_EQ(session.state(), PlaybackSession::State::Paused);
    commands.activeWindow()->done(QDialog::Rejected); // its close button
    ASSERT_TRUE(waitUntil([&] { return closed.count() == 1 && !commands.activeWindow(); }));
    EXPECT_EQ(engine.state, kStateRunning);
    EXPECT_EQ(session.state(), PlaybackSession::State::Playing);

    // A scrambled copy that is cancelled plays on as well.
    commands.copy();
    EXPECT_EQ(session.state(), PlaybackSession::State::Playing);

    // Conversion stops playback, even when the folder question is then cancelled.
    commands.convert(ConvertCopyWindow::kConvert);
    EXPECT_EQ(engine.state, kStateStopped);
    EXPECT_EQ(session.state(), PlaybackSession::State::Stopped);
}
