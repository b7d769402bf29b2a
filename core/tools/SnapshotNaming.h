// Names of the pictures the snapshot and print-report commands save: the base name of a moment of a
// recording, the name the save dialog proposes and the file of each channel.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// Base name of the pictures of `fileName` (no folder) at `positionMs`, chosen by the capture flags
// (ViewerConfigFlag kFlagFiletime, kFlagAddpos): the file's creation time (local time, plus the
// position with addpos), the date in the name plus the position (addpos alone), or the name without
// its last four characters. A name whose date cannot be read falls back to the last form.
std::string PictureBaseName(uint32_t captureFlags, const std::string& fileName, uint64_t creationFileTime,
                            int64_t positionMs);

// What the save dialog proposes: base + "_CHx.jpg".
std::string ProposedSnapshotName(const std::string& baseName);

// The file of channel `channel` (1-based) for the name the user confirmed. A name still in the
// proposed "..._CHx.jpg" form becomes "..._CH<channel>.jpg"; any other name keeps every character
// the user typed and gets "_CH<channel>.jpg" after it (a ".jpg" the user typed is not doubled).
std::filesystem::path SnapshotChannelPath(const std::filesystem::path& chosen, int channel);

// The picture of channel `channel` of a print report: "<folder>/<base>_<channel>.jpg".
std::filesystem::path ReportPicturePath(const std::filesystem::path& folder, const std::string& baseName,
                                        int channel);
