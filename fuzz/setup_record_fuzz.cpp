// Fuzzes the 700-byte setup file ("setup.cfg") and the copy a recording carries: any bytes loaded
// over the record, shown on the page, turned into the setting string and parsed back.
#include "core/camera/SettingString.h"
#include "core/camera/SetupRecord.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // As "Load" reads a file: up to 700 bytes over the defaults, credentials cleared.
    SetupRecord loaded = DefaultSetupRecord();
    OverlaySetupBytes(loaded, std::span(data, size));
    ClearCredentials(loaded);
    PopulateCalls(loaded);
    const std::string setting = MakeSettingString(loaded);
    SetupRecord parsed;
    ParseSettingString(setting, parsed);
    // What the page sends back for a shown record is stable: showing and sending it again gives
    // the same string.
    PopulateCalls(parsed);
    SetupRecord again;
    ParseSettingString(MakeSettingString(parsed), again);
    PopulateCalls(again);
    if (MakeSettingString(again) != MakeSettingString(parsed))
        std::abort();

    // As "Load from recording": the embedded copy, V record and Z pieces of any content.
    SetupRecordBytes copy{};
    std::memcpy(copy.data(), data, std::min(size, copy.size()));
    SetupRecord fromRecording = DefaultSetupRecord();
    LoadSetupFromRecordingCopy(fromRecording, copy);
    MakeSetupVRecord(fromRecording);
    MakeSetupZPieces(fromRecording);
    return 0;
}
