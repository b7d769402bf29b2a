// The map selection: which of the two map kinds the map panel shows (the world street map or the
// map of mainland China), the user's MBTiles map files shown before the online tiles (first
// choice first) and the bound of the disk cache of online tiles; the cache can be saved as an
// MBTiles file. OK stores the choices ("map", "mapFiles", "mapCacheSize") and reloads the panel's page.
#pragma once

#include <QDialog>

#include <functional>

class QListWidget;
class QRadioButton;
class QSpinBox;

class MapSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // `reload`: called with the chosen kind after it was stored (the panel's ReloadMapPage).
    explicit MapSettingsDialog(std::function<void(int kind)> reload, QWidget* parent = nullptr);

    int checkedKind() const;
    QStringList files() const;
    // Adds a map file when it opens as one; otherwise returns why not (empty when added).
    QString addFile(const QString& path);
    // Saves the cached online tiles as an MBTiles file; the text says how it went.
    bool saveCache(const QString& target, QString* text);
    void accept() override;

private:
    void chooseFiles();
    void saveCacheAs();
    QListWidget* m_files = nullptr;
    QSpinBox* m_cacheMb = nullptr;
    std::function<void(int)> m_reload;
    QRadioButton* m_world = nullptr; // 1263
    QRadioButton* m_china = nullptr; // 1264
};
