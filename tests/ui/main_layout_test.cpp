// Main window geometry: LayoutPanels at the smallest and a larger size, the caption buttons and
// the edge/title hit test.
#include "ui/app/MainLayout.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

namespace {
LayoutInput input(int w, int h) {
    LayoutInput in;
    in.client = QSize(w, h);
    in.scrollBarWidth = 17;
    return in;
}
} // namespace

TEST(MainLayoutTest, SmallestWindowMatchesTheDesignedNumbers) {
    const MainLayout l = layoutPanels(input(1200, 628));
    EXPECT_EQ(l.a, 429);
    EXPECT_EQ(l.hh, 245);
    EXPECT_EQ(l.hb, 241);
    // (a - 4) * 9 / 16 = 239 < hb: the cell keeps the column width and is centred vertically.
    EXPECT_EQ(l.dx, 0);
    EXPECT_EQ(l.dy, 2);
    EXPECT_EQ(l.vw, 425);
    EXPECT_EQ(l.vh, 239);
    EXPECT_EQ(l.browser, QRect(3, 530, 1194, 95));
    EXPECT_EQ(l.screens[0], QRect(6, 38, 425, 239));
    EXPECT_EQ(l.screens[2], QRect(435, 38, 425, 239));
    EXPECT_EQ(l.screens[1], QRect(6, 283, 425, 239));
    EXPECT_EQ(l.screens[3], QRect(0, 0, 0, 0));
    EXPECT_EQ(l.rightX, 864);
    EXPECT_EQ(l.rightWidth, 330);
    EXPECT_EQ(l.fileMenu, QRect(864, 37, 330, 58));
    EXPECT_EQ(l.fileList, QRect(864, 95, 330 - 17 - 1, 183));
    EXPECT_EQ(l.listScrollBar, QRect(864 + 330 - 17 + 5, 95, 17, 183));
    EXPECT_EQ(l.accelerometer, QRect(864, 282, 330, 241));
    EXPECT_EQ(l.gsensor, QRect(435, 282, 425, 118));
    EXPECT_EQ(l.speed, QRect(435, 404, 425, 118));
    EXPECT_EQ(l.map, QRect(864, 68, 312, 210));
    EXPECT_EQ(l.closeButton, QRect(1165, 0, 38, 33));
    EXPECT_EQ(l.maximiseButton, QRect(1135, 0, 38, 33));
    EXPECT_EQ(l.minimiseButton, QRect(1105, 0, 38, 33));
}

TEST(MainLayoutTest, WideWindowShrinksCellsToSixteenByNine) {
    // 1920 x 700: a = 789, hh = 281, hb = 277 < (785 * 9 / 16 = 441): width shrinks.
    const MainLayout l = layoutPanels(input(1920, 700));
    EXPECT_EQ(l.a, 789);
    EXPECT_EQ(l.dx, 785 - 277 * 16 / 9);
    EXPECT_EQ(l.dy, 0);
    EXPECT_EQ(l.vw, 789 - l.dx - 4);
    EXPECT_EQ(l.vh, l.vw * 9 / 16);
    EXPECT_LE(l.vh, l.hb);
    EXPECT_EQ(l.screens[0].topLeft(), QPoint(l.dx / 2 + 6, 37));
    EXPECT_EQ(l.screens[2].topLeft(), QPoint(l.dx / 2 + 789 + 6, 37));
}

TEST(MainLayoutTest, MapAndTabsFollowTheOpenRecording) {
    LayoutInput in = input(1200, 628);
    in.engineOpen = true;
    in.channelCount = 2;
    EXPECT_EQ(layoutPanels(in).map, QRect(435, 37, 425, 241)); // top right video cell

    // The cells of channels the recording lacks are left out: no empty grey pictures.
    const struct {
        bool open;
        int channels;
        std::array<bool, 3> placed;
    } cells[] = {{false, 0, {true, true, true}}, {true, 1, {true, false, false}},
                 {true, 2, {true, true, false}}, {true, 3, {true, true, true}}};
    for (const auto& c : cells) {
        LayoutInput cellsIn = input(1200, 628);
        cellsIn.engineOpen = c.open;
        cellsIn.channelCount = c.channels;
        const MainLayout l = layoutPanels(cellsIn);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(!l.screens[i].isEmpty(), c.placed[i]) << c.channels << " channels, screen " << i;
    }

    in.channelCount = 3;
    in.mapShown = true;
    const MainLayout three = layoutPanels(in);
    EXPECT_EQ(three.fileMenu.height(), 30);
    EXPECT_EQ(three.map, QRect(864, 68, 312, 210));

    in.mapDocked = false;
    const MainLayout floating = layoutPanels(in);
    EXPECT_EQ(floating.fileMenu.height(), 58);
    EXPECT_TRUE(floating.map.isNull());
}

TEST(MainLayoutTest, FloatingPanelsAreNotPlaced) {
    LayoutInput in = input(1200, 628);
    in.screenDocked[1] = false;
    in.gsensorDocked = false;
    in.speedDocked = false;
    in.accelerometerDocked = false;
    const MainLayout l = layoutPanels(in);
    EXPECT_TRUE(l.screens[1].isNull());
    EXPECT_FALSE(l.screens[0].isNull());
    EXPECT_TRUE(l.gsensor.isNull());
    EXPECT_TRUE(l.speed.isNull());
    EXPECT_TRUE(l.accelerometer.isNull());
}

