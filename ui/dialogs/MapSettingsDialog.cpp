#include "ui/dialogs/MapSettingsDialog.h"

#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"
#include "core/maps/MapTileService.h"
#include "core/maps/MbTilesFile.h"
#include "core/maps/TileCacheExport.h"
#include "core/maps/TileDiskCache.h"
#include "ui/map/MapSource.h"
#include "ui/map/MapTileScheme.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
QString text(const char* id, const char* fallback) {
    const std::string t = LString(id);
    return QString::fromStdString(t.empty() ? std::string(fallback) : t);
}
} // namespace

MapSettingsDialog::MapSettingsDialog(std::function<void(int)> reload, QWidget* parent)
    : QDialog(parent), m_reload(std::move(reload)) {
    setObjectName(QStringLiteral("mapSettingDialog"));
    setWindowTitle(text("MAP_SELECT_TITLE", "Map Selection"));
    m_world = new QRadioButton(text("MAP_KIND_WORLD", "World street map"), this);
    m_china = new QRadioButton(text("MAP_KIND_CHINA", "Map of mainland China"), this);
    m_world->setObjectName(QStringLiteral("mapKind1"));
    m_china->setObjectName(QStringLiteral("mapKind2"));
    const std::string stored = ReadSetting("map");
    (!stored.empty() && std::atoi(stored.c_str()) == 2 ? m_china : m_world)->setChecked(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(text("MAP_SELECT_OK", "OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(text("MAP_SELECT_CANCEL", "Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The user's map files, shown before the online tiles where they have them.
    auto* filesBox = new QGroupBox(text("MAP_FILES", "Offline map files (MBTiles), first choice first"), this);
    m_files = new QListWidget(filesBox);
    m_files->setObjectName(QStringLiteral("mapFiles"));
    for (const QString& f : StoredMapFiles())
        m_files->addItem(f);
    auto* add = new QPushButton(text("MAP_FILES_ADD", "Add..."), filesBox);
    auto* remove = new QPushButton(text("MAP_FILES_REMOVE", "Remove"), filesBox);
    auto* up = new QPushButton(text("MAP_FILES_UP", "Up"), filesBox);
    connect(add, &QPushButton::clicked, this, &MapSettingsDialog::chooseFiles);
    connect(remove, &QPushButton::clicked, this, [this] { delete m_files->currentItem(); });
    connect(up, &QPushButton::clicked, this, [this] {
        const int row = m_files->currentRow();
        if (row > 0) {
            m_files->insertItem(row - 1, m_files->takeItem(row));
            m_files->setCurrentRow(row - 1);
        }
    });
    auto* fileButtons = new QVBoxLayout;
    fileButtons->addWidget(add);
    fileButtons->addWidget(remove);
    fileButtons->addWidget(up);
    fileButtons->addStretch();
    auto* filesLayout = new QHBoxLayout(filesBox);
    filesLayout->addWidget(m_files, 1);
    filesLayout->addLayout(fileButtons);

    // The disk cache of online tiles.
    auto* cacheBox = new QGroupBox(text("MAP_CACHE", "Tiles kept from the tile server"), this);
    m_cacheMb = new QSpinBox(cacheBox);
    m_cacheMb->setObjectName(QStringLiteral("mapCacheSize"));
    m_cacheMb->setRange(0, 100000);
    m_cacheMb->setSuffix(QStringLiteral(" MB"));
    m_cacheMb->setValue(int(MapCacheBytes() / (1024 * 1024)));
    auto* save = new QPushButton(text("MAP_CACHE_SAVE", "Save as MBTiles..."), cacheBox);
    save->setObjectName(QStringLiteral("mapCacheSave"));
    connect(save, &QPushButton::clicked, this, &MapSettingsDialog::saveCacheAs);
    auto* cacheLayout = new QHBoxLayout(cacheBox);
    cacheLayout->addWidget(new QLabel(text("MAP_CACHE_SIZE", "At most"), cacheBox));
    cacheLayout->addWidget(m_cacheMb);
    cacheLayout->addStretch();
    cacheLayout->addWidget(save);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_world);
    layout->addWidget(m_china);
    layout->addWidget(filesBox);
    layout->addWidget(cacheBox);
    layout->addWidget(buttons);
}

QStringList MapSettingsDialog::files() const {
    QStringList list;
    for (int i = 0; i < m_files->count(); ++i)
        list << m_files->item(i)->text();
    return list;
}

QString MapSettingsDialog::addFile(const QString& path) {
    MbTilesFile file(path);
    if (!file.open())
        return file.error();
    if (!files().contains(path))
        m_files->addItem(path);
    return {};
}

void MapSettingsDialog::chooseFiles() {
    const QStringList chosen = QFileDialog::getOpenFileNames(
        this, text("MAP_FILES_CHOOSE", "Offline map files"), QString(),
        text("MAP_FILES_FILTER", "MBTiles map files (*.mbtiles);;All files (*)"));
    for (const QString& path : chosen)
        if (const QString error = addFile(path); !error.isEmpty())
            QMessageBox::warning(this, windowTitle(), error);
}

bool MapSettingsDialog::saveCache(const QString& target, QString* message) {
    PrepareMapTiles();
    MapTileService& service = MapTileService::instance();
    if (!service.cache()) {
        *message = text("MAP_CACHE_OFF", "No tiles are kept: the cache is turned off.");
        return false;
    }
    const MapSource source = MapSourceFor(1);
    const TileCacheExportResult r =
        SaveCachedTiles(*service.cache(), {service.onlineTemplate(1)}, target,
                        QStringLiteral("Kept tiles of %1").arg(MapSourceName(source)), source.attribution);
    if (!r.error.isEmpty()) {
        *message = r.error;
        return false;
    }
    *message = text("MAP_CACHE_SAVED", "%1 tiles saved to %2").arg(r.tiles).arg(target);
    return true;
}

void MapSettingsDialog::saveCacheAs() {
    const QString target = QFileDialog::getSaveFileName(this, text("MAP_CACHE_SAVE_TITLE", "Save the kept tiles"),
                                                        QStringLiteral("kept-map.mbtiles"),
                                                        text("MAP_FILES_FILTER", "MBTiles map files (*.mbtiles)"));
    if (target.isEmpty())
        return;
    QString message;
    if (saveCache(target, &message))
        QMessageBox::information(this, windowTitle(), message);
    else
        QMessageBox::warning(this, windowTitle(), message);
}

int MapSettingsDialog::checkedKind() const {
    return m_world->isChecked() ? 1 : 2;
}

void MapSettingsDialog::accept() {
    const int kind = checkedKind();
    WriteSetting("map", std::to_string(kind));
    StoreMapFiles(files());
    WriteSetting("mapCacheSize", std::to_string(m_cacheMb->value()));
    if (m_reload)
        m_reload(kind);
    QDialog::accept();
}
