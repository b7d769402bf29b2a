// What an evidence clip is asked to hold: typed times, the range from A-B points or an event mark,
// the recordings that cover it across joins and damage, the layouts' geometry and the options that
// are remembered.
#include "core/clips/ClipLayout.h"
#include "core/clips/ClipOptions.h"
#include "core/clips/ClipRange.h"
#include "core/config/Settings.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

std::vector<ClipSource> threeRecordings() {
    return {{"A.qmv", 60000, false}, {"B.qmv", 60000, true}, {"C.qmv", 45000, false}};
}

} // namespace

TEST(ClipRequest, TypedTimes) {
    const struct {
        const char* text;
        std::optional<int64_t> ms;
    } cases[] = {
        {"75", 75000},          {"75.5", 75500},          {"1:15", 75000},
        {"1:15.250", 75250},    {"0:01:15", 75000},       {"2:00:00", 7200000},
        {"0.001", 1},           {"", std::nullopt},       {"-1", std::nullopt},
        {"1:60", std::nullopt}, {"1.5:10", std::nullopt}, {"1:2:3:4", std::nullopt},
        {"abc", std::nullopt},  {"1.", std::nullopt},     {"1:", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseClipTime(c.text), c.ms) << c.text;
    EXPECT_EQ(FormatClipTime(75250), "1:15.250");
    EXPECT_EQ(FormatClipTime(7201000), "2:00:01.000");
}

TEST(ClipRequest, RecordingsCoveringTheRange) {
    const auto sources = threeRecordings();
    struct Piece {
        size_t source;
        int64_t from, to, offset;
        bool operator==(const Piece&) const = default;
    };
    const struct {
        const char* name;
        ClipRange range;
        std::vector<Piece> pieces;
        const char* error; // part of the message, or empty
        int64_t endMs;     // of the plan's range
    } cases[] = {
        {"inside one", {10000, 20000}, {{0, 10000, 20000, 0}}, "", 20000},
        {"across the join", {55000, 65000}, {{0, 55000, 60000, 0}, {1, 0, 5000, 5000}}, "", 65000},
        {"ends on a join", {50000, 60000}, {{0, 50000, 60000, 0}}, "", 60000},
        {"past a cut-short recording", {100000, 130000}, {{1, 40000, 60000, 0}}, "", 120000},
        {"after the damage", {125000, 130000}, {{2, 5000, 10000, 0}}, "", 130000},
        {"outside", {160000, 170000}, {}, "lies outside the recordings (0:00.000 to 2:45.000)", 170000},
        {"before the start", {-1000, 5000}, {}, "lies outside", 5000},
        {"empty", {5000, 5000}, {}, "is empty", 5000},
        {"too short", {5000, 5100}, {}, "shorter than", 5100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ClipPlan plan = PlanClip(sources, c.range);
        std::vector<Piece> pieces;
        for (const ClipPiece& p : plan.pieces)
            pieces.push_back({p.source, p.fromMs, p.toMs, p.clipOffsetMs});
        EXPECT_EQ(pieces, c.pieces);
        EXPECT_NE(plan.error.find(c.error), std::string::npos) << plan.error;
        EXPECT_EQ(plan.ok(), std::string(c.error).empty());
        EXPECT_EQ(plan.range.toMs, c.endMs);
    }
    EXPECT_EQ(PlanClip(sources, {100000, 130000}).damage,
              "B.qmv is cut short at 1:00.000 (damaged); the clip stops there");
}

TEST(ClipRequest, RangesFromThePlayer) {
    // A-B points of the second recording, in either order.
    EXPECT_EQ(RangeFromRepeatPoints(60000, 9000, 2000).fromMs, 62000);
    EXPECT_EQ(RangeFromRepeatPoints(60000, 9000, 2000).toMs, 69000);
    // An event mark with seconds around it stays on the time line.
    EXPECT_EQ(RangeAroundMark(30000, 10, 165000).fromMs, 20000);
    EXPECT_EQ(RangeAroundMark(30000, 10, 165000).toMs, 40000);
    EXPECT_EQ(RangeAroundMark(4000, 10, 165000).fromMs, 0);
    EXPECT_EQ(RangeAroundMark(160000, 10, 165000).toMs, 165000);
}

TEST(ClipRequest, LayoutsKeepTheirCellsInThePicture) {
    const struct {
        ClipLayoutKind kind;
        std::vector<int> channels;
        int height;
        bool mainLarge;
        size_t cells;
        bool overlapping; // picture-in-picture lays channels over the main one
    } cases[] = {
        {ClipLayoutKind::One, {1}, 720, false, 1, false},
        {ClipLayoutKind::SideBySide, {0, 1}, 720, false, 2, false},
        {ClipLayoutKind::SideBySide, {0, 1, 2}, 1080, false, 3, false},
        {ClipLayoutKind::Grid, {0, 1, 2}, 720, false, 3, false},
        {ClipLayoutKind::Grid, {0, 1, 2, 3}, 1080, false, 4, false},
        {ClipLayoutKind::PictureInPicture, {0, 1, 2}, 720, false, 3, true},
        {ClipLayoutKind::Player, {2, 0, 1}, 720, false, 3, false},
        {ClipLayoutKind::Player, {2, 0, 1}, 720, true, 3, false},
        {ClipLayoutKind::Player, {0}, 1080, true, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(ClipLayoutName(c.kind)) + " " + std::to_string(c.channels.size()));
        const ClipGeometry g = LayoutClip(c.kind, c.channels, c.height, c.mainLarge);
        EXPECT_EQ(g.canvas, c.height == 720 ? QSize(1280, 720) : QSize(1920, 1080));
        ASSERT_EQ(g.cells.size(), c.cells);
        EXPECT_EQ(g.cells[0].channel, c.channels[0]);
        bool overlap = false;
        for (size_t i = 0; i < g.cells.size(); ++i) {
            const QRect r = g.cells[i].rect;
            EXPECT_TRUE(QRect(QPoint(0, 0), g.canvas).contains(r)) << i;
            EXPECT_EQ(r.width() % 2 + r.height() % 2 + r.x() % 2 + r.y() % 2, 0) << i;
            EXPECT_NEAR(double(r.width()) / r.height(), 16.0 / 9.0, 0.02) << i;
            for (size_t j = 0; j < i; ++j)
                overlap = overlap || r.intersects(g.cells[j].rect);
        }
        EXPECT_EQ(overlap, c.overlapping);
    }
    // The main channel is the large one.
    const ClipGeometry large = LayoutClip(ClipLayoutKind::Player, {2, 0, 1}, 720, true);
    EXPECT_GT(large.cells[0].rect.width(), large.cells[1].rect.width() * 3 / 2);
}

TEST(ClipRequest, OptionsAreRemembered) {
    QTemporaryDir dir;
    SetSettingsDirectoryForTesting(dir.path().toStdString());
    const ClipOptions defaults = ClipOptions::load();
    EXPECT_EQ(defaults.layout, ClipLayoutKind::Player);
    EXPECT_EQ(defaults.height, 720);
    EXPECT_EQ(defaults.overlay, kOverlayDefault);

    ClipOptions o;
    o.layout = ClipLayoutKind::PictureInPicture;
    o.height = 1080;
    o.overlay = kOverlayTime | kOverlayMap;
    o.place = ClipOverlayPlace::Top;
    o.markSeconds = 25;
    o.save();
    const ClipOptions back = ClipOptions::load();
    EXPECT_EQ(back.layout, o.layout);
    EXPECT_EQ(back.height, 1080);
    EXPECT_EQ(back.overlay, o.overlay);
    EXPECT_EQ(back.place, ClipOverlayPlace::Top);
    EXPECT_EQ(back.markSeconds, 25);

    // Values edited by hand into nonsense keep the defaults.
    WriteSetting("clipheight", "999");
    WriteSetting("clipoverlay", "time,colour");
    WriteSetting("cliplayout", "mosaic");
    const ClipOptions odd = ClipOptions::load();
    EXPECT_EQ(odd.height, 720);
    EXPECT_EQ(odd.overlay, kOverlayDefault);
    EXPECT_EQ(odd.layout, ClipLayoutKind::Player);
    SetSettingsDirectoryForTesting("");

    EXPECT_EQ(ParseOverlayItems("map,time"), kOverlayTime | kOverlayMap);
    EXPECT_EQ(ParseOverlayItems("none"), 0u);
    EXPECT_EQ(OverlayItemsText(0), "none");
    EXPECT_EQ(OverlayItemsText(kOverlayDefault), "time,speed,position,gsensor");
}
