// Fuzzes the reading of the camera's "setup.ini" and the save text built from what was read.
#include "core/camera/CWBCIniLoader.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] { return std::freopen("/dev/null", "w", stdout) != nullptr; }();
    (void)quiet;
    CWBCIniLoader loader;
    RegisterQuickSettingItems(loader);
    loader.LoadFromText(std::string_view(reinterpret_cast<const char*>(data), size));
    int32_t value = 0;
    for (const auto& item : kQuickSettingItems)
        loader.GetInt(item.key, value);
    loader.SetIntAt(0, value);
    loader.IsUnchanged();
    loader.SavedText();
    return 0;
}
