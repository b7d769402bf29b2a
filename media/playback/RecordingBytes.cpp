#include "media/playback/RecordingBytes.h"

#include "core/common/ByteSource.h"
#include "core/container/RecordingReader.h"
#include "core/container/RepairedView.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace {

// The file as it is (MP4 and other containers the repaired view does not take).
class PlainFileBytes final : public RecordingBytes {
public:
    explicit PlainFileBytes(std::unique_ptr<FileByteSource> file) : m_file(std::move(file)) {}
    uint64_t size() const override { return m_file->size(); }
    int64_t read(uint64_t offset, void* buffer, size_t length) override {
        return m_file->readAt(offset, buffer, length);
    }

private:
    std::unique_ptr<FileByteSource> m_file;
};

class RepairedBytes final : public RecordingBytes {
public:
    explicit RepairedBytes(std::unique_ptr<RepairedView> view) : m_view(std::move(view)) {}
    uint64_t size() const override { return m_view->size(); }
    int64_t read(uint64_t offset, void* buffer, size_t length) override {
        return m_view->read(offset, buffer, length);
    }
    bool isRepaired() const override { return m_view->isRepaired(); }

private:
    std::unique_ptr<RepairedView> m_view;
};

// Cameras write compressed audio with a block alignment of 1 and one frame per chunk (scale 1024,
// sample size 0). GStreamer's AVI demuxer then times the audio by bytes, not by chunks, so its
// sound runs at the wrong time and an accurate seek never finds it; a block alignment equal to the
// frame length (what other writers put there) makes it count frames. Patched for the player only,
// in its view of the header.
class AudioTimingFix final : public RecordingBytes {
public:
    struct Patch {
        uint64_t offset;
        uint8_t bytes[2];
    };

    AudioTimingFix(std::unique_ptr<RecordingBytes> inner, std::vector<Patch> patches)
        : m_inner(std::move(inner)), m_patches(std::move(patches)) {}
    uint64_t size() const override { return m_inner->size(); }
    bool isRepaired() const override { return true; }
    int64_t read(uint64_t offset, void* buffer, size_t length) override {
        int64_t got = m_inner->read(offset, buffer, length);
        for (const Patch& p : m_patches)
            for (uint64_t i = 0; i < 2; ++i)
                if (got > 0 && p.offset + i >= offset && p.offset + i < offset + uint64_t(got))
                    static_cast<uint8_t*>(buffer)[p.offset + i - offset] = p.bytes[i];
        return got;
    }

    // Patches for every compressed audio stream timed by chunks but marked byte-aligned.
    static std::vector<Patch> find(RecordingBytes& bytes) {
        std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(bytes.size(), 256 * 1024)));
        int64_t got = bytes.read(0, head.data(), head.size());
        std::vector<Patch> patches;
        if (got < 12 || SniffRecordingFormat(head.data(), static_cast<size_t>(got)) != RecordingFormat::Avi)
            return patches;
        head.resize(static_cast<size_t>(got));
        auto u32 = [&](size_t at) {
            return uint32_t(head[at]) | uint32_t(head[at + 1]) << 8 | uint32_t(head[at + 2]) << 16 |
                   uint32_t(head[at + 3]) << 24;
        };
        auto u16 = [&](size_t at) { return uint16_t(head[at] | head[at + 1] << 8); };
        auto is = [&](size_t at, const char* fcc) { return std::memcmp(head.data() + at, fcc, 4) == 0; };
        // Walks the chunks of [begin, end): LIST hdrl and LIST strl are entered, strh/strf read.
        struct Stream {
            bool audio = false;
            uint32_t scale = 0, sampleSize = 0;
        } stream;
        std::function<void(size_t, size_t)> walk = [&](size_t at, size_t end) {
            while (at + 8 <= end && at + 8 <= head.size()) {
                uint32_t size = u32(at + 4);
                size_t data = at + 8;
                if (is(at, "LIST") && data + 4 <= head.size() && (is(data, "hdrl") || is(data, "strl"))) {
                    if (is(data, "strl"))
                        stream = Stream{};
                    walk(data + 4, std::min<size_t>(data + size, end));
                } else if (is(at, "strh") && size >= 48 && data + 48 <= head.size()) {
                    stream.audio = is(data, "auds");
                    stream.scale = u32(data + 20);
                    stream.sampleSize = u32(data + 44);
                } else if (is(at, "strf") && stream.audio && size >= 16 && data + 16 <= head.size()) {
                    uint16_t format = u16(data);
                    uint16_t blockAlign = u16(data + 12);
                    if (format != 1 && stream.sampleSize == 0 && stream.scale > 1 && blockAlign == 1) {
                        uint16_t fixed = uint16_t(std::min<uint32_t>(stream.scale, 0xFFFF));
                        patches.push_back({data + 12, {uint8_t(fixed & 0xFF), uint8_t(fixed >> 8)}});
                    }
                } else if (is(at, "LIST") && data + 4 <= head.size() && is(data, "movi")) {
                    return;
                }
                at = data + size + (size & 1);
            }
        };
        walk(12, head.size());
        return patches;
    }

private:
    std::unique_ptr<RecordingBytes> m_inner;
    std::vector<Patch> m_patches;
};

std::unique_ptr<RecordingBytes> withAudioTimingFix(std::unique_ptr<RecordingBytes> bytes) {
    auto patches = AudioTimingFix::find(*bytes);
    if (patches.empty())
        return bytes;
    return std::make_unique<AudioTimingFix>(std::move(bytes), std::move(patches));
}

} // namespace

std::unique_ptr<RecordingBytes> openRecordingBytes(const std::filesystem::path& path, std::string* error) {
    if (path.empty()) {
        if (error)
            *error = "no recording given";
        return nullptr;
    }
    // The repaired view serves camera-form files and leaves standard AVI as it is; MP4 and other
    // standard containers it does not take are read straight from the file.
    std::string viewError;
    if (auto view = RepairedView::open(path, &viewError))
        return withAudioTimingFix(std::make_unique<RepairedBytes>(std::move(view)));
    auto file = FileByteSource::open(path, error);
    if (!file)
        return nullptr;
    auto plain = std::make_unique<PlainFileBytes>(std::move(file));
    char head[12] = {};
    if (plain->read(0, head, sizeof head) == static_cast<int64_t>(sizeof head) &&
        SniffRecordingFormat(head, sizeof head) == RecordingFormat::Mp4)
        return plain;
    if (error)
        *error = viewError.empty() ? "not a recording" : viewError;
    return nullptr;
}
