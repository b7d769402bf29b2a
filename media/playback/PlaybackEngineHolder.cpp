#include "media/playback/PlaybackEngine.h"

#include "media/playback/GstSupport.h"
#include "media/playback/RecordingSource.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <gst/gst.h>

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

PlaybackEngineHolder::PlaybackEngineHolder() {
    ensureGStreamer();
    if (QCoreApplication::instance()) {
        m_pollTimer = new QTimer();
        m_pollTimer->setInterval(kBusPollMs);
        m_pollTimer->callOnTimeout([this] { pollFromTimer(); });
    }
}

PlaybackEngineHolder::~PlaybackEngineHolder() {
    delete m_pollTimer;
    m_engine.reset(); // no view is called from here: the views may already be gone
}

void PlaybackEngineHolder::pollFromTimer() {
    if (m_engine)
        m_engine->pollBus();
}

void PlaybackEngineHolder::attachWindows(const std::array<ChannelView*, kWindowCount>& views) {
    m_views = views;
    m_windowCount = kWindowCount;
    if (m_engine)
        m_engine->setViews(views);
    else
        m_engine = std::make_unique<PlaybackEngine>(views);
}

int PlaybackEngineHolder::checkFilters() {
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

bool PlaybackEngineHolder::OpenRecording(const std::filesystem::path& path) {
    m_lastError.clear();
    if (m_windowCount == 0 || path.empty()) {
        m_lastError = m_windowCount == 0 ? "no video windows attached" : "no recording given";
        return false;
    }
    if (m_engine) {
        m_engine->stop();
        m_engine->seekTo(0);
        m_engine.reset();
    }
    auto engine = std::make_unique<PlaybackEngine>(m_views);
    engine->setVolume(m_volume);
    engine->setViewOptions(m_viewOptions);
    if (!engine->build(path)) {
        m_lastError = engine->lastError();
        for (ChannelView* view : m_views)
            if (view)
                view->clearFrame();
        return false;
    }
    // Views beyond the recording's channels show nothing rather than the previous recording.
    for (int i = engine->getChannelCount(); i < kWindowCount; ++i)
        if (m_views[i])
            m_views[i]->clearFrame();
    m_engine = std::move(engine);
    if (m_pollTimer)
        m_pollTimer->start();
    return true;
}

void PlaybackEngineHolder::closeRecording() {
    if (m_pollTimer)
        m_pollTimer->stop();
    if (!m_engine)
        return;
    m_engine.reset();
    for (ChannelView* view : m_views)
        if (view)
            view->clearFrame();
}

bool PlaybackEngineHolder::Run() {
    return !m_engine || m_engine->Run() == EngineResult::Ok;
}

bool PlaybackEngineHolder::pause() {
    return !m_engine || m_engine->pause() == EngineResult::Ok;
}

bool PlaybackEngineHolder::stop() {
    return !m_engine || m_engine->stop() == EngineResult::Ok;
}

void PlaybackEngineHolder::seekTo(uint64_t ms) {
    if (m_engine)
        m_engine->seekTo(ms);
}

bool PlaybackEngineHolder::skipBack(uint32_t seconds) {
    return m_engine && m_engine->skipBack(seconds) == EngineResult::Ok;
}

bool PlaybackEngineHolder::skipForward(uint32_t seconds) {
    return m_engine && m_engine->skipForward(seconds) == EngineResult::Ok;
}

uint64_t PlaybackEngineHolder::getPositionMs() {
    return m_engine ? m_engine->getPositionMs() : 0;
}

uint64_t PlaybackEngineHolder::getDurationMs() {
    return m_engine ? m_engine->getDurationMs() : 0;
}

int PlaybackEngineHolder::getState() {
    return m_engine ? m_engine->getState() : -1;
}

int PlaybackEngineHolder::getChannelCount() {
    return m_engine ? m_engine->getChannelCount() : 0;
}

void PlaybackEngineHolder::setRate(float rate) {
    if (m_engine)
        m_engine->setRate(rate);
}

void PlaybackEngineHolder::setBrightness(int channel, int value) {
    if (m_engine)
        m_engine->setBrightness(channel, value);
}

bool PlaybackEngineHolder::stepFrame() {
    return m_engine && m_engine->stepFrame();
}

void PlaybackEngineHolder::repaint() {
    if (m_engine)
        m_engine->repaint();
}

VideoFramePtr PlaybackEngineHolder::captureImage(int channel) {
    // Channel n needs at least n windows (channel 4 all four); the window count is 4 once attached.
    if (!m_engine || channel < 1 || channel > m_windowCount)
        return nullptr;
    return m_engine->captureImage(channel);
}

void PlaybackEngineHolder::setVolume(uint32_t level) {
    m_volume = std::min<uint32_t>(level, 65535);
    if (m_engine)
        m_engine->setVolume(m_volume);
}

void PlaybackEngineHolder::setViewOptions(uint32_t options) {
    m_viewOptions = options;
    if (m_engine)
        m_engine->setViewOptions(options);
}
