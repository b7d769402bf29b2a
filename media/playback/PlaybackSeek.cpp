// The playback engine's seek and step: run, pause, stop, seeks, skips, frame steps and the position.
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

constexpr float kMinRate = 0.5f;
// The page offers 1.0 to 4.0; every one of them is played. Pictures the machine cannot show in
// time are dropped by the late-picture rule of the video sinks; the sound keeps its pitch.
constexpr float kMaxRate = 4.0f;

} // namespace

bool PlaybackEngine::Impl::seekNs(gint64 positionNs, double rate) {
    if (!pipeline)
        return false;
    bool ok = gst_element_seek(pipeline, rate, GST_FORMAT_TIME,
                               GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
                               positionNs, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
    if (ok) {
        lastPositionNs = positionNs;
        appliedRate = rate;
        atEnd = false;
        stepped = false;
    }
    return ok;
}

EngineResult PlaybackEngine::Impl::admit(bool needsActive) {
    poll();
    if (!built)
        return EngineResult::NotReady;
    if (needsActive && state != State::Running && state != State::Paused)
        return EngineResult::WrongState;
    return EngineResult::Ok;
}

EngineResult PlaybackEngine::Impl::holdAt(State newState) {
    if (gst_element_set_state(pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
        return EngineResult::Failed;
    state = newState;
    return EngineResult::Ok;
}

EngineResult PlaybackEngine::Impl::seekWithin(int64_t target) {
    int64_t length = duration();
    if (length > 0 && target >= length)
        target = length - GST_MSECOND;
    return seekNs(std::max<int64_t>(target, 0), appliedRate) ? EngineResult::Ok : EngineResult::Failed;
}

EngineResult PlaybackEngine::Impl::skipBy(int64_t deltaNs) {
    if (EngineResult admitted = admit(true); admitted != EngineResult::Ok)
        return admitted;
    int64_t position = positionNs();
    if (position < 0)
        return EngineResult::Failed;
    if (atEnd && duration() > 0)
        position = duration();
    return seekWithin(position + deltaNs);
}

void PlaybackEngine::Impl::redecodeStill() {
    if (state == State::Running || !built || atEnd)
        return;
    if (int64_t position = positionNs(); position >= 0)
        seekNs(position, appliedRate);
}

int64_t PlaybackEngine::Impl::positionNs() {
    if (!pipeline)
        return -1;
    // Right after a flushing seek the sinks have no position until they preroll again; the
    // target of the seek is the position meanwhile.
    GstState current, pending;
    if (gst_element_get_state(pipeline, &current, &pending, 0) == GST_STATE_CHANGE_ASYNC)
        return lastPositionNs;
    gint64 position = 0;
    if (!gst_element_query_position(pipeline, GST_FORMAT_TIME, &position) || position < 0)
        return lastPositionNs;
    lastPositionNs = position;
    return position;
}

int64_t PlaybackEngine::Impl::duration() {
    if (durationNs <= 0 && pipeline) {
        // The recording lasts as long as its first camera: a cut-short file's sound header
        // may still claim the planned length. Without pictures the longest stream counts.
        gint64 d = 0;
        GstElement* first = channels[0] ? channels[0]->sink : nullptr;
        if (first && gst_element_query_duration(first, GST_FORMAT_TIME, &d) && d > 0)
            durationNs = d;
        else if (gst_element_query_duration(pipeline, GST_FORMAT_TIME, &d) && d > 0)
            durationNs = d;
    }
    return durationNs;
}

uint64_t PlaybackEngine::Impl::frameCount(int index) {
    std::lock_guard lock(frameMutex);
    return channels[index] ? channels[index]->frames : 0;
}

bool PlaybackEngine::run() {
    return !m_impl ? result(EngineResult::Ok) : result(runPipeline());
}

EngineResult PlaybackEngine::runPipeline() {
    Impl& d = *m_impl;
    if (EngineResult admitted = d.admit(false); admitted != EngineResult::Ok)
        return admitted;
    if (d.state != State::Paused && d.state != State::Stopped)
        return EngineResult::WrongState;
    // 1.0 is applied as it is; any other rate is held to the range the page offers.
    if (m_rate != 1.0f)
        m_rate = std::clamp(m_rate, kMinRate, kMaxRate);
    int64_t position = d.positionNs();
    int64_t duration = d.duration();
    bool ended = d.atEnd || (duration > 0 && position >= duration);
    if (ended) {
        if (!d.seekNs(0, m_rate))
            return EngineResult::Failed;
    } else if (d.stepped || d.appliedRate != m_rate) {
        // Steps moved only the pictures; a seek to where they are brings the sound back in step.
        if (!d.seekNs(std::max<int64_t>(position, 0), m_rate))
            return EngineResult::Failed;
    }
    if (gst_element_set_state(d.pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return EngineResult::Failed;
    d.state = State::Running;
    return EngineResult::Ok;
}

bool PlaybackEngine::pause() {
    return !m_impl ? result(EngineResult::Ok) : result(pausePipeline());
}

EngineResult PlaybackEngine::pausePipeline() {
    Impl& d = *m_impl;
    if (EngineResult admitted = d.admit(false); admitted != EngineResult::Ok)
        return admitted;
    return d.state == State::Running ? d.holdAt(State::Paused) : EngineResult::Ok;
}

bool PlaybackEngine::stop() {
    if (!m_impl)
        return result(EngineResult::Ok);
    Impl& d = *m_impl;
    if (EngineResult admitted = d.admit(true); admitted != EngineResult::Ok)
        return result(admitted);
    // Stopped keeps the pipeline cued (paused) where it is: seeks still show their picture and a
    // run continues from the current position, as the callers expect.
    return result(d.holdAt(State::Stopped));
}

bool PlaybackEngine::seekTo(uint64_t ms) {
    if (!m_impl)
        return result(EngineResult::NotReady);
    Impl& d = *m_impl;
    if (EngineResult admitted = d.admit(false); admitted != EngineResult::Ok)
        return result(admitted);
    return result(d.seekWithin(static_cast<int64_t>(std::min<uint64_t>(ms, INT64_MAX / GST_MSECOND)) * GST_MSECOND));
}

bool PlaybackEngine::skipBack(uint32_t seconds) {
    return result(m_impl ? m_impl->skipBy(-int64_t(seconds) * int64_t(GST_SECOND)) : EngineResult::NotReady);
}

bool PlaybackEngine::skipForward(uint32_t seconds) {
    return result(m_impl ? m_impl->skipBy(int64_t(seconds) * int64_t(GST_SECOND)) : EngineResult::NotReady);
}

bool PlaybackEngine::stepFrame() {
    if (!m_impl)
        return false;
    Impl& d = *m_impl;
    d.poll();
    if (!d.built || m_channelCount == 0 || d.atEnd)
        return false;
    if (d.state == State::Running) {
        if (pausePipeline() != EngineResult::Ok)
            return false;
    }
    if (!d.settle(kSettleTimeout))
        return false;
    std::array<uint64_t, kMaxChannels> before{};
    for (int i = 0; i < m_channelCount; ++i)
        before[i] = d.frameCount(i);
    bool sent = false;
    for (int i = 0; i < m_channelCount; ++i) {
        if (!d.channels[i])
            continue;
        // Each video sink on its own: a step of the whole pipeline would move the sound too.
        sent |= gst_element_send_event(d.channels[i]->sink,
                                       gst_event_new_step(GST_FORMAT_BUFFERS, 1, 1.0, TRUE, FALSE)) != FALSE;
    }
    if (!sent)
        return false;
    d.stepped = true;
    // The stepped picture arrives through each sink's preroll; wait (bounded) for all of them so a
    // capture or repaint right after shows the new frame.
    std::unique_lock lock(d.frameMutex);
    bool all = d.frameArrived.wait_for(lock, std::chrono::nanoseconds(kSettleTimeout), [&] {
        for (int i = 0; i < m_channelCount; ++i)
            if (d.channels[i] && d.channels[i]->frames == before[i])
                return false;
        return true;
    });
    lock.unlock();
    d.poll();
    return all;
}

uint64_t PlaybackEngine::positionMs() {
    if (!m_impl)
        return 0;
    Impl& d = *m_impl;
    d.poll();
    if (!d.built)
        return 0;
    int64_t duration = d.duration();
    if (d.atEnd && duration > 0)
        return static_cast<uint64_t>(duration / GST_MSECOND);
    int64_t position = d.positionNs();
    if (position <= 0)
        return 0;
    if (duration > 0)
        position = std::min(position, duration);
    return static_cast<uint64_t>(position / GST_MSECOND);
}

uint64_t PlaybackEngine::durationMs() {
    if (!m_impl)
        return 0;
    Impl& d = *m_impl;
    d.poll();
    if (!d.built)
        return 0;
    int64_t duration = d.duration();
    return duration > 0 ? static_cast<uint64_t>(duration / GST_MSECOND) : 0;
}

void PlaybackEngine::setRate(float rate) {
    if (!m_impl)
        return;
    Impl& d = *m_impl;
    d.poll();
    if (!std::isfinite(rate) || rate <= 0.0f)
        return;
    bool wasRunning = d.state == State::Running;
    pausePipeline();
    m_rate = rate;
    if (wasRunning)
        runPipeline();
}
