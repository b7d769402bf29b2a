// Fonts and colours shared by the drawn recording list and its tab strip.
#pragma once

#include <QColor>
#include <QFont>

namespace listcolors {
inline const QColor kBackground(44, 44, 44);
inline const QColor kSelection(85, 85, 85);
inline const QColor kLine(58, 58, 58);
inline const QColor kBoxFrame(75, 75, 75);
inline const QColor kAccent(0, 168, 255);
inline const QColor kTabIdle(146, 146, 146);
inline const QColor kCaption(200, 200, 200);
} // namespace listcolors

// "Calibri" (or its metric twin Carlito) sized the way the list's design gives heights: as the
// whole character cell (ascent plus descent) in pixels, not the em size.
QFont listFont(int cellHeight, int weight);
// Draws a check box whose outer square spans x..x+14 and rowTop+5..rowTop+19.
class QPainter;
void drawListCheckBox(QPainter& p, int x, int top, bool checked);
