// Colours, the text font and small drawing helpers shared by the speed, G-sensor and
// accelerometer renderers, so every data panel looks the same on screen, in PNGs and on paper.
#pragma once

#include "core/trackdata/TrackData.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QSize>
#include <QString>

#include <cstdint>
#include <optional>

class QPainter;

namespace panelcolors {
inline const QColor kBackground(50, 50, 50);
inline const QColor kText(200, 200, 200);
inline const QColor kAxis(200, 200, 200);
inline const QColor kPosition(222, 154, 143);
inline const QColor kSpeedCurve(255, 0, 0);
inline const QColor kX(215, 130, 121);
inline const QColor kY(118, 205, 130);
inline const QColor kZ(126, 175, 215);
} // namespace panelcolors

// "Calibri" bold (or its metric twin), 18 pixels from the top of the cell to the bottom.
QFont panelTextFont();
// Text whose cell's top-left corner is at (x, y), as the panels' layouts give positions.
void drawPanelText(QPainter& p, int x, int y, const QString& text, const QColor& colour);
// A text of the panels in the program's language: the language string `id`, or `fallback` where
// the configuration has none.
QString panelText(const char* id, const char* fallback);
// A solid one-pixel line, drawn without smoothing so the pixels land where the formulas say.
void drawPanelLine(QPainter& p, int x1, int y1, int x2, int y2, const QColor& colour);
// The position a click at `pt` asks for on a curve panel of `size` whose time axis starts at x = 40
// and spans width - 45 pixels, the click taken between the rows `top` and `bottom`; none outside
// the plot, past the end or without a duration.
// x of sample `i` from the plot's left edge: at its record time on a plot of `plot` pixels that
// spans `durationMs`, or (samples without times) spread evenly over the drawn ones, a single one on
// the axis.
int panelSampleX(const SampleTimeline& samples, size_t i, int plot, int durationMs);

std::optional<int64_t> PanelSeekPosition(QPoint pt, QSize size, int top, int bottom, int durationMs);
