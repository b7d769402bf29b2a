// One decoded picture of a camera channel, shared between the playback engine, the channel views
// and the picture capture. Immutable once made, so any thread may read it.
#pragma once

#include <cstdint>
#include <memory>

struct VideoFrame {
    // Pixels are 32-bit BGRx: bytes B, G, R, unused in memory order (QImage::Format_RGB32 on a
    // little-endian machine, so a view can wrap them without copying).
    static constexpr int kBytesPerPixel = 4;

    int width = 0;                       // full decoded width in pixels
    int height = 0;                      // full decoded height in pixels
    int stride = 0;                      // bytes from one row to the next (>= width * 4)
    const uint8_t* data = nullptr;       // first byte of the top row; valid while the frame lives
    int64_t timestampMs = -1;            // stream position of the picture, -1 when unknown
    std::shared_ptr<const void> storage; // keeps the pixel memory alive (decoder buffer or a copy)

    bool isValid() const { return data != nullptr && width > 0 && height > 0 && stride >= width * 4; }
    const uint8_t* row(int y) const { return data + static_cast<std::ptrdiff_t>(y) * stride; }

    // A frame owning a zeroed BGRx buffer of width x height with a tight stride; *pixels (when
    // given) receives the writable first byte. For tests and for pictures made by hand.
    static std::shared_ptr<VideoFrame> allocate(int width, int height, uint8_t** pixels = nullptr);
};

using VideoFramePtr = std::shared_ptr<const VideoFrame>;
