// The print report window in the real web engine, headless: every page function fills its part of
// the page (pictures, facts, address from a local geocoding service, map path and marker, graphs,
// memo), Korean captions, and "Save as PDF" writes one A4 page whose rendering shows the pictures
// and the map's path.
#include "WindowTestApp.h"
#include "tests/support/LocalHttpServer.h"
#include "ui/page/BrowserHost.h"
#include "ui/dataout/PrintReportWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>

namespace {

QApplication& app() {
    return windowTestApp(QUILLENT_BUILT_SKIN, QUILLENT_BUILT_CONFIG);
}

QString picture(const QString& path, QColor colour, QSize size = QSize(640, 360)) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    EXPECT_TRUE(img.save(path));
    return path;
}

struct ReportFixture {
    QTemporaryDir dir;
    LocalServer server;
    DataOutCommands::PrintJob job;
    PrintReportWindow::Content content;
    ReverseGeocoder::Options geocoder;

    ReportFixture() {
        server.routes["/ajax/geo"] = {200, QByteArray("서울특별시 강남구 테헤란로 1")};
        const QString base = dir.filePath(QStringLiteral("shot #1"));
        picture(base + "_1.jpg", QColor(220, 30, 30));
        picture(base + "_2.jpg", QColor(30, 200, 40));
        picture(base + "_3.jpg", QColor(40, 40, 220));
        job.imageCount = 3;
        job.imageBase = base;
        job.fileName = QStringLiteral("RTC20240101_101530.qmv");
        job.company = QStringLiteral("Acme Logistics");
        job.vehicle = QStringLiteral("12가 3456");
        job.driver = QStringLiteral("Kim <b>");
        job.positionMs = 83'000;
        ReportMoment& m = content.moment;
        m.hasPosition = true;
        m.latitude = 37.5;
        m.longitude = 127.0;
        m.speedKnots = 10;
        m.timeText = "2024-01-01 10:15:30";
        for (int i = 0; i < 20; ++i)
            m.track.emplace_back(37.49 + i * 0.001, 126.99 + i * 0.0008);
        content.speedUnit = 1;
        content.speedGraph =
            picture(dir.filePath(QStringLiteral("speed.png")), QColor(250, 200, 0), {400, 120});
        content.gsensorGraph =
            picture(dir.filePath(QStringLiteral("g.png")), QColor(250, 200, 0), {400, 120});
        geocoder.kind = ReverseGeocoder::Kind::Service;
        geocoder.serviceHost = server.url(QString());
    }
};

