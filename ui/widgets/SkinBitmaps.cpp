#include "ui/widgets/SkinBitmaps.h"

#include <QPixmapCache>

static void initControlsResources() {
    Q_INIT_RESOURCE(controls);
}

QPixmap LoadSkinBitmap(int id) {
    static const bool initialised = (initControlsResources(), true);
    (void)initialised;
    if (id <= 0)
        return {};
    const QString key = QStringLiteral(":/controls/%1.png").arg(id);
    QPixmap pm;
    if (!QPixmapCache::find(key, &pm) && pm.load(key))
        QPixmapCache::insert(key, pm);
    return pm;
}
