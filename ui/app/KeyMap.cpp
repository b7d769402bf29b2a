#include "ui/app/KeyMap.h"

QString keyCommand(int key, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::AltModifier)
        return {}; // Alt+F4 and the other system keys do nothing
    switch (key) {
    case Qt::Key_Escape:
        return QStringLiteral("stop");
    case Qt::Key_Space:
        return QStringLiteral("playPause");
    case Qt::Key_PageUp:
        return QStringLiteral("openPrevious");
    case Qt::Key_PageDown:
        return QStringLiteral("openNext");
    case Qt::Key_Left:
        return QStringLiteral("stepBack");
    case Qt::Key_Right:
        return QStringLiteral("stepForward");
    default:
        return {};
    }
}
