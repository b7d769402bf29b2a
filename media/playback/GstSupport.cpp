#include "media/playback/GstSupport.h"

#include "media/playback/RecordingSource.h"

#include <gst/gst.h>
#include <mutex>

bool ensureGStreamer() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] {
        GError* error = nullptr;
        ok = gst_init_check(nullptr, nullptr, &error);
        g_clear_error(&error);
        if (ok)
            registerRecordingSource();
    });
    return ok;
}
