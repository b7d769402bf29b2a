#include "media/playback/PlaybackEngineImpl.h"
#include "media/playback/GstSupport.h"
#include "media/playback/RecordingSource.h"

#include <QCoreApplication>
#include <QTimer>

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

constexpr int kBusPollMs = 100;

bool canCreate(const char* factory) {
    GstElement* element = gst_element_factory_make(factory, nullptr);
    if (!element)
        return false;
    gst_object_unref(element);
    return true;
}

} // namespace

PlaybackEngine::PlaybackEngine() {
    ensureGStreamer();
    if (QCoreApplication::instance()) {
        m_pollTimer = new QTimer();
        m_pollTimer->setInterval(kBusPollMs);
        m_pollTimer->callOnTimeout([this] { pollBus(); });
    }
}

PlaybackEngine::~PlaybackEngine() {
    delete m_pollTimer;
    m_impl.reset(); // no view is called from here: the views may already be gone
}

int PlaybackEngine::checkFilters() {
    if (!ensureGStreamer())
        return -1;
    if (!canCreate(kRecordingSourceFactory) || !canCreate("avidemux"))
        return -1;
    if (!canCreate("avdec_h264") || !canCreate("h264parse"))
        return -2;
    if (!canCreate("avdec_aac"))
        return -3;
    if (!canCreate("videobalance"))
        return -4;
    return 1;
}

void PlaybackEngine::clearViews(int from) {
    for (int i = from; i < kMaxChannels; ++i)
        if (m_views[i])
            m_views[i]->clearFrame();
}

bool PlaybackEngine::open(const std::filesystem::path& path) {
    m_lastError.clear();
    if (!m_viewsSet || path.empty()) {
        m_lastError = !m_viewsSet ? "no video windows attached" : "no recording given";
        return false;
    }
    if (m_impl && m_impl->built) {
        stop();
        seekTo(0);
    }
    m_impl = std::make_unique<Impl>();
    m_impl->engine = this;
    m_impl->views = m_views;
    m_impl->volumeLevel = m_volume;
    m_impl->viewOptions = m_viewOptions;
    m_channelCount = 0;
    m_rate = 1.0f;
    if (!build(path)) {
        m_impl.reset();
        clearViews(0);
        return false;
    }
    // Views beyond the recording's channels show nothing rather than the previous recording.
    clearViews(m_channelCount);
    if (m_pollTimer)
        m_pollTimer->start();
    return true;
}

void PlaybackEngine::close() {
    if (m_pollTimer)
        m_pollTimer->stop();
    m_channelCount = 0;
    if (!m_impl)
        return;
    m_impl.reset();
    clearViews(0);
}

PlaybackEngine::State PlaybackEngine::state() {
    if (!m_impl)
        return State::Closed;
    m_impl->poll();
    return m_impl->state;
}

double PlaybackEngine::appliedRate() {
    if (!m_impl)
        return 1.0;
    Impl& d = *m_impl;
    d.poll();
    if (!d.pipeline)
        return 1.0;
    // The video sinks play the segment as sent; the sound's tempo element turns its segment into
    // a normal-speed one, so asking the whole pipeline could answer 1.0.
    GstElement* target = m_channelCount > 0 && d.channels[0] ? d.channels[0]->sink : d.pipeline;
    GstQuery* query = gst_query_new_segment(GST_FORMAT_TIME);
    double rate = d.appliedRate;
    if (gst_element_query(target, query))
        gst_query_parse_segment(query, &rate, nullptr, nullptr, nullptr);
    gst_query_unref(query);
    return rate;
}

void PlaybackEngine::setBrightness(int channel, int value) {
    if (!m_impl)
        return;
    Impl& d = *m_impl;
    d.poll();
    if (channel < 0 || channel >= kMaxChannels)
        return;
    value = std::clamp(value, -255, 255);
    bool changed = d.brightness[channel] != value;
    d.brightness[channel] = value;
    if (!d.channels[channel] || channel >= m_channelCount)
        return;
    g_object_set(d.channels[channel]->balance, "brightness", value / 255.0, nullptr);
    if (changed)
        d.redecodeStill();
}

void PlaybackEngine::setViewOptions(uint32_t options) {
    m_viewOptions = options;
    if (!m_impl)
        return;
    Impl& d = *m_impl;
    d.poll();
    uint32_t old = d.viewOptions.exchange(options);
    int direction = Impl::videoDirection(options);
    for (int i = 0; i < m_channelCount; ++i)
        if (d.channels[i])
            g_object_set(d.channels[i]->flip, "video-direction", direction, nullptr);
    if (Impl::videoDirection(old) != direction && m_channelCount > 0)
        d.redecodeStill();
}

