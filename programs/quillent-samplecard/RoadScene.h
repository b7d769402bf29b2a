// Draws the demo card's pictures: a road as a dash camera sees it (front, rear, side window), one
// I420 frame at a time, so that the demo looks like driving rather than a test card.
#pragma once

#include <cstdint>
#include <vector>

enum class RoadView { Front, Rear, Side };

// Fills `frame` (resized to width * height * 3 / 2) with the view at `seconds` into the drive, at
// `kmh`. Width and height must be even.
void DrawRoadScene(std::vector<uint8_t>& frame, uint32_t width, uint32_t height, double seconds, double kmh,
                   RoadView view);
