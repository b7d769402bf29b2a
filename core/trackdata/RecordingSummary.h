// Plain-text summary of an opened recording's data records (information texts, protection, sample
// counts, setup record, event marks), one "key: value" line each. Used by quillent-tool "info".
#pragma once

#include "core/trackdata/RecordingDataLoader.h"

#include <string>
#include <vector>

// Never prints the recording's ID or password, only whether it is protected.
std::vector<std::string> SummariseRecordingData(const RecordingData& data);
