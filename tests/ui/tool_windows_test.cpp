// The tool windows as the user meets them: the merge window's counts, channels and folder, the
// conversion window's Cancel (no partial file) and its report of failing files, the keyboard that
// cannot close the progress windows, the copy command from the list to the scrambled copy, and the
// check of a scrambled copy the player opens.
#include "WindowTestApp.h"
#include "core/container/RecordingConverter.h"
#include "core/container/RecordingWriter.h"
#include "core/container/ScrambledCopy.h"
#include "ui/controls/CWBCButton.h"
#include "ui/lists/CFilelist.h"
#include "ui/lists/CFilemenu.h"
#include "ui/lists/ListController.h"
#include "ui/playback/PlaybackControl.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/tools/CEncCopyDlg.h"
#include "ui/tools/CProcessDlg.h"
#include "ui/tools/CVideoMergeDlg.h"
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
    CVideoMergeDlg dlg;
    // Starting at the fifth-last of 30: 1 to 5 files, the last one chosen.
    ASSERT_TRUE(dlg.Prepare(names(30), 25));
    ASSERT_EQ(dlg.CountCombo()->count(), 5);
    EXPECT_EQ(dlg.CountCombo()->itemText(0), "1 File ");
    EXPECT_EQ(dlg.CountCombo()->itemText(4), "5 Files");
    EXPECT_EQ(dlg.CountCombo()->currentIndex(), 4);
    ASSERT_TRUE(dlg.Prepare(names(30), 0));
    EXPECT_EQ(dlg.CountCombo()->count(), 20) << "at most 20 files";
    EXPECT_FALSE(dlg.Prepare(names(3), 3));
    EXPECT_FALSE(dlg.Prepare(names(3), -1));

    EXPECT_EQ(dlg.Flags(), 3u | 0x70000u);
    EXPECT_EQ(dlg.SelectedChannelCount(), 3);
    EXPECT_FALSE(dlg.ChannelButton(4)->isEnabled()) << "channel 4 is never offered";
    EXPECT_FALSE(dlg.StartButton()->isEnabled()) << "no folder yet";

    // All channels off: start stays disabled even with a folder; a root folder gets no second '/'.
    for (int k = 1; k <= 3; ++k)
        dlg.ToggleChannel(k);
    dlg.ToggleChannel(4);
    EXPECT_EQ(dlg.SelectedChannelCount(), 0);
    dlg.SetFolderChooser([](const QString&, const QString&) { return QStringLiteral("/"); });
    dlg.ChooseFolder();
    EXPECT_TRUE(dlg.Flags() & 4u);
    EXPECT_FALSE(dlg.StartButton()->isEnabled());
    dlg.ToggleChannel(2);
    EXPECT_TRUE(dlg.StartButton()->isEnabled());
    EXPECT_EQ(dlg.TargetPath(2), "/RTC20261207_080000_CH2.qmv");
    // A cancelled folder choice keeps the folder.
    dlg.SetFolderChooser([](const QString&, const QString&) { return QString(); });
    dlg.ChooseFolder();
    EXPECT_EQ(dlg.TargetPath(1), "/RTC20261207_080000_CH1.qmv");

    // The progress message: with two channels each step is half the bar.
    dlg.ToggleChannel(1);
    dlg.OnMergeMessage(0, 0);
    EXPECT_TRUE(dlg.Bar()->isVisibleTo(&dlg));
    dlg.OnMergeMessage(1, 2);
    dlg.OnMergeMessage(2, 50);
    EXPECT_EQ(dlg.Bar()->value(), 75);
    dlg.OnMergeMessage(3, 2);
    EXPECT_EQ(dlg.Bar()->value(), 100);
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
    CVideoMergeDlg dlg;
    QStringList reports;
    dlg.SetReporter([&](QMessageBox::Icon, const QString& text) { reports << text; });
    ASSERT_TRUE(dlg.Prepare(list, 0));
    dlg.ToggleChannel(3); // channels 1 and 2: the recordings have only channel 1
    dlg.SetFolderChooser(
        [&](const QString&, const QString&) { return QString::fromStdString((dir / "out").string()); });
    dlg.ChooseFolder();
    dlg.show();
    dlg.Start();
    EXPECT_FALSE(dlg.StartButton()->isEnabled());
    pressKeys(&dlg);
    EXPECT_TRUE(dlg.isVisible()) << "the keyboard does not close the merge window";
    ASSERT_TRUE(waitUntil([&] { return !reports.isEmpty(); }));
    EXPECT_TRUE(reports[0].startsWith(ToolProgressWindow::Text("MERGE_MSG_FAILED")))
        << reports[0].toStdString();
    EXPECT_TRUE(reports[0].contains("CH2: ")) << reports[0].toStdString();
    EXPECT_TRUE(fs::exists(dir / "out" / "RTC20261207_080000_CH1.qmv"));
    EXPECT_FALSE(fs::exists(dir / "out" / "RTC20261207_080000_CH2.qmv"));
    EXPECT_TRUE(dlg.CloseButton()->isEnabled());
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
        auto* dlg = new CProcessDlg(QString::fromStdString((dir / "out").string()), sources,
                                    CProcessDlg::kConvert, &owner);
        QStringList reports;
        dlg->SetReporter([&](QMessageBox::Icon, const QString& text) { reports << text; });
        QSignalSpy finished(dlg, &QDialog::finished);
        dlg->open();
        pressKeys(dlg);
        EXPECT_TRUE(dlg->isVisible()) << "Esc, Enter, Space, Alt+F4 and close do nothing";
        QTest::mouseClick(dlg->CancelButton(), Qt::LeftButton);
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
    CProcessDlg dlg(QString::fromStdString((dir / "out").string()), mixed, CProcessDlg::kCopy);
    QStringList reports;
    dlg.SetReporter([&](QMessageBox::Icon, const QString& text) { reports << text; });
    dlg.open();
    ASSERT_TRUE(waitUntil([&] { return !reports.isEmpty(); }));
    EXPECT_EQ(dlg.Progress(), 4);
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
    EXPECT_EQ(CEncCopyDlg::FilterFor("/card/NORMAL/RTC20261207_080000.qmv"), "video(*.qmv)");
    EXPECT_EQ(CEncCopyDlg::FilterFor("/card/NORMAL/recording"), "video(*.*)");

    QWidget window;
    auto* menu = new CFilemenu(&window);
    auto* list = new CFilelist(&window);
    auto* bar = new QScrollBar(&window);
    ListController lists(&window, list, menu, bar);
    lists.Scanner().SetFolders({{"NORMAL"}});
    lists.Scanner().SetExtensions({"qmv"});
    lists.SetFolderChooser([&](const std::string&) { return std::optional<fs::path>(dir.path); });
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
    commands.Copy();
    commands.Convert(CProcessDlg::kConvert);
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[0], ToolProgressWindow::Text("MAIN_MSG_NO_SELECT"));
    EXPECT_EQ(reports[1], ToolProgressWindow::Text("FILECONVERT_NOFILE"));

    ASSERT_TRUE(lists.OpenFolder(dir.path));
    lists.ChkRow(0, true);
    const QString source = QString::fromStdString(lists.Scanner().GetEntry(0)->path);
    saveAs = source; // the recording itself: cancelled, nothing written
    commands.Copy();
    EXPECT_EQ(reports.last(), ToolProgressWindow::Text("MAIN_MSG_COPY_CANCELED"));
    EXPECT_FALSE(commands.ActiveWindow());

    saveAs = QString::fromStdString((dir / "copy.qmv").string());
    QSignalSpy closed(&commands, &ToolCommands::windowClosed);
    commands.Copy();
    ASSERT_TRUE(commands.ActiveWindow());
    pressKeys(commands.ActiveWindow());
    ASSERT_TRUE(waitUntil([&] { return closed.count() == 1; }));
    EXPECT_EQ(reports.last(), ToolProgressWindow::Text("MAIN_MSG_COPY_COMPLETED"));
    EXPECT_TRUE(IsScrambledRecording(dir / "copy.qmv"));
    EXPECT_TRUE(VerifyScrambledCopy(dir / "copy.qmv").ok());
    EXPECT_TRUE(questions.isEmpty()) << "a camera recording is simply copied";

    // Listed and saved again, a scrambled copy offers the way back to the camera recording.
    fs::copy_file(dir / "copy.qmv", dir / "NORMAL" / "RTC20261207_090000.qmv");
    ASSERT_TRUE(lists.OpenFolder(dir.path));
    const int scrambled = lists.Scanner().FindByName("RTC20261207_090000.qmv");
    ASSERT_GE(scrambled, 0);
    for (int i = 0; i < lists.Scanner().EntryCount(); ++i)
        lists.ChkRow(i, i == scrambled);
    saveAs = QString::fromStdString((dir / "restored.qmv").string());
    commands.Copy();
    ASSERT_EQ(questions.size(), 1);
    EXPECT_EQ(questions[0], ToolProgressWindow::Text("COPY_MSG_RESTORE_ASK"));
    ASSERT_TRUE(waitUntil([&] { return closed.count() == 2; }));
    EXPECT_EQ(reports.last(), ToolProgressWindow::Text("COPY_MSG_RESTORED"));
    EXPECT_TRUE(fs::exists(dir / "restored.qmv"));
    EXPECT_FALSE(IsScrambledRecording(dir / "restored.qmv"));
    fs::remove(dir / "NORMAL" / "RTC20261207_090000.qmv");
    ASSERT_TRUE(lists.OpenFolder(dir.path));

    // Opened in the player, the copy is checked off the UI thread: as made, nothing is said; one
    // changed byte is reported and the recording stays open; a result for a recording closed
    // meanwhile is dropped.
    ASSERT_TRUE(commands.CopyCheck());
    QSignalSpy checked(commands.CopyCheck(), &ScrambledCopyCheck::checked);
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
    EXPECT_EQ(reports.last(), ToolProgressWindow::Text("MAIN_MSG_COPY_CHANGED"));
    EXPECT_TRUE(session.isOpen());
    QTest::qWait(50);
    EXPECT_EQ(checked.count(), 2);
}

