// The speed, G-sensor and accelerometer panels: their renderers checked pixel by pixel at the
// coordinates the panel geometry gives, and the widgets following a playback session, headless.
#include "OpenTestApp.h"

#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"
#include "ui/widgets/SkinButton.h"
#include "ui/widgets/WindowPlacement.h"
#include "ui/panels/AccelerometerPanel.h"
#include "ui/panels/GsensorPanel.h"
#include "ui/panels/SpeedPanel.h"
#include "ui/map/ConnectivityMonitor.h"
#include "ui/panels/DataPanelSet.h"
#include "ui/map/MapSource.h"
#include "ui/render/GsensorHistoryRenderer.h"
#include "ui/render/AccelerometerRenderer.h"
#include "ui/render/GsensorGraphRenderer.h"
#include "ui/render/PanelPainting.h"
#include "ui/render/SpeedGraphRenderer.h"
#include "ui/playback/PlaybackSession.h"

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

std::vector<CGpsData> gpsWithSpeeds(std::initializer_list<float> knots) {
    std::vector<CGpsData> out;
    for (float k : knots) {
        CGpsData s;
        s.speed = k;
        out.push_back(s);
    }
    return out;
}

CGsensorData g(float x, float y, float z, float sum = 0) {
    CGsensorData s;
    s.x = x;
    s.y = y;
    s.z = z;
    s.magnitude = sum;
    return s;
}

template <class Renderer>
QImage draw(const Renderer& r, QSize size, int64_t positionMs, bool backgroundOnly = false) {
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    if (backgroundOnly)
        r.paintBackground(p, size);
    else
        r.paint(p, size, positionMs);
    return image;
}

QColor at(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}

class DataPanels : public ::testing::Test {
protected:
    void SetUp() override { ensureTestApp(); }
};

} // namespace

// W = 645, H = 235: plot width P = 588, usable height G = 190, horizontal axis at y = 205.
constexpr QSize kSpeedSize(645, 235);

TEST_F(DataPanels, SpeedFullScaleFollowsTheUnitAndThePeak) {
    struct Case {
        float peakKnots;
        int unit;
        int fullScale;
    } cases[] = {
        {20, 1, 110},  {20, 2, 60}, {20, 3, 60}, {20, 7, 60}, // the 50-knot floor
        {100, 1, 220},                                        // 185.2 km/h x 1.2 = 222.24
        {100, 3, 120},
    };
    for (const Case& c : cases) {
        SpeedGraphRenderer r;
        r.setData(gpsWithSpeeds({1, c.peakKnots, 3}), 10000);
        r.setUnit(c.unit);
        EXPECT_EQ(r.fullScale(), c.fullScale) << c.peakKnots << " knots, unit " << c.unit;
    }
    // Before any data there is no scale; a recording without GPS leaves none of the previous one.
    SpeedGraphRenderer r;
    EXPECT_EQ(r.fullScale(), 0);
    r.setData(gpsWithSpeeds({100}), 1000);
    r.setData({}, 1000);
    EXPECT_EQ(r.fullScale(), 0);
}

TEST_F(DataPanels, SpeedCurveTicksPositionLineAndText) {
    SpeedGraphRenderer r;
    r.setData(gpsWithSpeeds({0, 10, 20, 30, 40}), 10000); // km/h: full scale 110, 5 ticks of 38 px
    const QImage image = draw(r, kSpeedSize, 5000);

    // Last sample: 40 kn = 74.08 km/h at 1.9 px per km/h -> (628, trunc(205 - 140.75) = 64).
    EXPECT_EQ(at(image, 628, 64), panelcolors::kSpeedCurve);
    // Vertical ticks at 205 - 38k, from x 35 to 40; nothing between them.
    for (int y : {167, 129, 91, 53, 15})
        EXPECT_EQ(at(image, 39, y), panelcolors::kAxis) << y;
    EXPECT_EQ(at(image, 39, 166), panelcolors::kBackground);
    // Ticks on the time axis at 40 + 294 and 40 + 588, y 200..210.
    EXPECT_EQ(at(image, 334, 208), panelcolors::kAxis);
    EXPECT_EQ(at(image, 628, 208), panelcolors::kAxis);
    // Position line: x = 588 / 10000 x 5000 + 40 = 334, from y 10 to 200.
    EXPECT_EQ(at(image, 334, 12), panelcolors::kPosition);
    EXPECT_EQ(at(image, 335, 12), panelcolors::kBackground);
    // The speed text at a position past the end shows the last sample.
    EXPECT_FLOAT_EQ(r.speedAt(50000), 40 * 1.852f);
    EXPECT_EQ(r.speedAt(0), 0);

    // Clicks: x = 40 seeks to 0, the middle to half, the right end (== duration) sends nothing.
    EXPECT_EQ(r.seekPosition({40, 100}, kSpeedSize), 0);
    EXPECT_EQ(r.seekPosition({340, 100}, kSpeedSize), 5000);
    EXPECT_EQ(r.seekPosition({640, 100}, kSpeedSize), std::nullopt);
    EXPECT_EQ(r.seekPosition({39, 100}, kSpeedSize), std::nullopt);
    EXPECT_EQ(r.seekPosition({100, 206}, kSpeedSize), std::nullopt); // below the axis
}

