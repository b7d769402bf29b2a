// Evidence clips as a user makes them with quillent-tool: a range across the join of two generated
// recordings, read back with ffmpeg (no decoding error, the range's length, H.264 + AAC), the speed
// and time drawn into three pictures compared with the overlay renderer's own drawing of what the
// GPS records say for those moments, and the manifest's hashes against the files. Then bad input:
// nothing partial is ever left in the target folder.
#include "OpenTestApp.h"
#include "core/container/RecordingReader.h"
#include "core/trackdata/TrackData.h"
#include "tests/support/ShellCommand.h"
#include "ui/render/ClipOverlayRenderer.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const fs::path& clipSampleCard() {
    static QTemporaryDir dir;
    static const fs::path card = [] {
        const QString path = dir.path() + QStringLiteral("/card");
        QProcess gen;
        gen.start(QStringLiteral(QUILLENT_BIN_DIR "/quillent-samplecard"), {path});
        if (!gen.waitForFinished(180000) || gen.exitStatus() != QProcess::NormalExit || gen.exitCode() != 0) {
            ADD_FAILURE() << "quillent-samplecard failed: " << gen.readAllStandardError().toStdString();
            return fs::path();
        }
        return fs::path(path.toStdString());
    }();
    return card;
}

fs::path cardFile(const std::string& name) {
    for (const auto& e : fs::recursive_directory_iterator(clipSampleCard()))
        if (e.path().filename() == name)
            return e.path();
    ADD_FAILURE() << name << " is not on the sample card";
    return {};
}

ShellResult clipTool(const std::string& args, const std::string& prefix = "") {
    return runShell(prefix + builtProgram("quillent-tool") + " clip " + args);
}



// The picture of a file at `ms`, decoded by ffmpeg.
QImage decodedPicture(const fs::path& file, int64_t ms, QSize size) {
    const fs::path raw = file.parent_path() / ("picture-" + std::to_string(ms) + ".raw");
    char at[32];
    std::snprintf(at, sizeof at, "%.3f", ms / 1000.0);
    const ShellResult r = runShell("ffmpeg -v error -y -ss " + std::string(at) + " -i " + shellQuoted(file) +
                                   " -frames:v 1 -f rawvideo -pix_fmt bgra " + shellQuoted(raw));
    std::ifstream in(raw, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    fs::remove(raw);
    if (r.exitCode != 0 || bytes.size() != size_t(size.width()) * size.height() * 4)
        return {};
    QImage image(size, QImage::Format_ARGB32);
    std::memcpy(image.bits(), bytes.data(), bytes.size());
    return image;
}

// Mean absolute difference of the RGB values of two equally sized pictures.
double difference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum +=
                std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

QImage drawnRegion(const ClipOverlayRenderer& renderer, QSize canvas, const ClipMoment& m,
                   const QRect& region) {
    QImage image(canvas, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    renderer.paint(p, canvas, m);
    p.end();
    return image.copy(region);
}

// Of the candidates, the one whose drawing the decoded region resembles most.
template <typename T, typename Make>
T bestMatch(const QImage& decoded, const std::vector<T>& candidates, Make drawingOf, double* bestDifference) {
    T best = candidates.front();
    *bestDifference = 1e9;
    for (const T& c : candidates) {
        const double d = difference(decoded, drawingOf(c));
        if (d < *bestDifference) {
            *bestDifference = d;
            best = c;
        }
    }
    return best;
}

struct GpsRecord {
    uint32_t timeMs = 0;
    CGpsData sample;
};

// The GPS records of a recording, read here on their own from the records' text.
std::vector<GpsRecord> gpsRecords(const fs::path& recording) {
    std::vector<GpsRecord> records;
    std::string error;
    auto reader = RecordingReader::open(recording, &error);
    if (!reader)
        return records;
    uint8_t buffer[1025] = {};
    uint32_t size = 1024, time = 0;
    while (reader->GetNextRecord(buffer, &size, &time) == 0) {
        if (buffer[0] == '$') {
            GpsRecord r;
            r.timeMs = time;
            r.sample.ParseSentence(std::string_view(reinterpret_cast<const char*>(buffer), size));
            records.push_back(r);
        }
        std::memset(buffer, 0, sizeof buffer);
        size = 1024;
    }
    return records;
}

// The record in force at a position: the last one that is not later.
const GpsRecord* recordAt(const std::vector<GpsRecord>& records, int64_t positionMs) {
    const GpsRecord* found = records.empty() ? nullptr : &records.front();
    for (const GpsRecord& r : records)
        if (int64_t(r.timeMs) <= positionMs)
            found = &r;
    return found;
}

class ClipExport : public ::testing::Test {
protected:
    void SetUp() override {
        ensureTestApp();
        ASSERT_TRUE(fs::exists(fs::path(QUILLENT_BIN_DIR) / "quillent-tool"));
        ASSERT_TRUE(haveFfmpeg());
        ASSERT_FALSE(clipSampleCard().empty());
        // The tool reads the stored clip options and speed unit: never the user's.
        setenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit().constData(), 1);
        out = fs::path(dir.path().toStdString()) / "out";
        fs::create_directories(out);
    }
    QTemporaryDir dir;
    fs::path out;
};

} // namespace