namespace {

// The engine as the commands see it: its state and the calls made.
struct FakeEngine : PlaybackControl {
    int state = kStateRunning;
    int GetState() const override { return state; }
    int GetChannelCount() const override { return 1; }
    uint64_t GetPositionMs() const override { return 0; }
    uint64_t GetDurationMs() const override { return 1000; }
    bool Run() override { return state = kStateRunning, true; }
    bool Pause() override { return state = kStatePaused, true; }
    bool Stop() override { return state = kStateStopped, true; }
    void SeekTo(int64_t) override {}
    void SetRate(float) override {}
    void SetBrightness(int, int) override {}
    bool StepFrame() override { return true; }
    void SetVolume(int) override {}
    void SetViewOptions(uint32_t) override {}
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
    ListController lists(&window, new CFilelist(&window), new CFilemenu(&window), new QScrollBar(&window));
    lists.Scanner().SetFolders({{"NORMAL"}});
    lists.Scanner().SetExtensions({"qmv"});
    lists.SetFolderChooser([&](const std::string&) { return std::optional<fs::path>(dir.path); });
    ASSERT_TRUE(lists.OpenFolder(dir.path));
    lists.ChkRow(0, true);

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
    host.playback = &engine;
    host.report = [](QMessageBox::Icon, const QString&) {};
    host.chooseFolder = [](const QString&) { return QString(); }; // the user cancels
    host.chooseSaveFile = [](const QString&, const QString&) { return QString(); };
    ToolCommands commands(host);

    // Merge pauses while its window is open and plays on when it closes.
    QSignalSpy closed(&commands, &ToolCommands::windowClosed);
    commands.Merge();
    ASSERT_TRUE(commands.ActiveWindow());
    EXPECT_EQ(engine.state, kStatePaused);
    EXPECT_EQ(session.state(), PlaybackSession::State::Paused);
    commands.ActiveWindow()->done(QDialog::Rejected); // its close button
    ASSERT_TRUE(waitUntil([&] { return closed.count() == 1 && !commands.ActiveWindow(); }));
    EXPECT_EQ(engine.state, kStateRunning);
    EXPECT_EQ(session.state(), PlaybackSession::State::Playing);

    // A scrambled copy that is cancelled plays on as well.
    commands.Copy();
    EXPECT_EQ(session.state(), PlaybackSession::State::Playing);

    // Conversion stops playback, even when the folder question is then cancelled.
    commands.Convert(CProcessDlg::kConvert);
    EXPECT_EQ(engine.state, kStateStopped);
    EXPECT_EQ(session.state(), PlaybackSession::State::Stopped);
}
