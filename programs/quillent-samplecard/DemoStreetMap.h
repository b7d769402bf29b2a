// The demo card's street map: an MBTiles file of the demo route's streets drawn from the route
// itself (the roads it follows with their names, side streets along them), so the player shows a
// street map of the drive with no network. Sample-card generator only.
#pragma once

#include <filesystem>
#include <string>

inline constexpr const char* kDemoStreetMapName = "demo-streets.mbtiles";

// Writes the map to `target` (zooms 13 to 17 around the route). Returns an empty string on
// success, else the error text; `tiles` gets the number of tiles written.
std::string WriteDemoStreetMap(const std::filesystem::path& target, int* tiles);
