// The playback engine's bus and state handling: message filtering, cueing a new pipeline, draining.
#include "media/playback/PlaybackEngineImpl.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr GstClockTime kBuildTimeout = 10 * GST_SECOND; // a slow card still opens

} // namespace

GstBusSyncReply PlaybackEngine::Impl::filterMessages(GstBus*, GstMessage* message, gpointer data) {
    Impl* self = static_cast<Impl*>(data);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
    case GST_MESSAGE_EOS:
    case GST_MESSAGE_ASYNC_DONE:
    case GST_MESSAGE_STEP_DONE:
        return GST_BUS_PASS;
    case GST_MESSAGE_STATE_CHANGED:
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(self->pipeline))
            return GST_BUS_PASS;
        break;
    default:
        break;
    }
    // A message the handler drops is its to release: each one holds its source element, and
    // one kept would keep the whole pipeline (threads, buffers, the open recording) alive.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void PlaybackEngine::Impl::handle(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        engine->m_lastError = errorText(message, "playback error");
        // The pipeline stays paused where it failed; the player sees "stopped" and a later run
        // or seek may try again.
        if (pipeline)
            gst_element_set_state(pipeline, GST_STATE_PAUSED);
        if (built)
            state = State::Stopped;
        break;
    }
    case GST_MESSAGE_EOS:
        atEnd = true;
        break;
    default:
        break;
    }
}

std::string PlaybackEngine::Impl::errorText(GstMessage* message, const char* fallback) {
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    std::string text = error && error->message ? error->message : fallback;
    g_clear_error(&error);
    return text;
}

std::string PlaybackEngine::Impl::cue() {
    if (gst_element_set_state(pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
        return "the recording cannot be played";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::nanoseconds(kBuildTimeout);
    for (;;) {
        auto left =
            std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return "the recording did not start in time";
        GstMessage* message = gst_bus_timed_pop(bus, std::min<int64_t>(left.count(), 20 * GST_MSECOND));
        if (!message) {
            std::lock_guard lock(padMutex);
            // A stream that cannot be decoded never prerolls: fail now, not at the time limit.
            if (!padError.empty())
                return padError;
            // Only data streams (or nothing): no sink prerolls, the recording is cued as is.
            if (noMorePads && prerollingSinks == 0)
                return {};
            continue;
        }
        std::string error;
        bool prerolled = false;
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR:
            error = errorText(message, "the recording cannot be played");
            break;
        case GST_MESSAGE_ASYNC_DONE:
            prerolled = true;
            break;
        case GST_MESSAGE_EOS:
            // A recording without any picture or sound ends at once; it still opens.
            atEnd = true;
            break;
        default:
            break;
        }
        gst_message_unref(message);
        if (prerolled || !error.empty())
            return error;
    }
}

void PlaybackEngine::Impl::poll() {
    if (!bus)
        return;
    while (GstMessage* message = gst_bus_pop(bus)) {
        handle(message);
        gst_message_unref(message);
    }
}

bool PlaybackEngine::Impl::settle(GstClockTime timeout) {
    if (!pipeline)
        return false;
    GstState current, pending;
    GstStateChangeReturn result = gst_element_get_state(pipeline, &current, &pending, timeout);
    poll();
    return result == GST_STATE_CHANGE_SUCCESS || result == GST_STATE_CHANGE_NO_PREROLL;
}

void PlaybackEngine::pollBus() {
    if (m_impl)
        m_impl->poll();
}

bool PlaybackEngine::waitForPicture(uint32_t timeoutMs) {
    return m_impl && m_impl->settle(GstClockTime(timeoutMs) * GST_MSECOND);
}