void PlaybackEngine::setVolume(uint32_t level) {
    level = std::min<uint32_t>(level, 65535);
    m_volume = level;
    if (!m_impl)
        return;
    Impl& d = *m_impl;
    d.poll();
    d.volumeLevel = level;
    if (d.volume)
        g_object_set(d.volume, "volume", level / 65535.0, nullptr);
}

void PlaybackEngine::setViews(const std::array<ChannelView*, kMaxChannels>& views) {
    m_views = views;
    m_viewsSet = true;
    if (!m_impl) {
        m_impl = std::make_unique<Impl>(); // nothing open yet: NotBuilt
        m_impl->engine = this;
        m_impl->views = views;
        m_impl->volumeLevel = m_volume;
        m_impl->viewOptions = m_viewOptions;
        return;
    }
    Impl& d = *m_impl;
    d.poll();
    for (int i = 0; i < kMaxChannels; ++i) {
        ChannelView* old = d.views[i];
        d.views[i] = views[i];
        VideoFramePtr latest;
        if (d.channels[i]) {
            std::lock_guard lock(d.channels[i]->mutex);
            d.channels[i]->view = views[i];
            latest = d.channels[i]->latest;
        }
        if (old == views[i])
            continue;
        if (old && std::find(views.begin(), views.end(), old) == views.end())
            old->clearFrame();
        if (views[i]) {
            if (latest)
                views[i]->presentFrame(latest);
            else
                views[i]->clearFrame();
        }
    }
    applyViewSizes();
}

void PlaybackEngine::repaint() {
    if (!m_impl)
        return;
    Impl& d = *m_impl;
    d.poll();
    applyViewSizes(); // the views may have been resized; the next picture comes at the new size
    for (int i = 0; i < m_channelCount; ++i) {
        if (!d.channels[i])
            continue;
        std::lock_guard lock(d.channels[i]->mutex);
        if (d.channels[i]->view && d.channels[i]->latest)
            d.channels[i]->view->presentFrame(d.channels[i]->latest);
    }
}

VideoFramePtr PlaybackEngine::captureImage(int channel) {
    if (!m_impl)
        return nullptr;
    Impl& d = *m_impl;
    d.poll();
    if (!d.built || channel < 1 || channel > m_channelCount || !d.channels[channel - 1])
        return nullptr;
    d.settle(kSettleTimeout);
    Impl::Channel& c = *d.channels[channel - 1];
    GstBuffer* buffer = nullptr;
    GstCaps* caps = nullptr;
    GstSegment segment;
    VideoFramePtr latest;
    {
        std::lock_guard lock(c.mutex);
        if (c.fullBuffer && c.fullCaps) {
            buffer = gst_buffer_ref(c.fullBuffer);
            caps = gst_caps_ref(c.fullCaps);
            gst_segment_copy_into(&c.fullSegment, &segment);
        }
        latest = c.latest;
    }
    if (!buffer)
        return latest && latest->isValid() ? latest : nullptr;
    VideoFramePtr frame = Impl::convertToBgrx(buffer, caps, &segment);
    gst_buffer_unref(buffer);
    gst_caps_unref(caps);
    return frame ? frame : latest;
}

void PlaybackEngine::applyViewSizes() {
    if (!m_impl)
        return;
    Impl& d = *m_impl;
    d.readHints();
    for (int i = 0; i < m_channelCount; ++i)
        if (d.channels[i])
            d.applyViewSize(*d.channels[i]);
}

// A counter of the video sinks' statistics, summed over the channels.
static uint64_t sinkStat(PlaybackEngine::Impl* d, int channelCount, const char* field) {
    uint64_t total = 0;
    if (!d)
        return 0;
    for (int i = 0; i < channelCount; ++i) {
        if (!d->channels[i])
            continue;
        GstStructure* stats = nullptr;
        g_object_get(d->channels[i]->sink, "stats", &stats, nullptr);
        guint64 value = 0;
        if (stats) {
            gst_structure_get_uint64(stats, field, &value);
            gst_structure_free(stats);
        }
        total += value;
    }
    return total;
}

uint64_t PlaybackEngine::droppedFrames() {
    return sinkStat(m_impl.get(), m_channelCount, "dropped");
}

uint64_t PlaybackEngine::renderedFrames() {
    return sinkStat(m_impl.get(), m_channelCount, "rendered");
}
