// Writes a captured channel picture as a JPEG file without Qt's image classes (the media layer has
// none). Used by quillent-tool's snapshot command and available to the snapshot and print tools.
#pragma once

#include "media/playback/VideoFrame.h"

#include <filesystem>
#include <string>

// Encodes `frame` at its full size; false with *error set when it cannot be written.
bool saveFrameAsJpeg(const VideoFrame& frame, const std::filesystem::path& path, std::string* error,
                     int quality = 85);
