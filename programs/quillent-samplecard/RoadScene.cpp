#include "RoadScene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace {

struct Yuv {
    uint8_t y, u, v;
};

Yuv mix(Yuv a, Yuv b, double t) {
    auto m = [t](uint8_t x, uint8_t y) { return static_cast<uint8_t>(std::lround(x + (y - x) * t)); };
    return {m(a.y, b.y), m(a.u, b.u), m(a.v, b.v)};
}

Yuv shade(Yuv c, int dy) {
    return {static_cast<uint8_t>(std::clamp(c.y + dy, 16, 235)), c.u, c.v};
}

// A number from 0 to 1 that stays the same for one building (or lamp) index.
double hash(int64_t i, int salt) {
    uint64_t x = static_cast<uint64_t>(i) * 0x9E3779B97F4A7C15ULL +
                 static_cast<uint64_t>(salt) * 0xBF58476D1CE4E5B9ULL;
    x ^= x >> 31;
    x *= 0x94D049BB133111EBULL;
    x ^= x >> 29;
    return static_cast<double>(x & 0xFFFFFF) / 0xFFFFFF;
}

// Euclidean remainder: the pattern does not flip at zero.
double wrap(double x, double period) {
    double r = std::fmod(x, period);
    return r < 0 ? r + period : r;
}

constexpr Yuv kAsphalt{78, 128, 128};
constexpr Yuv kSidewalk{138, 125, 131};
constexpr Yuv kKerb{170, 127, 129};
constexpr Yuv kWhiteLine{225, 128, 128};
constexpr Yuv kYellowLine{190, 48, 160};
constexpr Yuv kPole{62, 130, 126};
constexpr Yuv kHood{30, 130, 126};
constexpr Yuv kGlass{52, 140, 120};

class Canvas {
public:
    Canvas(std::vector<uint8_t>& frame, int width, int height) : m_f(frame), m_w(width), m_h(height) {
        m_f.resize(static_cast<size_t>(width) * height * 3 / 2);
    }
    int width() const { return m_w; }
    int height() const { return m_h; }

    // Pixels x0 <= x < x1 of row y. Chroma is taken from the even rows.
    void span(int y, double x0, double x1, Yuv c) {
        if (y < 0 || y >= m_h)
            return;
        const int a = std::clamp(static_cast<int>(std::lround(x0)), 0, m_w);
        const int b = std::clamp(static_cast<int>(std::lround(x1)), 0, m_w);
        if (b <= a)
            return;
        std::fill_n(m_f.begin() + static_cast<std::ptrdiff_t>(y) * m_w + a, b - a, c.y);
        if (y % 2 != 0)
            return;
        const size_t plane = static_cast<size_t>(m_w / 2) * (m_h / 2);
        const size_t row = static_cast<size_t>(m_w) * m_h + static_cast<size_t>(y / 2) * (m_w / 2);
        const int ca = a / 2, cb = (b + 1) / 2;
        std::fill_n(m_f.begin() + static_cast<std::ptrdiff_t>(row + ca), cb - ca, c.u);
        std::fill_n(m_f.begin() + static_cast<std::ptrdiff_t>(row + plane + ca), cb - ca, c.v);
    }
    void rect(double x0, double y0, double x1, double y1, Yuv c) {
        const int top = std::max(0, static_cast<int>(std::lround(y0)));
        const int bottom = std::min(m_h, static_cast<int>(std::lround(y1)));
        for (int y = top; y < bottom; ++y)
            span(y, x0, x1, c);
    }

private:
    std::vector<uint8_t>& m_f;
    int m_w, m_h;
};

void sky(Canvas& c, int bottom, Yuv top, Yuv horizon) {
    for (int y = 0; y < bottom; ++y)
        c.span(y, 0, c.width(), mix(top, horizon, static_cast<double>(y) / std::max(1, bottom - 1)));
}

// A row of facades with windows; `shift` moves them sideways (pixels), `ground` is their foot.
void facades(Canvas& c, double shift, double blockWidth, double ground, double minTop, double maxTop) {
    const int w = c.width();
    const double windowW = blockWidth / 7, rowH = (ground - minTop) / 9;
    for (int64_t i = static_cast<int64_t>(std::floor(shift / blockWidth)) - 1;; ++i) {
        const double left = i * blockWidth - shift;
        if (left >= w)
            break;
        const double right = left + blockWidth * 0.94;
        const double top = minTop + (maxTop - minTop) * hash(i, 1);
        const Yuv wall{static_cast<uint8_t>(80 + 60 * hash(i, 2)),
                       static_cast<uint8_t>(118 + 16 * hash(i, 3)),
                       static_cast<uint8_t>(120 + 16 * hash(i, 4))};
        c.rect(left, top, right, ground, wall);
        for (double wy = top + rowH * 0.4; wy + rowH * 0.5 < ground - rowH * 0.6; wy += rowH)
            for (int k = 0; k < 6; ++k) {
                const double wx = left + windowW * (0.6 + k);
                const bool lit = hash(i * 97 + k * 13 + static_cast<int64_t>(wy), 5) > 0.7;
                c.rect(wx, wy, wx + windowW * 0.55, wy + rowH * 0.5,
                       lit ? Yuv{200, 110, 150} : shade(kGlass, 10));
            }
        c.rect(left, ground - rowH * 0.8, right, ground, kGlass); // shop fronts
    }
}