// A recording cut short: 12 s of pictures, 30 s of records a second apart. The panel shows the
// sample recorded after the position (as the page does) and draws nothing past the range.
TEST_F(DataPanels, CutShortRecordingsShowTheirSamplesAtTheirRecordTimes) {
    std::vector<CGpsData> gps;
    std::vector<uint32_t> times;
    for (int i = 0; i < 30; ++i) {
        CGpsData s;
        s.speed = static_cast<float>(i); // the speed says which sample it is
        gps.push_back(s);
        times.push_back(static_cast<uint32_t>(i * 1000 + 500));
    }
    SpeedGraphRenderer r;
    r.setData(gps, 11800, times);
    r.setUnit(3);
    EXPECT_FLOAT_EQ(r.speedAt(7500), 8); // recorded at 8.5 s; spread evenly it was sample 19
    EXPECT_FLOAT_EQ(r.speedAt(60000), 11); // the last one drawn, not the last recorded
    EXPECT_EQ(r.fullScale(), 60);           // the 50-knot floor: the 29-knot tail is not drawn

    // Sample 8 (8.5 s of 11.8 s) is drawn at x = 40 + 588 x 8500 / 11800 = 463.
    const QImage image = draw(r, kSpeedSize, 0, true);
    bool curveNear = false;
    for (int y = 0; y < 206; ++y)
        curveNear = curveNear || at(image, 463, y) == panelcolors::kSpeedCurve;
    EXPECT_TRUE(curveNear);

    // The G-sensor panels take the same times: the value shown is the one recorded after 7.5 s.
    std::vector<CGsensorData> gs;
    for (int i = 0; i < 30; ++i)
        gs.push_back(g(0.1f * i, 0, 0));
    GsensorGraphRenderer graph;
    graph.setData(&gs, 11800, &times);
    AccelerometerRenderer ball;
    ball.setData(&gs, 11800, &times);
    EXPECT_EQ(ball.trail(7500).back(), 8);
    EXPECT_EQ(ball.trail(60000).back(), 11);
}

// "Mile/h" and the widest unit texts end inside the panel at its docked widths.
TEST_F(DataPanels, SpeedTextWithItsUnitFitsThePanel) {
    for (int unit : {1, 2, 3}) {
        for (int width : {330, 425, 645}) {
            SpeedGraphRenderer r;
            r.setData(gpsWithSpeeds({100}), 1000);
            r.setUnit(unit);
            const QSize size(width, 118);
            const QImage image = draw(r, size, 0);
            // Something of the text reaches the right part, and the last columns stay empty.
            for (int y = 118 - 20; y < 118; ++y)
                for (int x = width - 3; x < width; ++x)
                    EXPECT_EQ(at(image, x, y), panelcolors::kBackground) << unit << " " << width;
        }
    }
}

TEST_F(DataPanels, SpeedInKnotsDrawsTheTopTickOneSpacingAboveTheHeight) {
    SpeedGraphRenderer r;
    r.setData(gpsWithSpeeds({0, 100}), 1000);
    r.setUnit(3); // full scale 120: 13 ticks (120 / 9) spaced G / 12
    const QImage image = draw(r, kSpeedSize, 0);
    EXPECT_EQ(at(image, 39, 205 - 190), panelcolors::kAxis); // tick 12 at the usable height
    EXPECT_EQ(at(image, 39, 0), panelcolors::kAxis);         // tick 13: trunc(205 - 205.8) = 0
}

