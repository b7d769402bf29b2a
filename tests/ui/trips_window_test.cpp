// The trips window over a generated card of several drives, in the real main window and web engine:
// the skin's "btnTrips" opens it, it indexes the card in the background and lists every drive with
// the generator's distance; a click on a route point (the page's own click handling, through the
// real bridge) opens the right recording at the right moment, an event marker opens its moment,
// "Recordings near here" answers from the index, filters hide trips and the shown trips are saved
// as GPX and CSV. The page's export request is parsed strictly.
#include "WindowTestApp.h"

#include "ui/app/MainWindow.h"
#include "ui/page/BrowserHost.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/playback/Player.h"
#include "ui/playback/WindowPlayback.h"
#include "ui/trips/RecordingJump.h"
#include "ui/trips/TripsPageData.h"
#include "ui/trips/TripsWindow.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace fs = std::filesystem;

namespace {

constexpr int kDrives = 3;

QJsonObject pageState(TripsWindow& w) {
    return QJsonDocument::fromJson(runScript(w.view()->page(), "tripsState()").toString().toUtf8()).object();
}

template <class Check> bool waitUntil(Check check, int limitMs = 30000) {
    for (int waited = 0; waited < limitMs; waited += 50) {
        if (check())
            return true;
        QTest::qWait(50);
    }
    return check();
}

class TripsWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        QApplication* a = ensureTestApp();
        (void)a;
        BrowserHost::setSkinFolder(QStringLiteral(QUILLENT_BIN_DIR "/skin"));
        static QTemporaryDir home;
        SetSettingsDirectoryForTesting((home.path() + "/settings").toStdString());
        // The index goes to the test's own data folder, never the user's.
        qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
        LoadViewerConfigFile(QUILLENT_BIN_DIR "/viewerconfig.cfg", ViewerConfig::Instance());
        s_card = new QString(home.path() + "/card");
        QProcess gen;
        gen.start(QStringLiteral(QUILLENT_BIN_DIR "/quillent-samplecard"),
                  {*s_card, "--drives", QString::number(kDrives), "--clip-seconds", "20"});
        ASSERT_TRUE(gen.waitForFinished(120000));
        ASSERT_EQ(gen.exitCode(), 0) << gen.readAllStandardError().toStdString();
        s_session = new PlaybackSession;
        s_window = new MainWindow(*s_session, {*s_card});
        QSignalSpy opened(&s_window->playback()->player(), &Player::openFinished);
        s_window->show();
        ASSERT_TRUE(opened.wait(60000));
    }

    // Opens the trips window through the skin's command and waits until the index is up to date
    // and the page shows what it holds.
    TripsWindow* openTrips() {
        s_window->runPageCommand(QStringLiteral("btnTrips"), 0);
        auto* w = s_window->findChild<TripsWindow*>();
        if (!w)
            return nullptr;
        EXPECT_TRUE(waitUntil([&] { return !w->isIndexing() && w->isPageReady(); }, 90000));
        EXPECT_TRUE(
            waitUntil([&] { return pageState(*w)["trips"].toArray().size() == int(w->trips().size()); }));
        return w;
    }

    // Clicks where the page says `point` of `recording` is, as a user's click there, and waits
    // for the recording to open and seek; the position it reaches.
    qint64 clickRoute(TripsWindow& w, int recording, int point, qint64* expected) {
        const QStringList xy =
            runScript(w.view()->page(), QStringLiteral("tripPointOf(%1,%2,17)").arg(recording).arg(point))
                .toString()
                .split(',');
        EXPECT_EQ(xy.size(), 2);
        QSignalSpy arrived(&w.jump(), &RecordingJump::arrived);
        const QString hit =
            runScript(w.view()->page(), QStringLiteral("clickAt(%1,%2)").arg(xy.value(0), xy.value(1)))
                .toString();
        EXPECT_FALSE(hit.isEmpty());
        *expected = hit.section(',', 1).toLongLong();
        EXPECT_EQ(hit.section(',', 0, 0).toInt(), recording) << hit.toStdString();
        EXPECT_TRUE(arrived.wait(30000));
        // Well under the time playing from the start would take to get there.
        waitUntil([&] { return std::abs(int64_t(s_session->positionMs()) - *expected) < 1000; }, 3000);
        return s_session->positionMs();
    }

    static inline QString* s_card = nullptr;
    static inline PlaybackSession* s_session = nullptr;
    static inline MainWindow* s_window = nullptr;
};

