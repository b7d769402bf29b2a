#include "ui/playback/EnginePlayback.h"

#include "media/playback/PlaybackEngine.h"

#include <algorithm>

// The holder's queries poll the pipeline, so they are not const; the control's are.
int EnginePlayback::getState() const {
    return m_holder.getState();
}
int EnginePlayback::getChannelCount() const {
    return m_holder.getChannelCount();
}
uint64_t EnginePlayback::getPositionMs() const {
    return m_holder.getPositionMs();
}
uint64_t EnginePlayback::getDurationMs() const {
    return m_holder.getDurationMs();
}
bool EnginePlayback::Run() {
    return m_holder.Run();
}
bool EnginePlayback::pause() {
    return m_holder.pause();
}
bool EnginePlayback::stop() {
    return m_holder.stop();
}
void EnginePlayback::seekTo(int64_t ms) {
    m_holder.seekTo(static_cast<uint64_t>(std::max<int64_t>(ms, 0)));
}
void EnginePlayback::setRate(float rate) {
    m_holder.setRate(rate);
}
void EnginePlayback::setBrightness(int channel, int level) {
    m_holder.setBrightness(channel, level);
}
bool EnginePlayback::stepFrame() {
    return m_holder.stepFrame();
}
void EnginePlayback::setVolume(int level) {
    m_holder.setVolume(static_cast<uint32_t>(std::clamp(level, 0, 65535)));
}
void EnginePlayback::setViewOptions(uint32_t options) {
    m_holder.setViewOptions(options & (PlaybackEngine::kViewFlip | PlaybackEngine::kViewMirror));
}