TEST_F(DataPanels, SpeedEdgeCasesOneSampleAndNone) {
    SpeedGraphRenderer one;
    one.setData(gpsWithSpeeds({10}), 1000);
    // 18.52 km/h x 1.9 px = 35.19 -> y 169, at x 40 instead of a division by zero.
    EXPECT_EQ(at(draw(one, kSpeedSize, 0, true), 40, 169), panelcolors::kSpeedCurve);

    SpeedGraphRenderer none;
    const QImage image = draw(none, kSpeedSize, 500);
    EXPECT_EQ(none.speedAt(500), 0);
    EXPECT_EQ(none.seekPosition({100, 100}, kSpeedSize), std::nullopt);
    // No position line, no curve: the plot is background apart from the axes. A recording
    // without GPS has a length but no samples: no position line either.
    SpeedGraphRenderer noGps;
    noGps.setData({}, 10000);
    const QImage withoutGps = draw(noGps, kSpeedSize, 5000);
    for (int x = 41; x < 600; ++x) {
        EXPECT_EQ(at(image, x, 100), panelcolors::kBackground) << x;
        EXPECT_EQ(at(withoutGps, x, 100), panelcolors::kBackground) << x;
    }
    // The label "0" sits at (10, H - 37): some text pixels in its cell.
    bool label = false;
    for (int y = 198; y < 216 && !label; ++y)
        for (int x = 10; x < 22 && !label; ++x)
            label = at(image, x, y) != panelcolors::kBackground;
    EXPECT_TRUE(label);
}

TEST_F(DataPanels, GsensorRangeAndTextSample) {
    EXPECT_EQ(gsensorRange({g(0.2f, 0.3f, 0.9f, 0.99f)}), 2); // floor 1.0 -> trunc(1.5) + 1
    EXPECT_EQ(gsensorRange({g(1.4f, 0, 0)}), 2);
    EXPECT_EQ(gsensorRange({g(0, 0, 0, 1.5f)}), 3);
    EXPECT_EQ(gsensorRange({g(-3, -3, -3)}), 2); // only positive peaks count
    EXPECT_EQ(gsensorRange({}), 2);

    // 1000 samples over 10 s: a new sample every 10 ms; the text is one sample ahead.
    struct Case {
        int64_t position;
        int index;
    } cases[] = {
        {1230, 123}, // 30 in 26..41: p = 1229
        {1226, 123}, {1241, 125}, {1242, 125}, {1250, 126}, {1225, 123}, {0, 1}, {9999, 999}, {20000, 999},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gsensorTextSampleIndex(c.position, 1000, 10000), c.index) << c.position;
    EXPECT_EQ(gsensorTextSampleIndex(100, 0, 10000), -1);
    EXPECT_EQ(gsensorTextSampleIndex(100, 10, 0), -1);
}

TEST_F(DataPanels, GsensorCurvesAxesAndPositionLine) {
    // W = 645, H = 220: zero line y0 = 110, P = 588, s = trunc(200 x 0.95) x 0.5 / 2 = 47.5 px per G.
    const QSize size(645, 220);
    std::vector<CGsensorData> samples{g(0, 0, 0), g(1, -1, 0.5f), g(0, 0, 0)};
    GsensorGraphRenderer r;
    r.setData(&samples, 2000);
    EXPECT_EQ(r.range(), 2);
    const QImage curves = draw(r, size, 0, true);
    // Sample 1 at x = 40 + 294: X at 110 - 47.5, Y at 110 + 47.5, Z at 110 - 23.75.
    EXPECT_EQ(at(curves, 334, 62), panelcolors::kX);
    EXPECT_EQ(at(curves, 334, 157), panelcolors::kY);
    EXPECT_EQ(at(curves, 334, 86), panelcolors::kZ);

    const QImage image = draw(r, size, 1000);
    EXPECT_EQ(at(image, 300, 110), panelcolors::kAxis); // zero line
    for (int y : {62, 157}) // the +-1G ticks (the +-2G ones sit under their labels)
        EXPECT_EQ(at(image, 39, y), panelcolors::kAxis) << y;
    EXPECT_EQ(at(image, 334, 20), panelcolors::kPosition); // x = 588 / 2000 x 1000 + 40
    EXPECT_EQ(r.clampPosition(5000), 1999);
    EXPECT_EQ(r.seekPosition({340, 100}, size), 1000);
    EXPECT_EQ(r.seekPosition({340, 5}, size), std::nullopt);

    // No samples: no duration, so no position line and no seeks.
    GsensorGraphRenderer empty;
    std::vector<CGsensorData> none;
    empty.setData(&none, 2000);
    EXPECT_EQ(empty.durationMs(), 0);
    EXPECT_EQ(empty.seekPosition({340, 100}, size), std::nullopt);
    EXPECT_EQ(at(draw(empty, size, 1000), 334, 20), panelcolors::kBackground);

    // One sample: at x = 40.
    std::vector<CGsensorData> single{g(1, 0, 0)};
    GsensorGraphRenderer one;
    one.setData(&single, 1000);
    EXPECT_EQ(at(draw(one, size, 0, true), 40, 62), panelcolors::kX);
}

