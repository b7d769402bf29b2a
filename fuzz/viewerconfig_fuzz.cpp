// Feeds arbitrary bytes to the program-configuration loader: a damaged or hand-edited
// viewerconfig.cfg must never crash the program or hang it.
#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"

#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A `language` element reads the installer language: keep the user's settings out of it.
    static QTemporaryDir settings;
    SetSettingsDirectoryForTesting(settings.path().toStdString());
    // The loader's diagnostics are wanted on a console, not in millions of fuzz runs.
    std::freopen("/dev/null", "w", stdout);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ViewerConfig config;
    LoadViewerConfigFromMemory(std::string_view(reinterpret_cast<const char*>(data), size), config);
    // Touch what a caller reads afterwards.
    DirEntry entry;
    for (int i = 0; i < config.GetDirCount(); ++i)
        config.GetDirEntry(i, entry);
    std::string text;
    config.GetLString(config.GetLanguage(), "MAIN_MSG_NO_FILES", text);
    return 0;
}