TEST_F(ClipExport, RangeAcrossJoinPlaysAndShowsTheRecordedSpeedAndTime) {
    const fs::path first = cardFile("RTC20261207_080000.qmv");
    const fs::path second = cardFile("EVENT_RTC20261207_080130.qmv");
    auto firstReader = RecordingReader::open(first, nullptr);
    ASSERT_TRUE(firstReader);
    const int64_t firstMs = int64_t(firstReader->info().durationMs);
    ASSERT_GT(firstMs, 2000);
    // One and a half seconds on each side of the join.
    const int64_t fromMs = firstMs - 1500, toMs = firstMs + 1500;
    const fs::path clip = out / "clip.mp4";
    const ShellResult r =
        clipTool(shellQuoted(first) + " " + shellQuoted(second) + " --from " +
                 std::to_string(fromMs / 1000.0) + " --to " + std::to_string(toMs / 1000.0) +
                 " --layout grid --overlay time,speed,position,gsensor,map --height 720 "
                 "--unit kmh -o " +
                 shellQuoted(clip));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(testfiles::entriesOf(out), (std::vector<std::string>{"clip.json", "clip.mp4"}));

    // ffmpeg decodes every picture and the sound without a word.
    const ShellResult decode = runShell("ffmpeg -v error -i " + shellQuoted(clip) + " -f null -");
    EXPECT_EQ(decode.exitCode, 0);
    EXPECT_EQ(decode.output, "");
    const ShellResult probe =
        runShell("ffprobe -v error -show_entries stream=codec_name,width,height,r_frame_rate,"
                 "duration -of csv=p=0 " +
                 shellQuoted(clip));
    ASSERT_EQ(probe.exitCode, 0) << probe.output;
    EXPECT_NE(probe.output.find("h264,1280,720,10/1,"), std::string::npos) << probe.output;
    EXPECT_NE(probe.output.find("aac,"), std::string::npos) << probe.output;
    const double videoSeconds = std::atof(probe.output.substr(probe.output.find("10/1,") + 5).c_str());
    EXPECT_NEAR(videoSeconds, (toMs - fromMs) / 1000.0, 0.1 + 1e-6)
        << "the range's length within one picture";

    // Three moments: before the join, just before it, after it.
    ClipOverlayRenderer renderer;
    renderer.setItems(kOverlayTime | kOverlaySpeed | kOverlayPosition | kOverlayGsensor | kOverlayMap);
    renderer.setUnit(1);
    const QSize canvas(1280, 720);
    const auto firstRecords = gpsRecords(first), secondRecords = gpsRecords(second);
    ASSERT_FALSE(firstRecords.empty());
    ASSERT_FALSE(secondRecords.empty());
    for (int64_t clipMs : {300, 1300, 2500}) {
        SCOPED_TRACE("clip time " + std::to_string(clipMs));
        const bool inFirst = fromMs + clipMs < firstMs;
        const int64_t position = inFirst ? fromMs + clipMs : fromMs + clipMs - firstMs;
        const GpsRecord* record = recordAt(inFirst ? firstRecords : secondRecords, position);
        ASSERT_TRUE(record && record->sample.valid);
        const QImage picture = decodedPicture(clip, clipMs + 20, canvas);
        ASSERT_FALSE(picture.isNull());

        const long kmh = std::lround(record->sample.speed * 1.852);
        std::vector<long> speeds;
        for (long v = std::max(0L, kmh - 30); v <= kmh + 30; ++v)
            speeds.push_back(v);
        double d = 0;
        const long shown = bestMatch(
            picture.copy(renderer.speedRect(canvas)), speeds,
            [&](long v) {
                ClipMoment m;
                m.recordingHasGps = m.gpsFix = true;
                m.speedKnots = v / 1.852;
                return drawnRegion(renderer, canvas, m, renderer.speedRect(canvas));
            },
            &d);
        EXPECT_EQ(shown, kmh);
        EXPECT_LT(d, 8.0);

        // Date and time: the record's UTC time moved on to the moment, in the camera's zone (+9:00).
        QDateTime utc(QDate(2000 + record->sample.year, record->sample.month, record->sample.day),
                      QTime(0, 0), Qt::UTC);
        utc = utc.addMSecs(
            (int64_t(record->sample.hour - 9) * 3600 + record->sample.minute * 60 + record->sample.second) *
                1000 +
            (position - record->timeMs));
        std::vector<int> offsets{-2, -1, 0, 1, 2};
        const int offset = bestMatch(
            picture.copy(renderer.timeRect(canvas)), offsets,
            [&](int o) {
                ClipMoment m;
                m.dateTime = utc.addSecs(9 * 3600 + o).toString("yyyy-MM-dd HH:mm:ss").toStdString();
                m.zone = "UTC+09:00";
                return drawnRegion(renderer, canvas, m, renderer.timeRect(canvas));
            },
            &d);
        EXPECT_EQ(offset, 0);
        EXPECT_LT(d, 8.0);
    }

    // The manifest names both recordings with their hashes, the range and the clip's own hash.
    QFile file(QString::fromStdString((out / "clip.json").string()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject manifest = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonArray sources = manifest["sources"].toArray();
    ASSERT_EQ(sources.size(), 2);
    EXPECT_EQ(sources[0].toObject()["sha256"].toString().toStdString(), testfiles::sha256(first));
    EXPECT_EQ(sources[1].toObject()["sha256"].toString().toStdString(), testfiles::sha256(second));
    EXPECT_EQ(sources[0].toObject()["fromMs"].toInteger(), fromMs);
    EXPECT_EQ(sources[1].toObject()["clipOffsetMs"].toInteger(), 1500);
    EXPECT_EQ(sources[1].toObject()["toMs"].toInteger(), 1500);
    EXPECT_EQ(manifest["clip"].toObject()["sha256"].toString().toStdString(), testfiles::sha256(clip));
    EXPECT_EQ(manifest["range"].toObject()["toMs"].toInteger(), toMs);
    EXPECT_FALSE(manifest["version"].toString().isEmpty());
    EXPECT_EQ(manifest["camera"].toObject()["timezoneMinutes"].toInt(), 9 * 60);
}

TEST_F(ClipExport, BadInputLeavesNothingPartial) {
    const fs::path recording = cardFile("RTC20261207_080000.qmv");
    const fs::path cutShort = cardFile("RTC20261207_080500.qmv"); // the file ends inside its data
    // A standard AVI has no data records, so no GPS.
    const fs::path plain = fs::path(dir.path().toStdString()) / "plain.avi";
    ASSERT_EQ(runShell("gst-launch-1.0 -q videotestsrc num-buffers=20 ! video/x-raw,width=320,height=180,"
                       "framerate=10/1 ! x264enc ! avimux ! filesink location=" +
                       shellQuoted(plain))
                  .exitCode,
              0);
    fs::create_directories(out / "folder");
    const std::string rec = shellQuoted(recording);
    struct Case {
        const char* name;
        std::string args;
        std::string prefix;
        int exitCode;
        const char* message;
        std::vector<std::string> written; // besides "folder"
    };
    const std::vector<Case> cases = {
        {"range outside", rec + " --from 2 --to 9", "", 1, "lies outside the recordings", {}},
        {"range before the start", rec + " --from -1 --to 1", "", 2, "no time", {}},
        {"empty range", rec + " --from 2 --to 1", "", 1, "is empty", {}},
        {"no such channel", rec + " --from 0 --to 1 --channels 4", "", 1, "has no channel 4", {}},
        {"target in a missing folder",
         rec + " --from 0 --to 1 -o " + shellQuoted(out / "missing" / "c.mp4"),
         "",
         1,
         "cannot create",
         {}},
        {"target is a folder",
         rec + " --from 0 --to 1 -o " + shellQuoted(out / "folder"),
         "",
         1,
         "is a folder",
         {}},
        // A file size limit stands in for a disk that fills up while the clip is written.
        {"disk fills",
         rec + " --from 0 --to 2.5 -o " + shellQuoted(out / "full.mp4"),
         "ulimit -f 64; ",
         1,
         "cannot write",
         {}},
        {"range runs past a damaged recording",
         shellQuoted(cutShort) + " " + rec + " --from 1 --to 3 -o " + shellQuoted(out / "cut.mp4"),
         "",
         3,
         "is cut short at 0:01.900 (damaged); the clip stops there",
         {"cut.json", "cut.mp4"}},
        {"no GPS",
         shellQuoted(plain) + " --from 0 --to 1.5 --overlay speed -o " + shellQuoted(out / "nogps.mp4"),
         "",
         0,
         "no GPS records",
         {"nogps.json", "nogps.mp4"}},
    };
    std::vector<std::string> written{"folder"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string args = c.args;
        if (args.find(" -o ") == std::string::npos)
            args += " -o " + shellQuoted(out / "c.mp4");
        const ShellResult r = clipTool(args, c.prefix);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
        written.insert(written.end(), c.written.begin(), c.written.end());
        std::sort(written.begin(), written.end());
        EXPECT_EQ(testfiles::entriesOf(out), written);
    }
    // Interrupted while it works (or before): no clip, nothing partial.
    const ShellResult interrupted =
        clipTool(rec + " " + rec + " --from 0 --to 6 --height 1080 -o " + shellQuoted(out / "stopped.mp4"),
                 "timeout --preserve-status -s INT 1 ");
    EXPECT_NE(interrupted.exitCode, 0) << interrupted.output;
    EXPECT_EQ(testfiles::entriesOf(out), written);

    // The clip that stopped at the damage holds what was there, and its manifest says why.
    const ShellResult probe = runShell("ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                                       shellQuoted(out / "cut.mp4"));
    EXPECT_NEAR(std::atof(probe.output.c_str()), 0.9, 0.1);
    QFile cut(QString::fromStdString((out / "cut.json").string()));
    ASSERT_TRUE(cut.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        QJsonDocument::fromJson(cut.readAll())["clip"]["stoppedAtDamage"].toString().contains("cut short"));

    // The recording without GPS says so in the picture.
    ClipOverlayRenderer renderer;
    renderer.setItems(kOverlaySpeed);
    const QSize canvas(1280, 720);
    const QImage picture = decodedPicture(out / "nogps.mp4", 520, canvas);
    ASSERT_FALSE(picture.isNull());
    const std::vector<bool> gps{false, true};
    double d = 0;
    const bool hasGps = bestMatch(
        picture.copy(renderer.speedRect(canvas)), gps,
        [&](bool g) {
            ClipMoment m;
            m.recordingHasGps = m.gpsFix = g;
            return drawnRegion(renderer, canvas, m, renderer.speedRect(canvas));
        },
        &d);
    EXPECT_FALSE(hasGps);
    EXPECT_LT(d, 8.0);
}
