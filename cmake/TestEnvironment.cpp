// Linked into every test executable: headless Qt and web views even when a test binary is started
// by hand. Values already present in the environment win.
#include <cstdlib>

namespace {
const bool kEnvironmentSet = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 0);
    setenv("GST_DEBUG_NO_COLOR", "1", 0);
    // Map panels check and fetch tiles here (a closed port), never on a real tile server.
    setenv("QUILLENT_MAP_TILES", "http://127.0.0.1:9/{z}/{x}/{y}.png", 0);
    return true;
}();
} // namespace
