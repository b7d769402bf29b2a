// Fuzzes the setup page's setting string: parse into a record, show it, and the text conversions.
#include "core/camera/SettingString.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    SetupRecord record;
    ParseSettingString(text, record);
    PopulateCalls(record);
    std::string again = MakeSettingString(record);
    ParseSettingString(again, record);

    // A loaded file or recording may hold any bytes.
    SetupRecord loaded = DefaultSetupRecord();
    OverlaySetupBytes(loaded, std::span(data, size));
    PopulateCalls(loaded);
    MakeSettingString(loaded);
    return 0;
}
