// The map pages' tiles under the "quillent-tiles" URL scheme: a page's Leaflet tile layer asks for
// "quillent-tiles:/<kind>/<z>/<x>/<y>?g=<generation>" and the web engine hands the request to the map tile
// service (the user's MBTiles files, then the online server through the disk cache). Used by the
// map panel, the print report and every page built on js/map.js.
#pragma once

#include <QString>
#include <QStringList>
#include <QWebEngineUrlSchemeHandler>

inline constexpr char kMapTileScheme[] = "quillent-tiles";

// The URL template of map kind `kind` for a page's tile layer (with the sources' generation).
QString MapTileTemplate(int kind);
// The arguments of a map page's setTileSource(url, attribution, minZoom, maxZoom, coords) for map
// kind `kind`: the template above, the attributions of the files and the online source, the zoom
// range they cover together, "wgs84" or "gcj02".
QStringList MapTileSourceArguments(int kind);

// Sets the tile service from the settings (MBTiles files, online sources, cache folder and bound,
// user agent) and installs the scheme in the web engine's default profile. Called before a map
// page loads; cheap when nothing changed.
void PrepareMapTiles();

// MBTiles files found with the open recording (on its card), used after the chosen ones.
void SetCardMapFiles(const QStringList& paths);
// The MBTiles files beside `recording` and at the root of its card (the folder above it).
QStringList MapFilesBeside(const QString& recording);

class MapTileSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override;
};