TEST_F(DataPanels, AccelerometerTrailDotsAndClamping) {
    // W = 260, H = 270: a 200-pixel square at (30, 30), centre (130, 130).
    const QSize size(260, 270);
    std::vector<CGsensorData> samples;
    for (int i = 0; i < 11; ++i)
        samples.push_back(g(0, 0.2f * (i - 5), 0)); // dots 20 px apart from left to right
    AccelerometerRenderer r;
    r.setData(&samples, 1100);

    EXPECT_EQ(r.trail(0), std::vector<int>{0}); // position 0: only the current dot
    EXPECT_EQ(r.trail(1000).size(), 11u);
    EXPECT_EQ(r.trail(1000).back(), 10);

    const QImage image = draw(r, size, 1000);
    EXPECT_EQ(at(image, 230, 130), QColor(255, 17, 17)); // current dot, radius 10
    EXPECT_EQ(at(image, 130, 130), QColor(75, 25, 25));  // j = 5
    EXPECT_EQ(at(image, 170, 130), QColor(105, 35, 35)); // j = 7
    EXPECT_EQ(at(image, 30, 130), QColor(0, 0, 0));      // j = 0, the oldest

    // X = 3 G moves the dot down, held on the ring's edge (offset 100 of a 200 side).
    std::vector<CGsensorData> hard{g(3, -5, 0)};
    AccelerometerRenderer clamp;
    clamp.setData(&hard, 1000);
    EXPECT_EQ(clamp.dotCentre(0, size), QPoint(30, 230));

    // Samples without a duration: no trail at all.
    AccelerometerRenderer noDuration;
    noDuration.setData(&samples, 0);
    EXPECT_TRUE(noDuration.trail(500).empty());
}

