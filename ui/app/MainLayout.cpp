#include "ui/app/MainLayout.h"

#include <algorithm>
#include <optional>

namespace {

// The largest 16:9 rectangle inside `area`, centred in it.
QRect fitSixteenNine(const QRect& area) {
    int width = area.width();
    int height = width * 9 / 16;
    if (height > area.height()) {
        height = area.height();
        width = height * 16 / 9;
    }
    return QRect(area.x() + (area.width() - width) / 2, area.y() + (area.height() - height) / 2, width,
                 height);
}

// The big arrangement's places. Alone, the main channel stands over a strip as high as the speed
// panel that holds the G-sensor and speed panels side by side. With other channels, the G-sensor
// and speed panels stand in a column right of it, and the strip below holds the other channels
// left to right, then a two-channel recording's map (as large as a small channel).
struct StripPlaces {
    std::array<QRect, 3> screens; // by slot: 0 the main channel
    QRect map;                    // null unless a two-channel recording's map is docked
    QRect gsensor;
    QRect speed;
};

StripPlaces placeStrip(const MainLayout& o, const LayoutInput& in, int shown) {
    StripPlaces s;
    const QRect area(6, 37, 2 * o.a - 4, 2 * o.hh - 4); // the four cells of the equal grid
    if (shown <= 1) {
        const int height = o.hh / 2 - 4;
        const int top = area.bottom() + 1 - height;
        s.screens[0] = fitSixteenNine(QRect(area.x(), area.y(), area.width(), area.height() - height - 4));
        const int half = area.width() / 2;
        s.gsensor = QRect(area.x(), top, half - 2, height);
        s.speed = QRect(area.x() + half + 2, top, area.width() - half - 2, height);
        return s;
    }
    const int column = std::max(300, area.width() * 3 / 10);
    const int mainWidth = area.width() - column - 4;
    s.screens[0] = QRect(area.x(), area.y(), mainWidth, mainWidth * 9 / 16);
    const int half = s.screens[0].height() / 2;
    s.gsensor = QRect(area.x() + mainWidth + 4, area.y(), column, half - 2);
    s.speed = QRect(area.x() + mainWidth + 4, area.y() + half + 2, column, s.screens[0].height() - half - 2);
    const int top = s.screens[0].bottom() + 5;
    const int height = area.bottom() + 1 - top;
    const int smallWidth = std::min({height * 16 / 9, (area.width() - 8) / 3, mainWidth / 2 - 4});
    int x = area.x();
    for (int slot = 1; slot < 3; ++slot) {
        s.screens[slot] = slot < shown ? fitSixteenNine(QRect(x, top, smallWidth, height)) : QRect();
        x += smallWidth + 4;
    }
    if (in.engineOpen && in.channelCount == 2 && in.mapDocked)
        s.map = QRect(area.x() + smallWidth + 4, top, smallWidth, height);
    return s;
}

} // namespace

void placeCaptionButtons(int w, MainLayout& out) {
    out.closeButton = QRect(w - 35, 0, 38, 33);
    out.maximiseButton = QRect(w - 65, 0, 38, 33);
    out.minimiseButton = QRect(w - 95, 0, 38, 33);
}

