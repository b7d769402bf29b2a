// Draws an evidence clip's overlay for one moment into any QPainter: date and time with the time
// zone, the speed in the chosen unit, coordinates and heading, the G-sensor curves of the last
// seconds and a small map of the route (the route line itself, no map tiles: a clip is made
// offline). Each item sits on its own opaque panel so it reads on any picture. Used on every
// picture of a clip (the encoder's overlay painter) and for the clip window's preview.
#pragma once

#include "core/clips/ClipOptions.h"
#include "core/clips/ClipTrack.h"

#include <QRect>
#include <QSize>

class QPainter;

class ClipOverlayRenderer {
public:
    void setItems(unsigned items) { m_items = items; }
    void setPlace(ClipOverlayPlace place) { m_place = place; }
    void setUnit(int unit) { m_unit = unit; } // as the speed panel: 1 km/h, 2 mph, else knots
    unsigned items() const { return m_items; }

    void paint(QPainter& p, QSize canvas, const ClipMoment& moment) const;

    // Where each item is drawn in a picture of `canvas` (null when the item is not drawn).
    QRect timeRect(QSize canvas) const;
    QRect speedRect(QSize canvas) const;
    QRect positionRect(QSize canvas) const;
    QRect gsensorRect(QSize canvas) const;
    QRect mapRect(QSize canvas) const;

    // "52 Km/h"; "No GPS" for a recording without GPS records, "GPS: no fix" while there is none.
    QString speedText(const ClipMoment& moment) const;

private:
    int bandTop(QSize canvas) const;

    unsigned m_items = kOverlayDefault;
    ClipOverlayPlace m_place = ClipOverlayPlace::Bottom;
    int m_unit = 1;
};