TEST(MainLayoutTest, HitTestTable) {
    const QSize c(1200, 628);
    struct Case {
        QPoint p;
        WindowHit hit;
    } cases[] = {
        {{0, 0}, WindowHit::TopLeft},      {{2, 2}, WindowHit::TopLeft},
        {{1, 627}, WindowHit::BottomLeft}, {{0, 300}, WindowHit::Left},
        {{1199, 0}, WindowHit::TopRight},  {{1197, 626}, WindowHit::BottomRight},
        {{1198, 300}, WindowHit::Right},   {{600, 1}, WindowHit::Top},
        {{600, 625}, WindowHit::Bottom},   {{600, 3}, WindowHit::Caption},
        {{3, 32}, WindowHit::Caption},     {{600, 33}, WindowHit::Client},
        {{1196, 300}, WindowHit::Client},  {{3, 624}, WindowHit::Client},
    };
    for (const Case& k : cases)
        EXPECT_EQ(hitTestWindow(k.p, c, false), k.hit) << k.p.x() << "," << k.p.y();
    // Maximised: neither moved nor resized.
    for (const Case& k : cases)
        EXPECT_EQ(hitTestWindow(k.p, c, true), WindowHit::Client);
}

// "Swap screens" and the two arrangements: the main channel sits in the top left cell (or the
// large one), the others follow in order, every cell is 16:9, no two overlap and nothing covers a
// data panel. The equal grid leaves the data panels where they are; the big arrangement ("main
// channel large", or a one-channel recording) gives the main channel at least one and a half
// times a cell's area and moves the G-sensor and speed panels beside or below it.
TEST(MainLayoutTest, MainChannelAndArrangementsMoveOnlyTheScreens) {
    struct Case {
        QSize client;
        bool engineOpen;
        int channels;
        int mainScreen;
        bool mainLarge;
        int expectedMain;
    } cases[] = {
        {{1200, 628}, false, 0, 0, false, 0}, {{1200, 628}, false, 0, 1, false, 1},
        {{1200, 628}, true, 3, 2, false, 2},  {{1200, 628}, true, 3, 4, false, 1},
        {{1200, 628}, true, 2, 1, false, 1},  {{1200, 628}, true, 2, 2, false, 0},
        {{1200, 628}, true, 1, 2, false, 0},  {{1200, 628}, true, 3, 0, true, 0},
        {{1200, 628}, true, 3, 1, true, 1},   {{1920, 1050}, true, 3, 2, true, 2},
        {{1920, 1050}, true, 2, 1, true, 1},  {{1600, 700}, false, 0, 0, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.client.width() << "x" << c.client.height() << " ch " << c.channels << " main "
                     << c.mainScreen << " large " << c.mainLarge);
        LayoutInput in = input(c.client.width(), c.client.height());
        in.engineOpen = c.engineOpen;
        in.channelCount = c.channels;
        in.mapShown = true;
        const MainLayout grid = layoutPanels(in);
        in.mainScreen = c.mainScreen;
        in.mainLarge = c.mainLarge;
        const MainLayout l = layoutPanels(in);

        const bool big = c.mainLarge || (c.engineOpen && c.channels == 1);
        EXPECT_EQ(l.accelerometer, grid.accelerometer);
        if (!big) {
            EXPECT_EQ(l.gsensor, grid.gsensor);
            EXPECT_EQ(l.speed, grid.speed);
            EXPECT_EQ(l.map, grid.map);
        } else {
            const QRect main = l.screens[c.expectedMain];
            EXPECT_GE(main.width() * main.height(), 3 * grid.vw * grid.vh / 2);
            EXPECT_GE(l.speed.width(), 300);
            EXPECT_GE(l.gsensor.width(), 300);
            EXPECT_FALSE(l.gsensor.intersects(l.speed) || l.gsensor.intersects(l.map) ||
                         l.speed.intersects(l.map) || l.speed.intersects(l.browser));
        }
        EXPECT_EQ(l.screens[3], QRect(0, 0, 0, 0));
        const int shown = c.engineOpen ? c.channels : 3;
        for (int i = 0; i < 3; ++i) {
            const QRect r = l.screens[i];
            EXPECT_LE(std::abs(r.height() - r.width() * 9 / 16), 1) << i;
            EXPECT_FALSE(r.intersects(l.gsensor) || r.intersects(l.speed) || r.intersects(l.accelerometer) ||
                         r.intersects(l.browser) || r.intersects(l.fileList))
                << i;
            if (i >= shown)
                continue;
            if (c.engineOpen && c.channels == 2) {
                EXPECT_FALSE(r.intersects(l.map)) << i;
            }
            EXPECT_TRUE(QRect(6, 37, 2 * l.a - 4, 2 * l.hh - 4).contains(r)) << i;
            for (int j = i + 1; j < shown; ++j)
                EXPECT_FALSE(r.intersects(l.screens[j])) << i << " " << j;
            if (i == c.expectedMain) {
                // The main channel has the top left place; large, it is wider than each other one.
                EXPECT_LT(r.top(), grid.hh + 37); // in the top row
                if (!c.mainLarge) {
                    EXPECT_EQ(r, grid.screens[0]);
                }
            } else if (c.mainLarge) {
                EXPECT_LT(r.width() * 2, l.screens[c.expectedMain].width() + 8) << i;
            } else {
                EXPECT_EQ(r.size(), grid.screens[0].size()) << i;
            }
        }
    }
}
