// Bitmaps of the skinned controls and dialogs, loaded by their resource number. Used by every
// window that draws from bitmaps (drive dialog, list header, skinned buttons and sliders).
#pragma once

#include <QPixmap>

// The bitmap with that number, or a null pixmap when there is none (id 0 included).
QPixmap LoadSkinBitmap(int id);
