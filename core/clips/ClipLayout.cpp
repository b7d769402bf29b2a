#include "core/clips/ClipLayout.h"

#include <algorithm>

namespace {

int even(int v) {
    return v & ~1;
}

// The largest 16:9 rectangle centred in `place`, with even sides (the encoder's 4:2:0 pictures).
QRect fitSixteenNine(const QRect& place) {
    int w = place.width();
    int h = w * 9 / 16;
    if (h > place.height()) {
        h = place.height();
        w = h * 16 / 9;
    }
    w = even(w);
    h = even(h);
    return QRect(even(place.x() + (place.width() - w) / 2), even(place.y() + (place.height() - h) / 2), w, h);
}

} // namespace

QSize ClipCanvasSize(int height) {
    if (height <= 0)
        height = 720;
    height = even(std::clamp(height, 144, 2160));
    return QSize(even(height * 16 / 9), height);
}

ClipGeometry LayoutClip(ClipLayoutKind kind, const std::vector<int>& channels, int height,
                        bool playerMainLarge) {
    ClipGeometry g;
    g.canvas = ClipCanvasSize(height);
    const int w = g.canvas.width(), h = g.canvas.height();
    const int n = int(channels.size());
    if (n == 0)
        return g;
    if (kind == ClipLayoutKind::Player)
        kind = n == 1 ? ClipLayoutKind::One : playerMainLarge ? ClipLayoutKind::Player : ClipLayoutKind::Grid;
    auto add = [&](int index, const QRect& place, int layer = 0) {
        g.cells.push_back({channels[size_t(index)], fitSixteenNine(place), layer});
    };
    switch (kind) {
    case ClipLayoutKind::One:
        add(0, QRect(0, 0, w, h));
        break;
    case ClipLayoutKind::SideBySide:
        for (int i = 0; i < n; ++i)
            add(i, QRect(i * w / n, 0, w / n, h));
        break;
    case ClipLayoutKind::Grid:
        for (int i = 0; i < n && i < 4; ++i)
            add(i, QRect((i % 2) * w / 2, (i / 2) * h / 2, w / 2, h / 2));
        break;
    case ClipLayoutKind::PictureInPicture: {
        add(0, QRect(0, 0, w, h));
        const int sw = even(w / 4), sh = even(h / 4), margin = even(h / 36);
        for (int i = 1; i < n && i < 4; ++i)
            add(i, QRect(w - margin - i * (sw + margin), h - margin - sh, sw, sh), 1);
        break;
    }
    case ClipLayoutKind::Player: {
        // The main channel across the upper two thirds, the others shared out below it.
        add(0, QRect(0, 0, w, h * 2 / 3));
        const int others = n - 1;
        for (int i = 1; i < n; ++i)
            add(i, QRect((i - 1) * w / others, h * 2 / 3, w / others, h - h * 2 / 3));
        break;
    }
    }
    return g;
}

const char* ClipLayoutName(ClipLayoutKind kind) {
    switch (kind) {
    case ClipLayoutKind::Player:
        return "player";
    case ClipLayoutKind::One:
        return "one";
    case ClipLayoutKind::SideBySide:
        return "side";
    case ClipLayoutKind::Grid:
        return "grid";
    case ClipLayoutKind::PictureInPicture:
        return "pip";
    }
    return "player";
}

std::optional<ClipLayoutKind> ParseClipLayout(std::string_view name) {
    for (ClipLayoutKind k : {ClipLayoutKind::Player, ClipLayoutKind::One, ClipLayoutKind::SideBySide,
                             ClipLayoutKind::Grid, ClipLayoutKind::PictureInPicture})
        if (name == ClipLayoutName(k))
            return k;
    return std::nullopt;
}