TEST_F(TripsWindowTest, DrivesListedAndAClickOpensThatMoment) {
    TripsWindow* w = openTrips();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->card(), fs::path(CardKey(s_card->toStdString())));

    // Every drive of the generator is listed with its distance within 2 %.
    const QJsonArray drives =
        QJsonDocument::fromJson(QByteArray::fromStdString(readFile(s_card->toStdString() + "/drives.json")))
            .object()["drives"]
            .toArray();
    ASSERT_EQ(drives.size(), kDrives);
    const QJsonObject state = pageState(*w);
    const QJsonArray listed = state["trips"].toArray();
    EXPECT_EQ(state["listItems"].toInt(), state["shownTrips"].toInt());
    EXPECT_GT(state["routes"].toInt(), 0);
    EXPECT_GE(state["markers"].toInt(), 2 * kDrives);
    int driveTrip = -1;
    for (const auto& d : drives) {
        const QJsonObject drive = d.toObject();
        const int64_t start =
            QDateTime::fromString(drive["start"].toString(), Qt::ISODate).toMSecsSinceEpoch();
        int found = -1;
        for (int i = 0; i < listed.size(); ++i)
            if (int64_t(listed[i].toObject()["start"].toDouble()) == start)
                found = i;
        ASSERT_GE(found, 0) << drive["start"].toString().toStdString();
        const double expected = drive["distanceM"].toDouble();
        EXPECT_NEAR(listed[found].toObject()["distanceM"].toDouble(), expected, expected * 0.02);
        EXPECT_TRUE(listed[found].toObject()["shown"].toBool());
        EXPECT_EQ(listed[found].toObject()["events"].toArray()[0].toInt(), 2); // two hard stops
        driveTrip = found;
    }

    // With the last drive chosen in the list (the same road was driven on another day), a click
    // on a point in the middle of its second recording opens that recording there.
    runScript(w->view()->page(),
              QStringLiteral("document.querySelector('.item[data-trip=\"%1\"]').click()").arg(driveTrip));
    EXPECT_EQ(pageState(*w)["selected"].toInt(), driveTrip);
    const Trip& trip = w->trips()[size_t(driveTrip)];
    ASSERT_GE(trip.recordings.size(), 2u);
    const size_t rec = trip.recordings[1];
    const IndexedRecording& target = w->recordings()[rec];
    ASSERT_GT(target.track.size(), 4u);
    const int point = int(target.track.size() / 2);
    qint64 expected = 0;
    const qint64 reached = clickRoute(*w, int(rec), point, &expected);
    EXPECT_EQ(fs::path(s_session->recording().path), fs::path(target.path));
    EXPECT_NEAR(double(expected), double(target.track[size_t(point)].offsetMs), 250);
    EXPECT_NEAR(double(reached), double(expected), 1000);

    // Another recording of the same drive, clicked while this one plays, replaces it.
    const size_t other = trip.recordings[0];
    const int middle = int(w->recordings()[other].track.size() / 2);
    const qint64 reached2 = clickRoute(*w, int(other), middle, &expected);
    EXPECT_EQ(fs::path(s_session->recording().path), fs::path(w->recordings()[other].path));
    EXPECT_NEAR(double(reached2), double(expected), 1000);

    // An event marker opens its own moment; the index finds the recordings near a hard stop.
    size_t withEvent = 0;
    for (size_t i : trip.recordings)
        if (!w->recordings()[i].events.empty() && w->recordings()[i].events[0].hasPlace)
            withEvent = i;
    const DrivingEvent& event = w->recordings()[withEvent].events[0];
    const QStringList xy = runScript(w->view()->page(), QStringLiteral("eventPointOf(%1,0)").arg(withEvent))
                               .toString()
                               .split(',');
    ASSERT_EQ(xy.size(), 2);
    QSignalSpy arrived(&w->jump(), &RecordingJump::arrived);
    const QString hit =
        runScript(w->view()->page(), QStringLiteral("clickAt(%1,%2)").arg(xy[0], xy[1])).toString();
    EXPECT_EQ(hit, QStringLiteral("%1,%2").arg(withEvent).arg(event.offsetMs));
    ASSERT_TRUE(arrived.wait(30000));
    EXPECT_EQ(fs::path(s_session->recording().path), fs::path(w->recordings()[withEvent].path));

    const QJsonObject stop = drives[0].toObject()["hardBraking"].toArray()[0].toObject();
    const QString near = QStringLiteral("window.external.DoHandler('tripsNear','%1,%2,40')")
                             .arg(stop["lat"].toDouble(), 0, 'f', 6)
                             .arg(stop["lon"].toDouble(), 0, 'f', 6);
    runScript(w->view()->page(), near);
    EXPECT_TRUE(waitUntil([&] { return pageState(*w)["near"].toInt() >= 1; }));

    // Filters: a day after every drive hides them all; back again, GPX and CSV of what is shown.
    runScript(w->view()->page(), "document.getElementById('from').value='2099-01-01';"
                                 "document.getElementById('from').dispatchEvent(new Event('change'))");
    EXPECT_EQ(pageState(*w)["shownTrips"].toInt(), 0);
    runScript(w->view()->page(), "document.getElementById('from').value='';"
                                 "document.getElementById('from').dispatchEvent(new Event('change'))");
    const int shown = pageState(*w)["shownTrips"].toInt();
    const int byTrip = pageState(*w)["routes"].toInt();
    runScript(w->view()->page(), "document.getElementById('colour').value='speed';"
                                 "document.getElementById('colour').dispatchEvent(new Event('change'))");
    EXPECT_GT(pageState(*w)["routes"].toInt(), 0); // one line per speed band, and the chosen trip's outline
    EXPECT_NE(pageState(*w)["routes"].toInt(), byTrip);
    EXPECT_EQ(shown, int(w->trips().size()));
    QTemporaryDir out;
    QStringList told;
    w->setMessageShower([&](const QString& text, bool) { told << text; });
    w->setSaveChooser([&](const QString& proposed, const QString&) {
        return out.filePath(QFileInfo(proposed).fileName());
    });
    runScript(w->view()->page(), "document.getElementById('btnGpx').click()");
    runScript(w->view()->page(), "document.getElementById('btnCsv').click()");
    ASSERT_TRUE(waitUntil([&] { return told.size() >= 2; }));
    const std::string gpx = readFile(out.filePath("trips.gpx").toStdString());
    int tracks = 0;
    for (size_t p = 0; (p = gpx.find("<trk>", p)) != std::string::npos; ++p)
        ++tracks;
    EXPECT_EQ(tracks, shown);
    EXPECT_NE(readFile(out.filePath("trips.csv").toStdString()).find("\ntrip,"), std::string::npos);
}

