#include "media/playback/VideoFrame.h"

#include <vector>

std::shared_ptr<VideoFrame> VideoFrame::allocate(int width, int height, uint8_t** pixels) {
    auto frame = std::make_shared<VideoFrame>();
    if (width <= 0 || height <= 0)
        return frame;
    auto bytes = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(width) * height * kBytesPerPixel);
    frame->width = width;
    frame->height = height;
    frame->stride = width * kBytesPerPixel;
    frame->data = bytes->data();
    if (pixels)
        *pixels = bytes->data();
    frame->storage = bytes;
    return frame;
}
