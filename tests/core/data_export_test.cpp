// Taking data out: picture names of snapshots and reports, the download of a linked recording and
// the address lookup, against an HTTP server the test runs on 127.0.0.1.
#include "core/config/ViewerConfig.h"
#include "core/network/DownloadProgress.h"
#include "core/network/DownloadTarget.h"
#include "core/network/LinkDownload.h"
#include "core/network/ReverseGeocoder.h"
#include "core/network/UrlTextFetcher.h"
#include "core/recordings/RecordingName.h"
#include "core/tools/ReportMoment.h"
#include "core/tools/SnapshotNaming.h"
#include "tests/support/LocalHttpServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

namespace {

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "data-out-test";
    static char* argv[] = {name, nullptr};
    static auto* instance = new QCoreApplication(argc, argv);
    return *instance;
}

// Runs the event loop until `done` says so; a safety limit only keeps a broken test from hanging.
void waitFor(const std::function<bool()>& done, int limitMs = 20000) {
    app();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

TEST(PictureNames, BaseNameFollowsTheCaptureFlags) {
    const std::string name = "EVENT_RTC20140512_101530_A.qmv";
    const uint64_t created = FileTimeFromUnixMs(0);
    std::string local;
    ASSERT_TRUE(FormatStamp(created, 0, true, local));
    std::string localPlus;
    ASSERT_TRUE(FormatStamp(created, 90'000, true, localPlus));
    struct Case {
        uint32_t flags;
        std::string file;
        int64_t pos;
        std::string expected;
    } cases[] = {
        {0, name, 90'000, "EVENT_RTC20140512_101530_A"},
        {kFlagAddpos, "A_20140512_101530.qmv", 90'000, "20140512_101700"},
        {kFlagAddpos, "A_20140512_101530.qmv", 0, "20140512_101530"},
        // The date is read after the first underscore: a camera name has its tag there, so the
        // name itself is used.
        {kFlagAddpos, name, 90'000, "EVENT_RTC20140512_101530_A"},
        {kFlagFiletime, name, 90'000, local},
        {kFlagFiletime | kFlagAddpos, name, 90'000, localPlus},
        {kFlagAddpos, "clip.mp4", 5000, "clip"},                          // no date: the name
        {kFlagAddpos, "RTC20141340_101530.qmv", 0, "RTC20141340_101530"}, // month 13
    };
    for (const Case& c : cases)
        EXPECT_EQ(PictureBaseName(c.flags, c.file, created, c.pos), c.expected) << c.file << " " << c.flags;
    EXPECT_EQ(ProposedSnapshotName("20140512_101700"), "20140512_101700_CHx.jpg");
}

TEST(PictureNames, ChannelFilesKeepWhatTheUserTyped) {
    const struct {
        const char* chosen;
        int channel;
        const char* expected;
    } cases[] = {
        {"/p/20140512_101700_CHx.jpg", 2, "/p/20140512_101700_CH2.jpg"}, // the proposed form
        {"/p/mine_CH9.JPG", 1, "/p/mine_CH1.jpg"},
        {"/p/photo.jpg", 1, "/p/photo_CH1.jpg"}, // not "phot1.jpg"
        {"/p/photo.jpeg", 3, "/p/photo_CH3.jpg"},
        {"/p/photo", 2, "/p/photo_CH2.jpg"},
        {"/p/a.jpg", 1, "/p/a_CH1.jpg"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SnapshotChannelPath(c.chosen, c.channel).string(), c.expected) << c.chosen;
    EXPECT_EQ(ReportPicturePath("/tmp/r", "base", 3).string(), "/tmp/r/base_3.jpg");
}

TEST(ReportMoment, TheSampleOfTheMomentWithARealCalendarTime) {
    RecordingData data;
    auto sample = [](int day, int hour, double lat, double lon, float knots, int valid) {
        CGpsData g;
        g.year = 26;
        g.month = 12;
        g.day = day;
        g.hour = hour;
        g.minute = 0;
        g.second = 9;
        g.latitude = lat;
        g.longitude = lon;
        g.speed = knots;
        g.valid = valid;
        return g;
    };
    data.gps = {sample(6, 32, 3733.6746, 12658.5326, 35.1f, 1), sample(31, 23, 0, 0, 0, 0),
                sample(31, 33, 3733.7, 12658.6, 1, 1)};
    ReportMoment m = ReportMomentAt(data, 0, 3000);
    ASSERT_TRUE(m.hasPosition);
    EXPECT_EQ(m.timeText, "2026-12-07 08:00:09"); // hour 32 of the 6th is 08:00 of the 7th
    EXPECT_NEAR(m.latitude, 37.561243, 1e-6);
    EXPECT_NEAR(m.longitude, 126.975543, 1e-6);
    EXPECT_EQ(m.track.size(), 2u); // the invalid sample is no point of the path
    EXPECT_EQ(ReportMomentAt(data, 2999, 3000).timeText, "2027-01-01 09:00:09"); // into the next year
    EXPECT_FALSE(ReportMomentAt(RecordingData{}, 0, 3000).hasPosition);

    EXPECT_EQ(FormatReportSpeed(10, 1), "18.52 [Km/h]");
    EXPECT_EQ(FormatReportSpeed(10, 2), "11.51 [Mile/h]");
    EXPECT_EQ(FormatReportSpeed(10, 3), "10.00 [Knot/h]");
}

TEST(DownloadTarget, LinkNamesCannotLeaveTheFolder) {
    const struct {
        QString link;
        QString expected;
    } cases[] = {
        {QStringLiteral("RTC20140512_101530.qmv"), QStringLiteral("RTC20140512_101530.qmv")},
        {QStringLiteral("../../.bashrc"), QStringLiteral("_._.qmv")},
        {QStringLiteral("/etc/passwd"), QStringLiteral("_etc_passwd.qmv")},
        {QStringLiteral("run.desktop"), QStringLiteral("run.qmv")},
        {QStringLiteral("clip.QMV"), QStringLiteral("clip.QMV")},
        {QStringLiteral("clip.mp4"), QStringLiteral("clip.qmv")},
        {QStringLiteral(".qmv"), QStringLiteral("download.qmv")},
        {QStringLiteral("..\\..\\x.qmv"), QStringLiteral("_._x.qmv")},
        {QStringLiteral(".hidden.qmv"), QStringLiteral("hidden.qmv")},
        {QStringLiteral("a\nb\tc\x01.qmv"), QStringLiteral("abc.qmv")},
        {QStringLiteral(".."), QStringLiteral("download.qmv")},
        {QString(), QStringLiteral("download.qmv")},
        {QStringLiteral("  녹화.qmv "), QStringLiteral("녹화.qmv")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeDownloadName(c.link), c.expected) << c.link.toStdString();

    const QString longName = SafeDownloadName(QString(300, u'가') + QStringLiteral(".qmv"));
    EXPECT_LE(longName.toUtf8().size(), kMaxDownloadNameBytes);
    EXPECT_TRUE(longName.endsWith(QLatin1String(".qmv")));
    // The cut lands on a dot before the extension: still no "..".
    EXPECT_EQ(SafeDownloadName(QString(195, u'a') + u'.' + QString(20, u'b') + QStringLiteral(".qmv")),
              QString(195, u'a') + QStringLiteral(".qmv"));

    QTemporaryDir dir;
    EXPECT_EQ(FreeTargetPath(dir.path(), QStringLiteral("a.qmv")), dir.filePath(QStringLiteral("a.qmv")));
    QFile(dir.filePath(QStringLiteral("a.qmv"))).open(QIODevice::WriteOnly);
    QFile::link(dir.filePath(QStringLiteral("nowhere")), dir.filePath(QStringLiteral("a (2).qmv")));
    EXPECT_EQ(FreeTargetPath(dir.path(), QStringLiteral("a.qmv")), dir.filePath(QStringLiteral("a (3).qmv")));
}

TEST(DownloadProgress, ReportsOnlyAfterMoreThanOneMebibyte) {
    const struct {
        int64_t body;
        int64_t expected;
        std::vector<int> reports; // intermediate percentages, in order
    } cases[] = {
        {1000, 1000, {}},
        {1'048'576, 1'048'576, {}},
        {1'048'577, 2'500'000, {41}},
        {1'048'577, 1'048'577, {99}}, // never 100 before the end
        {3'200'000, 0, {0, 0}},       // no expected size
        {5'000'000, 1000, {99, 99, 99, 99}},
    };
    for (const auto& c : cases) {
        DownloadProgress p(c.expected);
        std::vector<int> got;
        for (int64_t left = c.body; left > 0; left -= DownloadProgress::kPieceBytes)
            if (auto r = p.addPiece(std::min(left, DownloadProgress::kPieceBytes)))
                got.push_back(*r);
        EXPECT_EQ(got, c.reports) << c.body << " of " << c.expected;
        EXPECT_EQ(p.total(), c.body);
    }
}

struct DownloadRun {
    LinkDownload::Result result = LinkDownload::Result::Ok;
    std::vector<int> percents;
    bool finished = false;
};

DownloadRun download(const QString& url, const QString& target, int64_t expected,
                     bool cancelOnProgress = false) {
    DownloadRun run;
    LinkDownload d;
    QObject::connect(&d, &LinkDownload::progress, [&](int p) {
        run.percents.push_back(p);
        if (cancelOnProgress)
            d.cancel();
    });
    QObject::connect(&d, &LinkDownload::finished, [&](LinkDownload::Result r) {
        run.result = r;
        run.finished = true;
    });
    d.start(QUrl(url), target, expected);
    waitFor([&] { return run.finished; });
    return run;
}

TEST(LinkDownload, StoresWholeFilesAndLeavesNothingOnFailure) {
    app();
    LocalServer server;
    server.routes["/small.qmv"] = {200, QByteArray(1000, 's')};
    server.routes["/exact.qmv"] = {200, QByteArray(1'048'576, 'e')};
    server.routes["/plus.qmv"] = {200, QByteArray(1'048'577, 'p')};
    QTemporaryDir dir;
    using R = LinkDownload::Result;

    const QString small = dir.filePath(QStringLiteral("small.qmv"));
    DownloadRun run = download(server.url(QStringLiteral("/small.qmv")), small, 1000);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.result, R::Ok);
    EXPECT_EQ(run.percents, std::vector<int>{100});
    QFile f(small);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray(1000, 's'));

    run = download(server.url(QStringLiteral("/exact.qmv")), dir.filePath(QStringLiteral("exact.qmv")),
                   1'048'576);
    EXPECT_EQ(run.result, R::Ok);
    EXPECT_EQ(run.percents, std::vector<int>{100});
    run = download(server.url(QStringLiteral("/plus.qmv")), dir.filePath(QStringLiteral("plus.qmv")),
                   1'048'577);
    EXPECT_EQ(run.result, R::Ok);
    EXPECT_EQ(run.percents, (std::vector<int>{99, 100}));
    EXPECT_EQ(QFileInfo(dir.filePath(QStringLiteral("plus.qmv"))).size(), 1'048'577);

    const QStringList before = filesIn(dir.path());
    run = download(server.url(QStringLiteral("/missing.qmv")), dir.filePath(QStringLiteral("m.qmv")), 10);
    EXPECT_EQ(run.result, R::HttpStatus);
    run = download(QStringLiteral("http://127.0.0.1:%1/x.qmv").arg(closedPort()),
                   dir.filePath(QStringLiteral("refused.qmv")), 10);
    EXPECT_EQ(run.result, R::Network);
    run = download(server.url(QStringLiteral("/slow")), dir.filePath(QStringLiteral("slow.qmv")),
                   4 * 1024 * 1024, true);
    EXPECT_EQ(run.result, R::Cancelled);
    EXPECT_FALSE(run.percents.empty());
    run = download(QStringLiteral("file:///etc/passwd"), dir.filePath(QStringLiteral("passwd")), 0);
    EXPECT_EQ(run.result, R::BadAddress);
    run = download(server.url(QStringLiteral("/small.qmv")),
                   dir.filePath(QStringLiteral("no/such/folder.qmv")), 0);
    EXPECT_EQ(run.result, R::File);
    EXPECT_EQ(filesIn(dir.path()), before); // no partial or temporary file anywhere
}

// Starts `call` with a callback and runs the event loop until it answers; "<none>" when it never does.
QString answerOf(const std::function<void(std::function<void(const QString&)>)>& call) {
    QString text = QStringLiteral("<none>");
    bool done = false;
    call([&](const QString& t) {
        text = t;
        done = true;
    });
    waitFor([&] { return done; });
    return text;
}

QString fetch(UrlTextFetcher& fetcher, const QString& url, int timeoutMs = UrlTextFetcher::kTimeoutMs) {
    return answerOf(
        [&](UrlTextFetcher::Done done) { fetcher.FetchUrlText(QUrl(url), std::move(done), timeoutMs); });
}

namespace {

struct CheckedRun {
    LinkDownload::Result result = LinkDownload::Result::Ok;
    QString error;
    QString stored;
    bool finished = false;
};

// A download with its size cap, the link's size, and something done right after it starts.
CheckedRun checkedDownload(const QString& url, const QString& target, int64_t linkSize, int64_t cap = 0,
                           const std::function<void()>& afterStart = {}) {
    CheckedRun run;
    LinkDownload d;
    if (cap)
        d.setSizeCap(cap);
    QObject::connect(&d, &LinkDownload::finished, [&](LinkDownload::Result r) {
        run.result = r;
        run.error = d.errorText();
        run.stored = d.targetPath();
        run.finished = true;
    });
    d.start(QUrl(url), target, linkSize);
    if (afterStart)
        afterStart();
    waitFor([&] { return run.finished; });
    return run;
}

} // namespace

TEST(LinkDownload, ShortLongAndEndlessBodiesLeaveOnlyAMessage) {
    app();
    LocalServer server;
    server.routes["/half.qmv"] = {200, QByteArray(145084 / 2, 'h'), 145084};
    server.routes["/whole.qmv"] = {200, QByteArray(1000, 'w')};
    server.routes["/endless.qmv"] = {200, QByteArray(), -2, true};
    server.routes["/unsized.qmv"] = {200, QByteArray(5000, 'u'), -2};
    server.routes["/elsewhere.qmv"] = {302, QByteArray(), -1, false, "file:///etc/passwd"};
    QTemporaryDir dir;
    using R = LinkDownload::Result;
    const struct {
        const char* name;
        const char* path;
        int64_t linkSize, cap;
        R result;
        const char* says;
    } cases[] = {
        {"cut short, sized by the link", "/half.qmv", 145084, 0, R::Network, "cut short: 72542 of 145084"},
        {"cut short, sized by the server", "/half.qmv", 0, 0, R::Network, "cut short: 72542 of 145084"},
        {"the link says more", "/whole.qmv", 2000, 0, R::Network, "the link says 2000"},
        {"the link says less", "/whole.qmv", 999, 0, R::Network, "the link says 999"},
        {"no server size, short of the link's", "/unsized.qmv", 6000, 0, R::Network, "cut short: 5000 of 6000"},
        {"endless past the link's size", "/endless.qmv", 300000, 0, R::Network, "more than the 300000 bytes"},
        {"endless past the cap", "/endless.qmv", 0, 2 << 20, R::Network, "without announcing a size"},
        {"sent on to a file", "/elsewhere.qmv", 0, 0, R::BadAddress, "file:///etc/passwd, which is not a web address"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CheckedRun run =
            checkedDownload(server.url(QString::fromLatin1(c.path)), dir.filePath(QStringLiteral("x.qmv")), c.linkSize, c.cap);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.result, c.result);
        EXPECT_TRUE(run.error.contains(QString::fromLatin1(c.says))) << run.error.toStdString();
        EXPECT_FALSE(run.error.contains(QStringLiteral("302"))) << run.error.toStdString();
        EXPECT_TRUE(filesIn(dir.path()).isEmpty()) << filesIn(dir.path()).join(u' ').toStdString();
    }
    // The endless body was given up at once: the server sent little more than was taken.
    EXPECT_LT(server.endlessBytes, 16 << 20);
    // A body of the size both give is kept.
    const CheckedRun whole = checkedDownload(server.url(QStringLiteral("/whole.qmv")), dir.filePath(QStringLiteral("w.qmv")), 1000);
    EXPECT_EQ(whole.result, R::Ok) << whole.error.toStdString();
    EXPECT_EQ(QFileInfo(whole.stored).size(), 1000);
}

TEST(LinkDownload, AFileThatAppearsMeanwhileIsNeverReplaced) {
    app();
    LocalServer server;
    server.routes["/race.qmv"] = {200, QByteArray(300000, 'r')};
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("race.qmv"));
    const CheckedRun run = checkedDownload(server.url(QStringLiteral("/race.qmv")), target, 300000, 0, [&] {
        QFile other(target);
        ASSERT_TRUE(other.open(QIODevice::WriteOnly | QIODevice::NewOnly));
        other.write("mine");
    });
    ASSERT_EQ(run.result, LinkDownload::Result::Ok) << run.error.toStdString();
    EXPECT_EQ(run.stored, dir.filePath(QStringLiteral("race (2).qmv")));
    QFile mine(target);
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), QByteArray("mine"));
    EXPECT_EQ(QFileInfo(run.stored).size(), 300000);
    EXPECT_EQ(filesIn(dir.path()).size(), 2);
}

TEST(FetchUrlText, ChecksStatusBoundsTheBodyAndGivesUp) {
    app();
    LocalServer server;
    server.routes["/ajax/geo"] = {200, QByteArray("서울특별시 강남구 테헤란로 1")};
    server.routes["/error"] = {500, QByteArray("Internal error")};
    server.routes["/big"] = {200, QByteArray(500'000, 'b')};
    server.routes["/zero"] = {200, QByteArray("Main St\0garbage", 15)};
    UrlTextFetcher fetcher;
    EXPECT_EQ(fetch(fetcher, server.url(QStringLiteral("/ajax/geo?lat=1&lng=2"))),
              QStringLiteral("서울특별시 강남구 테헤란로 1"));
    EXPECT_EQ(fetch(fetcher, server.url(QStringLiteral("/error"))), QString());
    EXPECT_EQ(fetch(fetcher, server.url(QStringLiteral("/nothing"))), QString());
    EXPECT_EQ(fetch(fetcher, server.url(QStringLiteral("/big"))).size(), UrlTextFetcher::kMaxBodyBytes);
    EXPECT_EQ(fetch(fetcher, server.url(QStringLiteral("/zero"))), QStringLiteral("Main St"));
    EXPECT_EQ(fetch(fetcher, QStringLiteral("http://127.0.0.1:%1/").arg(closedPort())), QString());
    EXPECT_EQ(fetch(fetcher, server.url(QStringLiteral("/hang")), 300), QString());
    ASSERT_FALSE(server.userAgents.empty());
    EXPECT_TRUE(server.userAgents.front().startsWith("Quillent/"));
}

QString lookup(ReverseGeocoder& g, double lat, double lon) {
    return answerOf([&](ReverseGeocoder::Done done) { g.lookup(lat, lon, std::move(done)); });
}

TEST(ReverseGeocoder, AsksTheConfiguredServiceOnceAndKeepsTheAnswer) {
    app();
    LocalServer server;
    server.routes["/ajax/geo"] = {200, QByteArray("Gangnam-daero 1\n")};
    server.routes["/reverse"] = {200, QByteArray(R"({"display_name":"1 Main St, Springfield"})")};

    ReverseGeocoder::Options service;
    service.kind = ReverseGeocoder::Kind::Service;
    service.serviceHost = server.url(QString());
    ReverseGeocoder g1(service);
    EXPECT_EQ(lookup(g1, 37.5, 127.25), QStringLiteral("Gangnam-daero 1"));
    ASSERT_EQ(server.requests.size(), 1u);
    EXPECT_EQ(server.requests[0], "/ajax/geo?lat=37.500000&lng=127.250000");

    ReverseGeocoder::Options osm;
    osm.nominatimBase = server.url(QString());
    ReverseGeocoder g2(osm);
    EXPECT_EQ(lookup(g2, 1.5, 2.5), QStringLiteral("1 Main St, Springfield"));
    EXPECT_EQ(lookup(g2, 1.5, 2.5), QStringLiteral("1 Main St, Springfield")); // from the cache
    EXPECT_EQ(server.requests.size(), 2u);
    EXPECT_TRUE(server.requests[1].startsWith("/reverse?format=jsonv2&lat=1.500000&lon=2.500000"));
    EXPECT_EQ(ReverseGeocoder::NominatimAddress(R"({"error":"Unable to geocode"})"), QString());

    ReverseGeocoder::Options off;
    off.kind = ReverseGeocoder::Kind::Off;
    ReverseGeocoder g3(off);
    EXPECT_EQ(lookup(g3, 1, 2), QString());

    ReverseGeocoder paced(osm); // one request per second, each in its own slot
    EXPECT_EQ(paced.reserveSlot(10'000), 0);
    EXPECT_EQ(paced.reserveSlot(10'100), 900);
    EXPECT_EQ(paced.reserveSlot(10'200), 1800);
    EXPECT_EQ(paced.reserveSlot(20'000), 0);
}

} // namespace
