// Stand-in until the GStreamer engine lands: the holder without an engine, so the layers above
// link and every control behaves as "nothing open".
#include "media/playback/PlaybackEngine.h"

PlaybackEngineHolder::PlaybackEngineHolder() = default;
PlaybackEngineHolder::~PlaybackEngineHolder() = default;
void PlaybackEngineHolder::AttachWindows(const std::array<ChannelView*, kWindowCount>& views) { m_views = views; }
int PlaybackEngineHolder::CheckFilters() { return 1; }
bool PlaybackEngineHolder::OpenRecording(const std::filesystem::path&) {
    m_lastError = "no playback engine";
    return false;
}
void PlaybackEngineHolder::CloseRecording() {}
bool PlaybackEngineHolder::Run() { return true; }
bool PlaybackEngineHolder::Pause() { return true; }
bool PlaybackEngineHolder::Stop() { return true; }
void PlaybackEngineHolder::SeekTo(uint64_t) {}
bool PlaybackEngineHolder::SkipBack(uint32_t) { return false; }
bool PlaybackEngineHolder::SkipForward(uint32_t) { return false; }
uint64_t PlaybackEngineHolder::GetPositionMs() { return 0; }
uint64_t PlaybackEngineHolder::GetDurationMs() { return 0; }
int PlaybackEngineHolder::GetState() { return -1; }
int PlaybackEngineHolder::GetChannelCount() { return 0; }
void PlaybackEngineHolder::SetRate(float) {}
void PlaybackEngineHolder::SetBrightness(int, int) {}
bool PlaybackEngineHolder::StepFrame() { return false; }
void PlaybackEngineHolder::Repaint() {}
VideoFramePtr PlaybackEngineHolder::CaptureImage(int) { return nullptr; }
void PlaybackEngineHolder::SetVolume(uint32_t level) { m_volume = level; }
void PlaybackEngineHolder::SetViewOptions(uint32_t options) { m_viewOptions = options; }
struct PlaybackEngine::Impl {};
PlaybackEngine::~PlaybackEngine() = default;