MainLayout layoutPanels(const LayoutInput& in) {
    MainLayout o;
    const int w = in.client.width();
    const int h = in.client.height();
    const int sb = in.scrollBarWidth;

    o.browser = QRect(3, h - kPlayerBarHeight, w - 6, kPlayerBarHeight - 3);

    o.a = (w - 342) / 2;
    o.hh = (h - 138) / 2;
    o.hb = o.hh - 4;

    // Fit the cells to 16:9 inside a column of width a and a half height.
    const int c = (o.a - 4) * 9 / 16;
    o.dx = o.hb < c ? (o.a - 4) - o.hb * 16 / 9 : 0;
    o.dy = o.hb > c ? o.hb - c : 0;
    o.vw = o.a - o.dx - 4;
    o.vh = o.vw * 9 / 16;

    const int sx = o.dx / 2;
    const int sy = o.dy / 2;
    const QRect cells[4] = {
        QRect(sx + 6, sy + 37, o.vw, o.vh),
        QRect(sx + 6, sy + o.hh + 37, o.vw, o.vh),
        QRect(sx + o.a + 6, sy + 37, o.vw, o.vh),
        QRect(sx + 6, sy + o.hh + 37, o.vw, o.vh),
    };
    // The channels on screen: those of the open recording (up to three), all three without one.
    const int shown = in.engineOpen && in.channelCount > 0 ? std::min(in.channelCount, 3) : 3;
    const int first = ((in.mainScreen % shown) + shown) % shown;
    std::array<QRect, 3> places{cells[0], cells[1], cells[2]};
    // "Main channel large", and a recording with one channel, use the big arrangement: the main
    // channel takes the video area above a strip that holds the other channels, a two-channel
    // recording's map and the G-sensor and speed panels.
    const bool oneChannel = in.engineOpen && in.channelCount == 1;
    std::optional<StripPlaces> strip;
    if (in.mainLarge || oneChannel) {
        strip = placeStrip(o, in, shown);
        places = strip->screens;
    }
    for (int i = 0; i < 3; ++i) {
        // Channel i of the shown ones sits in slot (i - first) mod shown: the main cell is slot 0.
        const int slot = i < shown ? (i - first + shown) % shown : i;
        // A channel the open recording lacks gets no cell: no empty grey picture stands there.
        const bool unused = in.engineOpen && in.channelCount > 0 && i >= shown;
        o.screens[i] = in.screenDocked[i] && !unused ? places[slot] : QRect();
    }
    o.screens[3] = QRect(0, 0, 0, 0); // the fourth screen is never shown docked

    o.rightX = 2 * o.a + 6;
    o.rightWidth = (w - 12) - 2 * o.a;
    const bool threeChannelMap = in.mapShown && in.engineOpen && in.channelCount == 3 && in.mapDocked;
    o.fileMenu = QRect(o.rightX, 37, o.rightWidth, threeChannelMap ? 30 : 58);
    o.fileList = QRect(o.rightX, 95, o.rightWidth - sb - 1, o.hh - 62);
    o.listScrollBar = QRect(o.rightX + o.rightWidth - sb + 5, 95, sb, o.hh - 62);

    if (in.accelerometerDocked)
        o.accelerometer = QRect(o.rightX, o.hh + 37, o.rightWidth, o.hb);
    if (in.gsensorDocked)
        o.gsensor = strip ? strip->gsensor : QRect(o.a + 6, o.hh + 37, o.a - 4, o.hh / 2 - 4);
    if (in.speedDocked)
        o.speed = strip ? strip->speed : QRect(o.a + 6, o.hh / 2 + o.hh + 37, o.a - 4, o.hh / 2 - 4);
    if (in.mapDocked) {
        if (strip && !strip->map.isNull())
            o.map = strip->map;
        else if (in.engineOpen && in.channelCount == 2)
            o.map = QRect(o.a + 6, 37, o.a - 4, o.hb);
        else
            o.map = QRect(o.rightX, 68, o.rightWidth - sb - 1, o.hh - 35);
    }
    placeCaptionButtons(w, o);
    return o;
}

WindowHit hitTestWindow(QPoint p, QSize client, bool maximised) {
    if (maximised)
        return WindowHit::Client;
    const bool left = p.x() < kResizeBand;
    const bool right = p.x() >= client.width() - kResizeBand;
    const bool top = p.y() < kResizeBand;
    const bool bottom = p.y() >= client.height() - kResizeBand;
    if (left)
        return top ? WindowHit::TopLeft : bottom ? WindowHit::BottomLeft : WindowHit::Left;
    if (right)
        return top ? WindowHit::TopRight : bottom ? WindowHit::BottomRight : WindowHit::Right;
    if (top)
        return WindowHit::Top;
    if (bottom)
        return WindowHit::Bottom;
    if (p.y() < kTitleHeight)
        return WindowHit::Caption;
    return WindowHit::Client;
}
