// What the opening of a recording keeps of its data records: the record loop's result, handed to
// the panels, the information dialog, the print report and the identity check.
#pragma once

#include "core/trackdata/RecordingDataLoader.h"

using LoadedTrackData = RecordingData;