TEST_F(DataPanels, PanelsFollowTheSessionCacheTheirCurvesAndSeek) {
    PlaybackSession session;
    SpeedPanel speed;
    GsensorPanel gsensor;
    AccelerometerPanel ball;
    speed.resize(kSpeedSize);
    gsensor.resize(645, 220);
    ball.resize(260, 270);
    for (DataPanel* panel : std::initializer_list<DataPanel*>{&speed, &gsensor, &ball}) {
        panel->setSession(&session);
        panel->show();
    }

    RecordingData data;
    data.gps = gpsWithSpeeds({0, 10, 20, 30, 40});
    for (int i = 0; i < 100; ++i)
        data.gsensor.push_back(g(0.01f * i, 0, 0));
    OpenRecording rec;
    rec.trackRangeMs = 10000;
    session.open(rec, std::move(data));
    EXPECT_EQ(speed.renderer().sampleCount(), 5);
    EXPECT_EQ(gsensor.renderer().durationMs(), 10000);

    const QImage first = speed.grab().toImage();
    EXPECT_EQ(at(first, 628, 64), panelcolors::kSpeedCurve);
    const int builds = speed.backgroundBuilds();
    session.publishPosition(5000);
    EXPECT_EQ(speed.position(), 5000);
    EXPECT_EQ(ball.position(), 5000);
    const QImage moved = speed.grab().toImage();
    EXPECT_EQ(speed.backgroundBuilds(), builds); // a tick does not redraw the curve
    EXPECT_EQ(at(moved, 334, 12), panelcolors::kPosition);
    session.publishPosition(60000);
    EXPECT_EQ(gsensor.position(), 9999); // held before the end

    speed.setUnit(2);
    speed.grab();
    EXPECT_EQ(speed.backgroundBuilds(), builds + 1); // the unit changes the curve

    QSignalSpy seeks(&session, &PlaybackSession::seekRequested);
    QTest::mouseClick(&speed, Qt::LeftButton, {}, QPoint(340, 100));
    QTest::mouseClick(&gsensor, Qt::LeftButton, {}, QPoint(40, 100));
    QTest::mouseClick(&ball, Qt::LeftButton, {}, QPoint(130, 130)); // the ball does not seek
    ASSERT_EQ(seeks.size(), 2);
    EXPECT_EQ(seeks[0][0].toLongLong(), 5000);
    EXPECT_EQ(seeks[1][0].toLongLong(), 0);

    QSignalSpy dock(&speed, &DataPanel::dockToggleRequested);
    QTest::mouseDClick(&speed, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(dock.size(), 1);

    session.close();
    EXPECT_EQ(speed.renderer().sampleCount(), 0);
    EXPECT_EQ(gsensor.renderer().durationMs(), 0);
    EXPECT_EQ(speed.position(), 0);
}

TEST_F(DataPanels, GsensorWindowsDrawTheFirstMinuteAndToggleTogether) {
    // 8-bit counts: 0.65625 px per count; 10-bit (mode 2 first): 0.1640625. x = 54 + t x 0.008.
    std::vector<RawGsensorSample> raw{
        {0, 0, 0, 0, 0}, {10, -10, 20, 0, 30000}, {0, 0, 0, 0, 60000}, {80, 80, 80, 0, 60001}};
    GsensorHistoryRenderer r;
    QImage image(550, 290, QImage::Format_RGB32);
    {
        QPainter p(&image);
        r.paint(p, image.size(), raw);
    }
    EXPECT_EQ(at(image, 294, 157), QColor(0, 255, 0)); // x: 164 - 6.56
    EXPECT_EQ(at(image, 294, 170), QColor(255, 0, 0)); // y: 164 + 6.56
    EXPECT_EQ(at(image, 294, 150), QColor(0, 0, 255)); // z: 164 - 13.1
    raw[0].mode = 2;
    EXPECT_DOUBLE_EQ(GsensorHistoryRenderer::countScale(raw), 0.1640625);
    // Past the minute nothing is drawn: a sample at 60001 ms would climb to y 111.
    for (int y = 100; y < 150; ++y)
        EXPECT_NE(at(image, 534, y), QColor(0, 255, 0)) << y;

    QWidget mainWindow;
    ConnectivityMonitor monitor;
    DataPanelSet panels(&mainWindow, &monitor);
    PlaybackSession session;
    panels.setSession(&session);
    panels.toggleGsensorWindows();
    ASSERT_NE(panels.gsensorWindow(), nullptr);
    EXPECT_TRUE(panels.gsensorWindow()->isVisible());
    EXPECT_TRUE(panels.accelerometerWindow()->isVisible());
    EXPECT_EQ(panels.gsensorWindow()->size(), QSize(550, 290));
    EXPECT_EQ(panels.gsensorWindow()->closeButton()->geometry(), QRect(476, 8, 65, 28));
    QSignalSpy notify(&panels, &DataPanelSet::gsensorWindowsClosed);
    panels.accelerometerWindow()->closeButton()->click();
    ASSERT_EQ(notify.size(), 1);
    session.open(OpenRecording{}, RecordingData{}); // another recording hides them
    EXPECT_FALSE(panels.gsensorWindow()->isVisible());
    EXPECT_FALSE(panels.accelerometerWindow()->isVisible());
    panels.toggleGsensorWindows();
    EXPECT_TRUE(panels.gsensorWindow()->isVisible());
    panels.toggleGsensorWindows();
    EXPECT_FALSE(panels.gsensorWindow()->isVisible());

    // Shown, they stand side by side on the screen, never over each other; idle hides them.
    panels.toggleGsensorWindows();
    const QRect a = panels.gsensorWindow()->geometry(), b = panels.accelerometerWindow()->geometry();
    const QRect screen = AvailableGeometryOf(&mainWindow);
    EXPECT_NE(a.topLeft(), b.topLeft());
    if (screen.width() >= a.width() + b.width() + 4) // a screen with room for both
        EXPECT_FALSE(a.intersects(b)) << a.x() << "," << a.y() << " / " << b.x() << "," << b.y();
    EXPECT_TRUE(screen.contains(a) && screen.contains(b));
    session.close(); // Esc, the end of the list or a pulled card
    EXPECT_FALSE(panels.gsensorWindow()->isVisible());
    EXPECT_FALSE(panels.accelerometerWindow()->isVisible());
}

// Where windows of the program go: beside or below the main window while the screen has room, else
// at the screen's right edge below the title band; never with the title bar off every screen.
TEST_F(DataPanels, FloatingWindowsOpenBesideTheMainWindowWithTheirTitleOnAScreen) {
    const QRect laptop(0, 0, 1366, 740), wide(0, 0, 1920, 1050);
    const QRect main(0, 0, 1200, 628);
    const QSize popup(550, 290);
    const struct {
        QRect available;
        QRect anchor;
        int index;
        int count;
        QRect expected;
    } cases[] = {
        {wide, main, 0, 1, QRect(QPoint(1204, 0), popup)},                   // right of it
        {wide, QRect(700, 0, 1200, 628), 0, 1, QRect(QPoint(146, 0), popup)}, // left of it
        {wide, QRect(0, 0, 700, 600), 1, 2, QRect(QPoint(1258, 0), popup)},   // a row right of it
        {wide, main, 0, 2, QRect(QPoint(0, 632), popup)},                   // a row does not fit: below
        {wide, main, 1, 2, QRect(QPoint(554, 632), popup)},
        {laptop, main, 0, 2, QRect(QPoint(1366 - 550, 40), popup)}, // no room: at the edge
        {laptop, main, 1, 2, QRect(QPoint(1366 - 1104, 40), popup)}, // the twin beside it
    };
    for (const auto& c : cases) {
        const QRect r = PlaceBeside(c.anchor, popup, c.available, c.index, c.count);
        EXPECT_EQ(r, c.expected) << c.index << " of " << c.count << " on " << c.available.width();
        EXPECT_TRUE(c.available.contains(r));
        if (c.index == 1) // never over its twin
            EXPECT_FALSE(r.intersects(PlaceBeside(c.anchor, popup, c.available, 0, c.count)));
    }
    // A title bar above the screen or on a screen that went is brought back; one on a screen stays.
    const QList<QRect> screens{QRect(0, 0, 1366, 740)};
    EXPECT_EQ(KeepOnScreens(QRect(0, -24, 642, 265), screens), QRect(0, 0, 642, 265));
    EXPECT_EQ(KeepOnScreens(QRect(2000, 100, 642, 265), screens).topLeft(), QPoint(1366 - 642, 100));
    EXPECT_EQ(KeepOnScreens(QRect(100, 100, 642, 265), screens), QRect(100, 100, 642, 265));
    // The print window fits a laptop's height (the page scrolls), and keeps its size on a large screen.
    EXPECT_EQ(FitToScreen(QSize(860, 900), laptop, QMargins(1, 24, 1, 1)), QSize(860, 740 - 25));
    EXPECT_EQ(FitToScreen(QSize(860, 900), QRect(0, 0, 1920, 1050), QMargins(1, 24, 1, 1)), QSize(860, 900));

    // The map's float button: the panel opens beside or over the main window, title bar on screen.
    QWidget mainWindow;
    mainWindow.setGeometry(0, 0, 1200, 628);
    mainWindow.show();
    ConnectivityMonitor monitor;
    DataPanelSet panels(&mainWindow, &monitor);
    panels.dockOrFloat(DataPanelSet::Which::Speed);
    QWidget* speed = panels.panel(DataPanelSet::Which::Speed);
    ASSERT_TRUE(speed->isWindow());
    const QRect screen = AvailableGeometryOf(&mainWindow);
    EXPECT_GE(speed->geometry().top(), screen.top() + 20); // room for its title bar above it
    EXPECT_TRUE(screen.contains(speed->geometry()));
    EXPECT_NE(speed->geometry().topLeft(), QPoint(0, 0));
    panels.dockAll();
}

TEST_F(DataPanels, PanelTextsFollowTheProgramLanguage) {
    QTemporaryDir settings;
    SetSettingsDirectoryForTesting(settings.path().toStdString());
    WriteSetting("Installer Language", "1042");
    ASSERT_TRUE(LoadViewerConfigFile(QUILLENT_SOURCE_DIR "/viewerconfig.cfg", ViewerConfig::Instance()));
    EXPECT_EQ(panelText("PANEL_SPEED", "SPEED"), QString::fromUtf8("속도"));
    EXPECT_EQ(SpeedPanel().windowTitle(), QString::fromUtf8("속도"));
    EXPECT_EQ(GsensorPanel().windowTitle(), QString::fromUtf8("G-센서"));
    EXPECT_EQ(panelText("PANEL_ACCELEROMETER", "ACCELEROMETER"), QString::fromUtf8("가속도계"));
    EXPECT_EQ(panelText("MAP_KIND_CHINA", ""), QString::fromUtf8("중국 본토 지도"));
    ViewerConfig::Release();
    EXPECT_EQ(panelText("PANEL_SPEED", "SPEED"), "SPEED"); // no configuration: the design's text
}
