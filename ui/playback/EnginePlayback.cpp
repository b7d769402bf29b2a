#include "ui/playback/EnginePlayback.h"

#include "media/playback/PlaybackEngine.h"

#include <algorithm>

// The holder's queries poll the pipeline, so they are not const; the control's are.
int EnginePlayback::GetState() const {
    return m_holder.GetState();
}
int EnginePlayback::GetChannelCount() const {
    return m_holder.GetChannelCount();
}
uint64_t EnginePlayback::GetPositionMs() const {
    return m_holder.GetPositionMs();
}
uint64_t EnginePlayback::GetDurationMs() const {
    return m_holder.GetDurationMs();
}
bool EnginePlayback::Run() {
    return m_holder.Run();
}
bool EnginePlayback::Pause() {
    return m_holder.Pause();
}
bool EnginePlayback::Stop() {
    return m_holder.Stop();
}
void EnginePlayback::SeekTo(int64_t ms) {
    m_holder.SeekTo(static_cast<uint64_t>(std::max<int64_t>(ms, 0)));
}
void EnginePlayback::SetRate(float rate) {
    m_holder.SetRate(rate);
}
void EnginePlayback::SetBrightness(int channel, int level) {
    m_holder.SetBrightness(channel, level);
}
bool EnginePlayback::StepFrame() {
    return m_holder.StepFrame();
}
void EnginePlayback::SetVolume(int level) {
    m_holder.SetVolume(static_cast<uint32_t>(std::clamp(level, 0, 65535)));
}
void EnginePlayback::SetViewOptions(uint32_t options) {
    m_holder.SetViewOptions(options & (PlaybackEngine::kViewFlip | PlaybackEngine::kViewMirror));
}
