#include "ui/render/ClipOverlayRenderer.h"

#include "ui/render/PanelPainting.h"
#include "ui/render/SpeedUnit.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace {

// Everything is laid out for a 720-line picture and scaled to the clip's height.
constexpr int kBand = 84;   // height of the item panels
constexpr int kMargin = 12; // from the picture's edges and between panels
constexpr int kTimeWidth = 300;
constexpr int kSpeedWidth = 190;
constexpr int kPositionWidth = 300;
constexpr int kGsensorWidth = 250;
constexpr int kMapSide = 200;
const QColor kPanelFill(panelcolors::kBackground);
const QColor kNotice(255, 190, 60);

double scaleOf(QSize canvas) {
    return canvas.height() / 720.0;
}

QFont font(double pixels, bool bold) {
    QFont f = panelTextFont();
    f.setPixelSize(std::max(8, int(std::lround(pixels))));
    f.setBold(bold);
    return f;
}

void panel(QPainter& p, const QRect& r) {
    p.setPen(Qt::NoPen);
    p.setBrush(kPanelFill);
    p.drawRect(r);
}

const char* compassPoint(double degrees) {
    static const char* kPoints[] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
    const int i = int(std::lround(std::fmod(std::fmod(degrees, 360.0) + 360.0, 360.0) / 45.0)) % 8;
    return kPoints[i];
}

// Each item on its own panel `r`; `s` is the picture's scale, `pad` the inner margin.
void paintTime(QPainter& p, const QRect& r, const ClipMoment& m, double s, int pad) {
    panel(p, r);
    p.setPen(panelcolors::kText);
    p.setFont(font(26 * s, true));
    const QString dateTime = m.dateTime.empty() ? QStringLiteral("--") : QString::fromStdString(m.dateTime);
    p.drawText(r.adjusted(pad, pad / 2, -pad, -r.height() / 2), Qt::AlignLeft | Qt::AlignVCenter, dateTime);
    p.setFont(font(20 * s, false));
    const QString zone = m.zone.empty() ? QStringLiteral("camera clock") : QString::fromStdString(m.zone);
    p.drawText(r.adjusted(pad, r.height() / 2, -pad, -pad / 2), Qt::AlignLeft | Qt::AlignVCenter, zone);
}

void paintSpeed(QPainter& p, const QRect& r, const ClipMoment& m, const QString& speed, double s, int pad) {
    panel(p, r);
    const bool known = m.recordingHasGps && m.gpsFix;
    p.setPen(known ? panelcolors::kText : kNotice);
    p.setFont(font(known ? 40 * s : 26 * s, true));
    p.drawText(r.adjusted(pad, 0, -pad, 0), Qt::AlignCenter, speed);
}

