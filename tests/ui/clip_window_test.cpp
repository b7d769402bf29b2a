// The evidence clip window as a user drives it: the range from the A-B points, a mark or typed
// times over two generated recordings, a preview of the first picture with its overlay, a clip
// whose range crosses the join written with its manifest (hashes checked), a refused range, and
// a cancel that leaves nothing behind.
#include "OpenTestApp.h"
#include "core/config/Settings.h"
#include "core/container/RecordingReader.h"
#include "tests/support/ShellCommand.h"
#include "ui/clips/ClipWindow.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

namespace fs = std::filesystem;

namespace {

fs::path windowSampleCard(const QString& parent) {
    const QString path = parent + QStringLiteral("/card");
    QProcess gen;
    gen.start(QStringLiteral(QUILLENT_BIN_DIR "/quillent-samplecard"), {path});
    if (!gen.waitForFinished(180000) || gen.exitCode() != 0)
        return {};
    return fs::path(path.toStdString());
}

fs::path findOn(const fs::path& card, const std::string& name) {
    for (const auto& e : fs::recursive_directory_iterator(card))
        if (e.path().filename() == name)
            return e.path();
    return {};
}



void typeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

} // namespace

TEST(ClipWindowUse, ClipAcrossJoinWithManifestAndCancelLeavesNothing) {
    ensureTestApp();
    QTemporaryDir dir;
    SetSettingsDirectoryForTesting(dir.path().toStdString()); // stored clip options: never the user's
    const fs::path card = windowSampleCard(dir.path());
    ASSERT_FALSE(card.empty());
    const fs::path first = findOn(card, "RTC20261207_080000.qmv");
    const fs::path second = findOn(card, "EVENT_RTC20261207_080130.qmv");
    ASSERT_FALSE(first.empty() || second.empty());
    const int64_t firstMs = int64_t(RecordingReader::open(first, nullptr)->info().durationMs);
    const int64_t secondMs = int64_t(RecordingReader::open(second, nullptr)->info().durationMs);
    const fs::path out = fs::path(dir.path().toStdString()) / "out";
    fs::create_directories(out);

    ClipWindowInput input;
    input.listPaths = {QString::fromStdString(first.string()), QString::fromStdString(second.string())};
    input.startIsOpen = true;
    input.positionMs = 1000;
    input.loopSet = true;
    input.loopStartMs = 500;
    input.loopEndMs = 1700;
    input.eventMarks = {{firstMs - 200, 'E'}};
    ClipWindow window(input);
    std::vector<std::pair<QMessageBox::Icon, QString>> reports;
    window.setReporter([&](QMessageBox::Icon icon, const QString& text) { reports.emplace_back(icon, text); });
    window.setFileChooser([&](const QString&) { return QString::fromStdString((out / "clip").string()); });
    window.show();
    auto* from = window.findChild<QLineEdit*>("fromTime");
    auto* to = window.findChild<QLineEdit*>("toTime");
    auto* start = window.findChild<QPushButton*>("startButton");
    ASSERT_TRUE(from && to && start);
    EXPECT_EQ(window.findChild<QSpinBox*>("recordingCount")->value(), 2);

    // The three ways to a range: A-B points (chosen first when set), the mark +- seconds, times.
    struct RangeCase {
        const char* mode;
        int64_t fromMs, toMs;
    };
    window.findChild<QSpinBox*>("markSeconds")->setValue(2);
    for (const RangeCase& c : {RangeCase{"rangeLoop", 500, 1700},
                               RangeCase{"rangeMark", firstMs - 2200, firstMs + 1800}}) {
        QTest::mouseClick(window.findChild<QRadioButton*>(c.mode), Qt::LeftButton);
        const auto r = window.request();
        ASSERT_TRUE(r) << c.mode;
        EXPECT_EQ(r->range.fromMs, c.fromMs) << c.mode;
        EXPECT_EQ(r->range.toMs, c.toMs) << c.mode;
    }
    // A range past the recordings is refused before anything starts.
    typeInto(from, QStringLiteral("0:01"));
    typeInto(to, QStringLiteral("9:00"));
    EXPECT_FALSE(window.request());
    EXPECT_FALSE(start->isEnabled());

    // 1.5 s on each side of the join, in the 2x2 grid with every overlay item.
    const int64_t fromMs = firstMs - 1500, toMs = firstMs + 1500;
    typeInto(from, QString::number(fromMs / 1000.0, 'f', 3));
    typeInto(to, QString::number(toMs / 1000.0, 'f', 3));
    auto* layout = window.findChild<QComboBox*>("layoutChoice");
    layout->setCurrentIndex(layout->findData(int(ClipLayoutKind::Grid)));
    for (unsigned item : {kOverlayTime, kOverlaySpeed, kOverlayPosition, kOverlayGsensor, kOverlayMap})
        window.findChild<QCheckBox*>(QStringLiteral("overlay%1").arg(item))->setChecked(true);
    QTest::mouseClick(window.findChild<QPushButton*>("browseButton"), Qt::LeftButton);
    EXPECT_EQ(window.findChild<QLineEdit*>("targetFile")->text().toStdString(), (out / "clip.mp4").string());

    // The preview: the clip's first picture, composed and with the overlay drawn.
    QSignalSpy previewed(&window, &ClipWindow::previewReady);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.previewPicture().isNull() && !previewed.isEmpty(); }, 120000));
    EXPECT_EQ(window.previewPicture().size(), QSize(1280, 720));
    EXPECT_TRUE(testfiles::entriesOf(out).empty()) << "the preview writes nothing beside the target";

    QSignalSpy finished(&window, &ClipWindow::finishedClip);
    ASSERT_TRUE(start->isEnabled());
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_TRUE(finished.wait(240000));
    ASSERT_EQ(finished.takeFirst().at(0).toInt(), int(ClipOutcome::Kind::Written))
        << (reports.empty() ? "" : reports.back().second.toStdString());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].first, QMessageBox::Information);
    EXPECT_EQ(testfiles::entriesOf(out), (std::vector<std::string>{"clip.json", "clip.mp4"}));
    const ShellResult probe = runShell("ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                                       shellQuoted(out / "clip.mp4"));
    EXPECT_NEAR(std::atof(probe.output.c_str()), (toMs - fromMs) / 1000.0, 0.15) << probe.output;
    QFile manifestFile(QString::fromStdString((out / "clip.json").string()));
    ASSERT_TRUE(manifestFile.open(QIODevice::ReadOnly));
    const QJsonObject manifest = QJsonDocument::fromJson(manifestFile.readAll()).object();
    const QJsonArray sources = manifest["sources"].toArray();
    ASSERT_EQ(sources.size(), 2) << "the range crosses the join";
    EXPECT_EQ(sources[0]["sha256"].toString().toStdString(), testfiles::sha256(first));
    EXPECT_EQ(sources[1]["sha256"].toString().toStdString(), testfiles::sha256(second));
    EXPECT_EQ(manifest["clip"]["sha256"].toString().toStdString(), testfiles::sha256(out / "clip.mp4"));
    EXPECT_EQ(manifest["clip"]["layout"].toString(), QStringLiteral("grid"));
    EXPECT_EQ(manifest["range"]["fromMs"].toInteger(), fromMs);

    // A longer clip cancelled while it is written: nothing of it is left.
    typeInto(window.findChild<QLineEdit*>("targetFile"), QString::fromStdString((out / "stopped.mp4").string()));
    typeInto(from, QStringLiteral("0"));
    typeInto(to, QString::number((firstMs + secondMs) / 1000.0, 'f', 3));
    window.findChild<QComboBox*>("heightChoice")->setCurrentIndex(1);
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_TRUE(window.isWorking());
    auto* progress = window.findChild<QProgressBar*>();
    ASSERT_TRUE(QTest::qWaitFor([&] { return progress->value() > 0 || !window.isWorking(); }, 60000));
    ASSERT_TRUE(window.isWorking()) << "still writing when cancelled";
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(window.findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    ASSERT_TRUE(finished.wait(30000));
    // Told at once (tens of ms on an idle machine); a wait for the pipelines' end would show here.
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_EQ(finished.takeFirst().at(0).toInt(), int(ClipOutcome::Kind::Cancelled));
    EXPECT_EQ(testfiles::entriesOf(out), (std::vector<std::string>{"clip.json", "clip.mp4"}));
    EXPECT_EQ(reports.size(), 1u) << "a cancel is no error";

    // The choices are remembered for the next window.
    const ClipOptions stored = ClipOptions::load();
    EXPECT_EQ(stored.layout, ClipLayoutKind::Grid);
    EXPECT_EQ(stored.height, 1080);
    EXPECT_EQ(stored.markSeconds, 2);
}
