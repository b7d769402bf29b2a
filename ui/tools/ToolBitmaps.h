// The bitmaps of the merge and scrambled-copy windows (backgrounds 133 and 137, folder button
// 640-643, channel toggles 550-583, start button 630-633), drawn by the program in the skin's
// colours; a bitmap of the same number among the resources takes precedence.
#pragma once

#include <QPixmap>

QPixmap ToolBitmap(int id);
