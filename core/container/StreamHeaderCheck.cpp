#include "core/container/StreamHeaderCheck.h"

#include "core/container/Riff.h"

#include <cstdlib>

namespace {

// What a camera writes, with room to spare: a larger or smaller value is damage.
constexpr uint64_t kMinStrhSize = 48;
constexpr uint64_t kMaxStrhSize = 1024;
constexpr uint64_t kMaxStrfSize = 4096;
constexpr uint64_t kMaxFramesPerSecond = 1000;
constexpr int32_t kMaxPictureSide = 16384;
constexpr uint32_t kMinSampleRate = 1000;
constexpr uint32_t kMaxSampleRate = 192000;
constexpr uint16_t kMaxSoundChannels = 8;

constexpr uint32_t kH264Tags[] = {fourcc("H264"), fourcc("h264"), fourcc("X264"),
                                  fourcc("x264"), fourcc("avc1"), fourcc("AVC1")};

bool isH264Tag(uint32_t tag) {
    for (uint32_t t : kH264Tags)
        if (tag == t)
            return true;
    return false;
}

std::string checkVideo(const AviStreamHeader& s) {
    if (s.format.size() < 40 || s.strfSize > kMaxStrfSize)
        return "its picture format is cut or damaged";
    const int32_t width = int32_t(readLe32(s.format.data() + 4));
    const int32_t height = int32_t(readLe32(s.format.data() + 8));
    if (width <= 0 || width > kMaxPictureSide || height == 0 || std::abs(int64_t(height)) > kMaxPictureSide)
        return "its picture size is damaged";
    if (!isH264Tag(readLe32(s.format.data() + 16)))
        return "its codec is not H.264 (" + fourccText(readLe32(s.format.data() + 16)) + ")";
    if (s.handler != 0 && !isH264Tag(s.handler))
        return "its handler is not H.264 (" + fourccText(s.handler) + ")";
    if (uint64_t(s.rate) > uint64_t(s.scale) * kMaxFramesPerSecond)
        return "its frame rate is damaged";
    return {};
}

std::string checkAudio(const AviStreamHeader& s) {
    if (s.format.size() < 16 || s.strfSize > kMaxStrfSize)
        return "its sound format is cut or damaged";
    const uint8_t* f = s.format.data();
    const uint16_t tag = readLe16(f), channels = readLe16(f + 2), blockAlign = readLe16(f + 12),
                   bits = readLe16(f + 14);
    const uint32_t sampleRate = readLe32(f + 4);
    if (tag != kWavePcm && !isAacWaveTag(tag))
        return "its sound codec is not the camera's (tag " + std::to_string(tag) + ")";
    if (channels == 0 || channels > kMaxSoundChannels)
        return std::to_string(channels) + " sound channels";
    if (sampleRate < kMinSampleRate || sampleRate > kMaxSampleRate)
        return "a sample rate of " + std::to_string(sampleRate) + " Hz";
    if (tag == kWavePcm && ((bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
                            blockAlign != channels * (bits / 8)))
        return "its PCM sample layout is damaged";
    return {};
}

} // namespace

std::vector<StreamVerdict> CheckStreamHeaders(const AviLayout& layout) {
    std::vector<StreamVerdict> verdicts(layout.streams.size());
    for (size_t i = 0; i < layout.streams.size(); ++i) {
        const AviStreamHeader& s = layout.streams[i];
        std::string why;
        if (!s.strhDataOffset || s.strhSize < kMinStrhSize || s.strhSize > kMaxStrhSize)
            why = "its stream header is cut or damaged";
        else if (s.type != kFccVids && s.type != kFccAuds && s.type != kFccTxts)
            why = "its kind is unknown (" + fourccText(s.type) + ")";
        else if (s.scale == 0 || s.rate == 0)
            why = "its time base is zero";
        else if (s.type == kFccVids)
            why = checkVideo(s);
        else if (s.type == kFccAuds)
            why = checkAudio(s);
        verdicts[i] = {why.empty(), why};
    }
    return verdicts;
}