TEST(printReport, PageFunctionsFillTheReportAndThePdfShowsIt) {
    app();
    ReportFixture f;
    ReverseGeocoder geocoder(f.geocoder);
    PrintReportWindow dlg(f.job, f.content, geocoder);
    QSignalSpy filled(&dlg, &PrintReportWindow::reportFilled);
    dlg.show();
    ASSERT_TRUE(filled.wait(30000));
    dlg.memo()->setText(QStringLiteral("Scratch on the rear bumper"));

    QWebEnginePage* page = dlg.page()->page();
    const QString facts =
        runScript(page, QStringLiteral("['fileName','company','vehicle','driver','position','speed','date',"
                                       "'location','address','memo'].map(function(id){"
                                       "return document.getElementById(id).textContent;}).join('|')"))
            .toString();
    EXPECT_EQ(facts,
              QStringLiteral("RTC20240101_101530.qmv|Acme Logistics|12가 3456|Kim <b>|01:23|18.52 [Km/h]|"
                             "2024-01-01 10:15:30|37.500000, 127.000000|서울특별시 강남구 테헤란로 1|"
                             "Scratch on the rear bumper"));
    EXPECT_EQ(runScript(page, QStringLiteral(
                                  "Array.from(document.querySelectorAll('#pictures img'))"
                                  ".filter(function(i){return i.complete && i.naturalWidth===640;}).length"))
                  .toInt(),
              3);
    EXPECT_TRUE(
        runScript(page, QStringLiteral("document.getElementById('map').classList.contains('drawn') && "
                                       "document.querySelectorAll('#map path').length >= 2"))
            .toBool());
    EXPECT_FALSE(runScript(page, QStringLiteral("document.getElementById('graphs').hidden")).toBool());
    ASSERT_EQ(f.server.requests.size(), 1u);
    EXPECT_EQ(f.server.requests[0], "/ajax/geo?lat=37.500000&lng=127.000000");

    const QString pdf = f.dir.filePath(QStringLiteral("report.pdf"));
    QSignalSpy saved(&dlg, &PrintReportWindow::pdfSaved);
    dlg.savePdf(pdf);
    ASSERT_TRUE(saved.wait(30000));
    EXPECT_TRUE(saved[0][1].toBool());

    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    ASSERT_TRUE(info.waitForFinished(30000)) << "pdfinfo (poppler-utils) is needed";
    EXPECT_TRUE(
        QString::fromLatin1(info.readAll()).contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
    QProcess render;
    const QString prefix = f.dir.filePath(QStringLiteral("page"));
    render.start(QStringLiteral("pdftoppm"),
                 {"-png", "-r", "50", "-f", "1", "-l", "1", "-singlefile", pdf, prefix});
    ASSERT_TRUE(render.waitForFinished(60000)) << "pdftoppm (poppler-utils) is needed";
    ASSERT_EQ(render.exitCode(), 0);
    const QImage shown(prefix + ".png");
    ASSERT_FALSE(shown.isNull());
    // The three pictures, the map's path (#0078c8) and the graph pictures are on the page.
    int red = 0, green = 0, blue = 0, path = 0, graph = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QColor c = shown.pixelColor(x, y);
            auto near = [&](int r, int g, int b) {
                return std::abs(c.red() - r) < 30 && std::abs(c.green() - g) < 30 &&
                       std::abs(c.blue() - b) < 30;
            };
            red += near(220, 30, 30);
            green += near(30, 200, 40);
            blue += near(40, 40, 220);
            path += near(0, 120, 200);
            graph += near(250, 200, 0);
        }
    EXPECT_GT(red, 500);
    EXPECT_GT(green, 500);
    EXPECT_GT(blue, 500);
    EXPECT_GT(path, 30);
    EXPECT_GT(graph, 200);

    // A PDF that cannot be written is not left half-written.
    saved.clear();
    dlg.savePdf(f.dir.filePath(QStringLiteral("missing/report.pdf")));
    ASSERT_TRUE(saved.wait(30000));
    EXPECT_FALSE(saved[0][1].toBool());
    EXPECT_FALSE(QFileInfo::exists(f.dir.filePath(QStringLiteral("missing"))));
}

TEST(printReport, KoreanCaptionsAndAReportWithoutNetworkOrPosition) {
    app();
    WriteSetting("Installer Language", "1042");
    ReportFixture f;
    f.content.moment = ReportMoment{};
    f.content.speedGraph.clear();
    f.content.gsensorGraph.clear();
    f.geocoder.serviceHost = QStringLiteral("http://127.0.0.1:%1").arg(closedPort());
    ReverseGeocoder geocoder(f.geocoder);
    PrintReportWindow dlg(f.job, f.content, geocoder);
    EXPECT_EQ(dlg.printButton()->text(), QStringLiteral("인쇄"));
    EXPECT_EQ(dlg.closeButton()->text(), QStringLiteral("닫기"));
    EXPECT_EQ(dlg.memoLabel()->text(), QStringLiteral("메모"));
    QSignalSpy filled(&dlg, &PrintReportWindow::reportFilled);
    dlg.show();
    ASSERT_TRUE(filled.wait(30000));
    QWebEnginePage* page = dlg.page()->page();
    EXPECT_EQ(runScript(page, QStringLiteral("document.getElementById('title').textContent")).toString(),
              QStringLiteral("운행 기록 보고서"));
    EXPECT_EQ(runScript(page, QStringLiteral("document.getElementById('address').textContent + '|' + "
                                             "document.getElementById('graphs').hidden + '|' + "
                                             "document.querySelectorAll('#pictures img').length"))
                  .toString(),
              QStringLiteral("|true|3"));
    WriteSetting("Installer Language", "1033");
}

} // namespace
