// Where the map panel's tiles come from for each map kind: URL template, attribution, zoom range
// and coordinate system, as stored settings with defaults; and which page shows each kind.
// Kind 1 is the world street map, kind 2 the map of mainland China (positions shifted to GCJ-02).
#pragma once

#include <QString>
#include <QStringList>

struct MapSource {
    QString url;         // Leaflet URL template ({z}, {x}, {y}, optionally {s})
    QString attribution; // shown in the map's corner, as the tile provider asks
    int minZoom = 0;
    int maxZoom = 18;
    QString coords; // "wgs84" or "gcj02"
};

// The stored setting "map": 2 chooses kind 2, anything else (also missing or empty) kind 1.
int StoredMapKind();
// The built-in source of a kind: OpenStreetMap's standard tiles for kind 1; for kind 2 a source
// of mainland China that needs no account key, in GCJ-02.
MapSource DefaultMapSource(int kind);
// Tile settings "mapTiles<kind>", "mapAttribution<kind>", "mapMinZoom<kind>", "mapMaxZoom<kind>",
// "mapCoords<kind>"; each missing one takes the built-in value. The environment variable
// QUILLENT_MAP_TILES, when set, replaces the built-in URL template (test runs point it at
// 127.0.0.1 so that nothing reaches a real tile server).
MapSource MapSourceFor(int kind);
// "Map.baidu.html" for kind 2, "Map.html" for every other kind (skin-relative).
QString MapPageFor(int kind);
// Host and port a connection check for the source should reach; empty host without a source.
struct MapHost {
    QString host;
    quint16 port = 443;
};
MapHost MapHostFor(const MapSource& source);
// The user agent the map views send, so tile servers can tell who asks.
QString MapUserAgent(const QString& browserAgent);

// A short name of the online source for the map's status line ("OpenStreetMap", else its host).
QString MapSourceName(const MapSource& source);

// The user's MBTiles map files, first choice first: setting "mapFiles", one path a line.
QStringList StoredMapFiles();
void StoreMapFiles(const QStringList& paths);
// The disk cache of online tiles: setting "mapCacheSize" in MB (default 200; 0 keeps nothing on
// disk) and "mapCacheFolder" (default the user's cache folder + "/Quillent/map-tiles").
qint64 MapCacheBytes();
QString MapCacheFolder();