// Front and rear: the road in perspective, lane lines and street lamps passing by.
void roadView(Canvas& c, double travelled, bool rear) {
    const int w = c.width(), h = c.height();
    const double horizon = h * 0.46, cx = w / 2.0;
    const double pxPerMetre = (w / 2.0) / 4.0; // at the bottom row, 3 m ahead
    const double dir = rear ? -1 : 1, side = rear ? -1 : 1;
    if (rear)
        sky(c, static_cast<int>(horizon), {84, 150, 120}, {178, 100, 160});
    else
        sky(c, static_cast<int>(horizon), {128, 168, 100}, {206, 138, 120});
    facades(c, w * 0.03, w / 11.0, horizon + 1, horizon - h * 0.30, horizon - h * 0.08);

    for (int y = static_cast<int>(horizon) + 1; y < h; ++y) {
        const double p = (y - horizon + 0.5) / (h - horizon);
        const double depth = 3 / p, scale = pxPerMetre * p;
        const double world = depth + dir * travelled;
        auto at = [&](double metres) { return cx + side * metres * scale; };
        auto line = [&](double metres, double width, Yuv colour) {
            const double a = at(metres - width / 2), b = at(metres + width / 2);
            c.span(y, std::min(a, b), std::max(a, b) + 1, colour);
        };
        c.span(y, 0, w, kSidewalk);
        c.span(y, std::min(at(-12.5), at(5.6)), std::max(at(-12.5), at(5.6)), kAsphalt);
        line(5.75, 0.3, kKerb);
        line(-12.65, 0.3, kKerb);
        line(-5.35, 0.15, kYellowLine);
        line(-5.05, 0.15, kYellowLine);
        line(5.35, 0.15, kWhiteLine);
        if (wrap(world, 10) < 4) {
            line(-1.75, 0.15, kWhiteLine);
            line(1.75, 0.15, kWhiteLine);
            line(-8.65, 0.15, kWhiteLine);
        }
    }
    // Lamps every 30 m on both kerbs, the far ones first.
    for (int pass = 0; pass < 2; ++pass) {
        const double x = pass == 0 ? -13.2 : 6.4;
        const double first = std::ceil((dir * travelled + 3) / 30) * 30;
        std::array<double, 4> depths{};
        for (int k = 0; k < 4; ++k)
            depths[static_cast<size_t>(k)] = first + 30 * (3 - k) - dir * travelled;
        for (double depth : depths) {
            if (depth < 2.5)
                continue;
            const double p = 3 / depth, scale = pxPerMetre * p;
            const double foot = horizon + p * (h - horizon), px = cx + side * x * scale;
            const double half = std::max(0.6, 0.12 * scale);
            c.rect(px - half, foot - 8 * scale, px + half, foot, kPole);
            const double arm = side * (x < 0 ? 1.6 : -1.6) * scale;
            c.rect(std::min(px, px + arm), foot - 8 * scale, std::max(px, px + arm) + 1,
                   foot - 8 * scale + std::max(1.0, 0.15 * scale), kPole);
        }
    }
    if (!rear) { // the bonnet
        for (int y = static_cast<int>(h * 0.86); y < h; ++y) {
            const double t = (y - h * 0.86) / (h * 0.14);
            const double half = w * 0.5 * std::sqrt(std::min(1.0, t * 2.2));
            c.span(y, cx - half, cx + half, shade(kHood, static_cast<int>(18 * (1 - t))));
        }
    } else { // the bumper's edge
        c.rect(0, h * 0.95, w, h, shade(kHood, 10));
    }
}

// The side window: facades sliding past, lamps nearer and faster, the road below.
void sideView(Canvas& c, double travelled) {
    const int w = c.width(), h = c.height();
    const double pxPerMetre = w / 20.0;
    sky(c, static_cast<int>(h * 0.34), {120, 166, 104}, {200, 140, 122});
    facades(c, travelled * pxPerMetre, pxPerMetre * 14, h * 0.72, h * 0.06, h * 0.30);
    c.rect(0, h * 0.72, w, h * 0.80, kSidewalk);
    c.rect(0, h * 0.80, w, h * 0.815, kKerb);
    c.rect(0, h * 0.815, w, h, kAsphalt);
    const double roadShift = travelled * pxPerMetre * 2.2;
    for (double x = -wrap(roadShift, pxPerMetre * 22); x < w; x += pxPerMetre * 22)
        c.rect(x, h * 0.93, x + pxPerMetre * 8.8, h * 0.95, kWhiteLine);
    const double lampShift = travelled * pxPerMetre * 1.5, lampGap = pxPerMetre * 45;
    for (double x = -wrap(lampShift, lampGap); x < w; x += lampGap)
        c.rect(x, h * 0.02, x + pxPerMetre * 0.5, h * 0.79, kPole);
    c.rect(0, h * 0.96, w, h, kHood); // the window's lower frame
}

} // namespace

void DrawRoadScene(std::vector<uint8_t>& frame, uint32_t width, uint32_t height, double seconds, double kmh,
                   RoadView view) {
    Canvas c(frame, static_cast<int>(width), static_cast<int>(height));
    const double travelled = seconds * kmh / 3.6;
    switch (view) {
    case RoadView::Front:
        roadView(c, travelled, false);
        break;
    case RoadView::Rear:
        roadView(c, travelled, true);
        break;
    case RoadView::Side:
        sideView(c, travelled);
        break;
    }
}
