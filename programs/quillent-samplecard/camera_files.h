// The camera's own files on a sample card: "setup.ini" (quick settings), "setup.cfg" (the 700-byte
// setup record) and the event log "eventlog.bin". Called by the sample-card generator.
#pragma once

#include "core/camera/SetupRecord.h"

#include <filesystem>

// The setup record the sample camera uses; also embedded in the sample recordings.
SetupRecord SampleSetupRecord();

// Writes the three files into the card's root folder (deterministic content). Throws
// std::filesystem::filesystem_error when a file cannot be written.
void WriteSampleCameraFiles(const std::filesystem::path& card);
