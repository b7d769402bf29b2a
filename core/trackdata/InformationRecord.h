// Builds the "I" information record a recording carries (fields 3..9: version, company, vehicle,
// driver, recording ID, password, serial number) in the camera code page. The record loop reads
// it back; used by the sample-card generator and tests.
#pragma once

#include "core/trackdata/RecordingDataLoader.h"

#include <cstdint>
#include <string>
#include <vector>

// Texts must not contain ","; an ID or password left empty is written empty.
std::vector<uint8_t> MakeInformationRecord(const RecordingInfoTexts& info, const std::string& recordingId,
                                           const std::string& recordingPassword);
