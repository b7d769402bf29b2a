// Encodes the sample cards' moving pictures (H.264) and sound (AAC, or PCM made directly) with
// GStreamer, returning the encoded frames for the recording writer. Sample-card generator only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct EncodedFrame {
    std::vector<uint8_t> data;
    uint64_t timeMs = 0; // presentation time from the start of the stream
    bool keyFrame = false;
};

struct EncodedStream {
    std::vector<EncodedFrame> frames;
    std::vector<uint8_t> codecConfig; // AAC AudioSpecificConfig
    std::string error;                // empty on success
};

struct VideoRequest {
    std::string label;      // burnt into the picture together with the running time
    int pattern = 0;        // picture kind, varied per channel
    bool drawnRoad = false; // a drawn road (front, rear, side window by pattern) instead of a test card
    uint32_t width = 320, height = 180, fps = 10;
    uint32_t seconds = 3;
    uint32_t kbps = 300;
};

// One-time GStreamer set-up; false with a message when a needed element is missing.
bool InitMediaEncoder(std::string* error);

// H.264 byte stream, one access unit per frame, SPS/PPS before every key frame (1 s apart).
EncodedStream EncodeVideo(const VideoRequest& request);
// AAC-LC frames of 1024 samples; a tick each second over a quiet tone.
EncodedStream EncodeAac(uint32_t sampleRate, uint32_t channels, uint32_t seconds);
// 16-bit PCM blocks of 1024 samples, a 440 Hz tone.
EncodedStream MakePcm(uint32_t sampleRate, uint32_t channels, uint32_t seconds);
// A plain MP4 recording (H.264 + AAC) written straight to `path`; creation times zeroed so the
// file is the same on every run.
bool WriteMp4(const std::string& path, const VideoRequest& request, std::string* error);
