// Linked into every test executable: headless Qt and web views even when a test binary is started
// by hand. Values already present in the environment win.
#include <cstdlib>

namespace {
const bool kEnvironmentSet = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 0);
    setenv("GST_DEBUG_NO_COLOR", "1", 0);
    return true;
}();
} // namespace