TEST(TripsPageData, ExportRequestsAreReadStrictly) {
    struct Case {
        const char* text;
        bool valid;
        std::vector<size_t> trips;
        std::array<bool, 4> types;
    };
    const Case cases[] = {
        {"gpx;0,2;braking,speeding", true, {0, 2}, {true, false, false, true}},
        {"CSV;1,1,0", true, {0, 1}, {true, true, true, true}},
        {"csv;;", true, {}, {false, false, false, false}},
        {"gpx;3", false, {}, {}},   // no such trip
        {"gpx;-1", false, {}, {}},  // no such trip
        {"kml;0", false, {}, {}},   // no such format
        {"gpx;0,x", false, {}, {}}, // not a number
        {"", false, {}, {}},
    };
    for (const Case& c : cases) {
        const auto r = parseTripsExport(QString::fromLatin1(c.text), 3);
        ASSERT_EQ(r.has_value(), c.valid) << c.text;
        if (!r)
            continue;
        EXPECT_EQ(r->trips, c.trips) << c.text;
        EXPECT_EQ(r->eventTypes, c.types) << c.text;
    }

    // The selection keeps the chosen trips with only their recordings and the shown event types.
    std::vector<IndexedRecording> recs(3);
    for (size_t i = 0; i < recs.size(); ++i) {
        recs[i].name = "R" + std::to_string(i);
        recs[i].events = {DrivingEvent{DrivingEventType::Braking}, DrivingEvent{DrivingEventType::Speeding}};
    }
    std::vector<Trip> trips(2);
    trips[0].recordings = {0, 1};
    trips[1].recordings = {2};
    const auto request = parseTripsExport(QStringLiteral("gpx;1;speeding"), trips.size());
    ASSERT_TRUE(request);
    const TripsExportData data = selectForExport(*request, trips, recs);
    ASSERT_EQ(data.trips.size(), 1u);
    ASSERT_EQ(data.recordings.size(), 1u);
    EXPECT_EQ(data.recordings[0].name, "R2");
    EXPECT_EQ(data.trips[0].recordings, std::vector<size_t>{0});
    ASSERT_EQ(data.recordings[0].events.size(), 1u);
    EXPECT_EQ(data.recordings[0].events[0].type, DrivingEventType::Speeding);
    EXPECT_EQ(data.trips[0].eventCounts[size_t(DrivingEventType::Speeding)], 1);
    EXPECT_EQ(data.trips[0].eventCounts[size_t(DrivingEventType::Braking)], 0);
}

} // namespace
