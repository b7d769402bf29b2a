#include "ui/app/KeyMap.h"

#include "ui/app/CommandIds.h"

int keyCommand(int key, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::AltModifier)
        return 0; // Alt+F4 and the other system keys do nothing
    switch (key) {
    case Qt::Key_Escape:
        return kCmdStop;
    case Qt::Key_Space:
        return kCmdPlayPause;
    case Qt::Key_PageUp:
        return kCmdPrevious;
    case Qt::Key_PageDown:
        return kCmdNext;
    case Qt::Key_Left:
        return kCmdStepBack;
    case Qt::Key_Right:
        return kCmdStepForward;
    default:
        return 0;
    }
}
