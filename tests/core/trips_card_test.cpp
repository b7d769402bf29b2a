// The trips of a generated card of several drives, through the command-line tool: every drive
// found with its distance within 2 % of the generator's, its hard stops within 30 m of where the
// generator braked, a second run that reads nothing again, and GPX and CSV files that say the same.
#include "support/ContainerFixtures.h"
#include "tests/support/ShellCommand.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cmath>

namespace fs = std::filesystem;

namespace {

double metresBetween(double lat1, double lon1, double lat2, double lon2) {
    const double k = M_PI / 180.0;
    const double x = (lon2 - lon1) * k * std::cos((lat1 + lat2) / 2 * k), y = (lat2 - lat1) * k;
    return 6371008.8 * std::hypot(x, y);
}

QJsonObject readJson(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

class TripsCard : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        const ShellResult made =
            runShell(builtProgram("quillent-samplecard") + " " + shellQuoted(s_dir->path() / "card") +
                     " --drives 4 --clip-seconds 20");
        ASSERT_EQ(made.exitCode, 0) << made.output;
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static std::string trips(const std::string& options) {
        // Settings and data folders of the test's own: the user's index is never touched.
        const std::string env = "XDG_CONFIG_HOME=" + shellQuoted(s_dir->path() / "config") +
                                " XDG_DATA_HOME=" + shellQuoted(s_dir->path() / "data") + " ";
        // Standard output only: the JSON, without the run's summary on standard error.
        const ShellResult r =
            runShell("{ " + env + builtProgram("quillent-tool") + " trips " +
                     shellQuoted(s_dir->path() / "card") + " " + options + " 2>/dev/null; }");
        EXPECT_EQ(r.exitCode, 0) << r.output;
        return r.output;
    }
    static TempDir* s_dir;
};
TempDir* TripsCard::s_dir = nullptr;

TEST_F(TripsCard, DrivesDistancesAndHardStopsMatchTheGenerator) {
    const QJsonObject manifest = readJson(ReadText(s_dir->path() / "card" / "drives.json"));
    const QJsonArray drives = manifest["drives"].toArray();
    ASSERT_EQ(drives.size(), 4);
    const QJsonArray trips = readJson(TripsCard::trips("--json"))["trips"].toArray();

    for (const auto& driveValue : drives) {
        const QJsonObject drive = driveValue.toObject();
        const QString start = drive["start"].toString();
        QJsonObject trip;
        for (const auto& t : trips)
            if (t.toObject()["start"].toString() == start)
                trip = t.toObject();
        ASSERT_FALSE(trip.isEmpty()) << "no trip starts at " << start.toStdString();
        const double expected = drive["distanceM"].toDouble();
        EXPECT_NEAR(trip["distanceM"].toDouble(), expected, expected * 0.02) << start.toStdString();
        EXPECT_EQ(trip["recordings"].toArray().size(), drive["recordings"].toArray().size());

        const QJsonArray stops = drive["hardBraking"].toArray();
        ASSERT_EQ(stops.size(), 2);
        EXPECT_EQ(trip["eventCounts"].toObject()["braking"].toInt(), stops.size()) << start.toStdString();
        for (const auto& stopValue : stops) {
            const QJsonObject stop = stopValue.toObject();
            double nearest = 1e9;
            QString recording;
            double offset = 0;
            for (const auto& e : trip["events"].toArray()) {
                const QJsonObject ev = e.toObject();
                if (ev["type"].toString() != "braking")
                    continue;
                const double d = metresBetween(stop["lat"].toDouble(), stop["lon"].toDouble(),
                                               ev["lat"].toDouble(), ev["lon"].toDouble());
                if (d < nearest) {
                    nearest = d;
                    recording = ev["recording"].toString();
                    offset = ev["offsetMs"].toDouble();
                }
            }
            EXPECT_LT(nearest, 30.0) << start.toStdString();
            EXPECT_TRUE(recording.endsWith(stop["recording"].toString())) << recording.toStdString();
            EXPECT_NEAR(offset, stop["offsetMs"].toDouble(), 1000);
        }
    }
}

TEST_F(TripsCard, SecondRunReadsNothingAndFilesSayTheSame) {
    trips("");
    const fs::path gpx = s_dir->path() / "trips.gpx", csv = s_dir->path() / "trips.csv";
    const std::string env = "XDG_CONFIG_HOME=" + shellQuoted(s_dir->path() / "config") +
                            " XDG_DATA_HOME=" + shellQuoted(s_dir->path() / "data") + " ";
    const ShellResult again =
        runShell(env + builtProgram("quillent-tool") + " trips " + shellQuoted(s_dir->path() / "card") +
                 " --gpx " + shellQuoted(gpx) + " --csv " + shellQuoted(csv));
    ASSERT_EQ(again.exitCode, 0) << again.output;
    EXPECT_NE(again.output.find(" 0 read, "), std::string::npos) << again.output;
    EXPECT_TRUE(fs::exists(s_dir->path() / "data" / "Quillent" / "trips.sqlite"));

    // GPX: one track per trip, a waypoint per placed event; CSV: one row per trip and per event.
    const QJsonArray trips = readJson(TripsCard::trips("--json"))["trips"].toArray();
    int events = 0;
    for (const auto& t : trips)
        events += t.toObject()["events"].toArray().size();
    QFile file(QString::fromStdString(gpx.string()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    int tracks = 0, waypoints = 0;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            tracks += xml.name() == QLatin1String("trk");
            waypoints += xml.name() == QLatin1String("wpt");
        }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(tracks, trips.size());
    EXPECT_EQ(waypoints, events);
    const std::string table = ReadText(csv);
    int tripRows = 0, eventRows = 0;
    for (size_t at = 0; (at = table.find('\n', at)) != std::string::npos; ++at) {
        tripRows += table.compare(at + 1, 5, "trip,") == 0;
        eventRows += table.compare(at + 1, 6, "event,") == 0;
    }
    EXPECT_EQ(tripRows, trips.size());
    EXPECT_EQ(eventRows, events);

    // Bad arguments get a clear message and the usage exit code.
    EXPECT_EQ(runShell(builtProgram("quillent-tool") + " trips").exitCode, 2);
    const ShellResult missing =
        runShell(builtProgram("quillent-tool") + " trips " + shellQuoted(s_dir->path() / "nope"));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.output.find("is no folder"), std::string::npos);
}

} // namespace