void paintPosition(QPainter& p, const QRect& r, const ClipMoment& m, double s, int pad) {
    panel(p, r);
    p.setFont(font(22 * s, false));
    if (m.recordingHasGps && m.gpsFix) {
        p.setPen(panelcolors::kText);
        const QString lat = QString::asprintf("%.5f\u00b0 %c", std::fabs(m.position.latitude),
                                              m.position.latitude < 0 ? 'S' : 'N');
        const QString lon = QString::asprintf("%.5f\u00b0 %c", std::fabs(m.position.longitude),
                                              m.position.longitude < 0 ? 'W' : 'E');
        p.drawText(r.adjusted(pad, pad / 2, -pad, -r.height() / 2), Qt::AlignLeft | Qt::AlignVCenter,
                   lat + "  " + lon);
        p.drawText(r.adjusted(pad, r.height() / 2, -pad, -pad / 2), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::asprintf("Heading %d\u00b0 %s", int(std::lround(m.headingDegrees)) % 360,
                                     compassPoint(m.headingDegrees)));
    } else {
        p.setPen(kNotice);
        p.drawText(r.adjusted(pad, 0, -pad, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   m.recordingHasGps ? QStringLiteral("No position: no GPS fix")
                                     : QStringLiteral("No position: recording without GPS"));
    }
}

void paintGsensor(QPainter& p, const QRect& r, const ClipMoment& m, double s, int pad) {
    panel(p, r);
    const QRectF plot = QRectF(r).adjusted(pad, pad, -pad, -pad);
    p.setPen(QPen(panelcolors::kAxis, std::max(1.0, s)));
    p.drawLine(QPointF(plot.left(), plot.center().y()), QPointF(plot.right(), plot.center().y()));
    p.setFont(font(14 * s, false));
    p.drawText(plot.adjusted(0, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop,
               QString("G, last %1 s").arg(ClipTrack::kGsensorWindowMs / 1000));
    // +-2 G over the plot's half height; stronger readings stay on the edge.
    const double half = plot.height() / 2;
    auto yOf = [&](float g) { return plot.center().y() - std::clamp(double(g), -2.0, 2.0) / 2.0 * half; };
    auto xOf = [&](int64_t age) {
        return plot.right() - double(age) / ClipTrack::kGsensorWindowMs * plot.width();
    };
    const QColor colours[3] = {panelcolors::kX, panelcolors::kY, panelcolors::kZ};
    for (int axis = 0; axis < 3; ++axis) {
        QPolygonF line;
        for (const GsensorPoint& g : m.gsensor)
            line << QPointF(xOf(g.ageMs), yOf(axis == 0 ? g.x : axis == 1 ? g.y : g.z));
        p.setPen(QPen(colours[axis], std::max(1.5, 2 * s)));
        p.drawPolyline(line);
    }
    if (m.gsensor.empty()) {
        p.setPen(kNotice);
        p.drawText(plot, Qt::AlignCenter, QStringLiteral("No G-sensor data"));
    }
}

void paintRoute(QPainter& p, const QRect& r, const ClipMoment& m, double s, int pad) {
    panel(p, r);
    const QRectF area = QRectF(r).adjusted(pad, pad, -pad, -pad);
    const std::vector<GeoPoint>* route = m.route;
    if (!route || route->empty()) {
        p.setPen(kNotice);
        p.setFont(font(18 * s, false));
        p.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, QStringLiteral("No route: no GPS"));
    } else {
        double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
        for (const GeoPoint& g : *route) {
            minLat = std::min(minLat, g.latitude);
            maxLat = std::max(maxLat, g.latitude);
            minLon = std::min(minLon, g.longitude);
            maxLon = std::max(maxLon, g.longitude);
        }
        // Equirectangular with the longitude shrunk by the cosine of the middle latitude;
        // at least about 200 m across so a car standing still is a dot in the middle.
        const double k = std::cos((minLat + maxLat) / 2 * M_PI / 180);
        const double spanY = std::max(maxLat - minLat, 0.002);
        const double spanX = std::max((maxLon - minLon) * k, 0.002);
        const double unit = std::min(area.width() / spanX, area.height() / spanY);
        const double midLat = (minLat + maxLat) / 2, midLon = (minLon + maxLon) / 2;
        auto place = [&](const GeoPoint& g) {
            return QPointF(area.center().x() + (g.longitude - midLon) * k * unit,
                           area.center().y() - (g.latitude - midLat) * unit);
        };
        QPolygonF line;
        for (const GeoPoint& g : *route)
            line << place(g);
        p.setPen(
            QPen(QColor(90, 170, 255), std::max(2.0, 3 * s), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(line);
        if (m.gpsFix) {
            p.setPen(QPen(Qt::white, std::max(1.0, s)));
            p.setBrush(panelcolors::kSpeedCurve);
            p.drawEllipse(place(m.position), 6 * s, 6 * s);
        }
        p.setPen(panelcolors::kText);
        p.setFont(font(14 * s, false));
        p.drawText(QRectF(r).adjusted(pad / 2, pad / 4, 0, 0), Qt::AlignLeft | Qt::AlignTop, "N \u2191");
    }
}

} // namespace

int ClipOverlayRenderer::bandTop(QSize canvas) const {
    const double s = scaleOf(canvas);
    return m_place == ClipOverlayPlace::Top ? int(kMargin * s) : canvas.height() - int((kBand + kMargin) * s);
}

QRect ClipOverlayRenderer::timeRect(QSize canvas) const {
    if (!(m_items & kOverlayTime))
        return {};
    const double s = scaleOf(canvas);
    return QRect(int(kMargin * s), bandTop(canvas), int(kTimeWidth * s), int(kBand * s));
}

QRect ClipOverlayRenderer::speedRect(QSize canvas) const {
    if (!(m_items & kOverlaySpeed))
        return {};
    const double s = scaleOf(canvas);
    const int x =
        (m_items & kOverlayTime) ? timeRect(canvas).right() + 1 + int(kMargin * s) : int(kMargin * s);
    return QRect(x, bandTop(canvas), int(kSpeedWidth * s), int(kBand * s));
}

QRect ClipOverlayRenderer::positionRect(QSize canvas) const {
    if (!(m_items & kOverlayPosition))
        return {};
    const double s = scaleOf(canvas);
    int x = int(kMargin * s);
    for (const QRect& before : {timeRect(canvas), speedRect(canvas)})
        if (!before.isNull())
            x = before.right() + 1 + int(kMargin * s);
    return QRect(x, bandTop(canvas), int(kPositionWidth * s), int(kBand * s));
}

QRect ClipOverlayRenderer::gsensorRect(QSize canvas) const {
    if (!(m_items & kOverlayGsensor))
        return {};
    const double s = scaleOf(canvas);
    const int w = int(kGsensorWidth * s);
    return QRect(canvas.width() - int(kMargin * s) - w, bandTop(canvas), w, int(kBand * s));
}

QRect ClipOverlayRenderer::mapRect(QSize canvas) const {
    if (!(m_items & kOverlayMap))
        return {};
    const double s = scaleOf(canvas);
    const int side = int(kMapSide * s);
    // In the corner away from the band.
    const int y =
        m_place == ClipOverlayPlace::Top ? canvas.height() - int(kMargin * s) - side : int(kMargin * s);
    return QRect(canvas.width() - int(kMargin * s) - side, y, side, side);
}

QString ClipOverlayRenderer::speedText(const ClipMoment& m) const {
    if (!m.recordingHasGps)
        return QStringLiteral("No GPS");
    if (!m.gpsFix)
        return QStringLiteral("GPS: no fix");
    const SpeedUnitInfo& unit = speedUnitFor(m_unit);
    return QString::number(std::lround(m.speedKnots * unit.factor)) + " " + unit.name;
}

void ClipOverlayRenderer::paint(QPainter& p, QSize canvas, const ClipMoment& m) const {
    const double s = scaleOf(canvas);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const int pad = int(10 * s);
    if (QRect r = timeRect(canvas); !r.isNull())
        paintTime(p, r, m, s, pad);
    if (QRect r = speedRect(canvas); !r.isNull())
        paintSpeed(p, r, m, speedText(m), s, pad);
    if (QRect r = positionRect(canvas); !r.isNull())
        paintPosition(p, r, m, s, pad);
    if (QRect r = gsensorRect(canvas); !r.isNull())
        paintGsensor(p, r, m, s, pad);
    if (QRect r = mapRect(canvas); !r.isNull())
        paintRoute(p, r, m, s, pad);
    p.restore();
}
