#include "support/ContainerFixtures.h"

#include "core/common/RegularFile.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <unistd.h>

Bytes Le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Chunk(const std::string& id, const Bytes& data, int64_t size) {
    Bytes out = Cat({Text(id), Le32(uint32_t(size < 0 ? data.size() : uint64_t(size))), data});
    if (data.size() & 1)
        out.push_back(0);
    return out;
}

Bytes List(const std::string& type, const Bytes& children, int64_t size) {
    return Chunk("LIST", Cat({Text(type), children}), size);
}

std::string ReadText(const std::filesystem::path& path) {
    return ReadWholeFile(path).value_or(std::string());
}

Bytes ReadFile(const std::filesystem::path& path) {
    const std::string text = ReadText(path);
    return Bytes(text.begin(), text.end());
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillent-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::filesystem::path TempPath(const std::string& name) {
    static const TempDir folder;
    return folder / name;
}

void WriteSynthetic(const std::filesystem::path& path, RecordingForm form, bool finish,
                    const SyntheticOptions& o) {
    RecordingLayout layout;
    for (int ch = 0; ch < o.channels; ++ch)
        layout.video.push_back({uint32_t(64 + 16 * ch), 48, uint32_t(o.fps), 1});
    if (o.audio) {
        AudioTrackSpec a;
        a.codec = o.pcm ? AudioCodec::Pcm : AudioCodec::Aac;
        a.sampleRate = o.pcm ? 8000 : 16000;
        a.codecConfig = {0x14, 0x08};
        layout.audio = a;
    }
    std::string error;
    auto w = RecordingWriter::create(path, layout, form, &error);
    if (!w)
        throw std::runtime_error(error);
    std::mt19937 rng(1234);
    int record = 0;
    const int frames = o.seconds * o.fps;
    for (int i = 0; i < frames; ++i) {
        const bool key = i % o.fps == 0;
        for (int ch = 0; ch < o.channels; ++ch) {
            Bytes f = {0, 0, 0, 1, uint8_t(key ? 0x67 : 0x41)};
            f.resize(f.size() + 20 + rng() % 300 + size_t(o.frameFiller), uint8_t(ch + i));
            w->writeVideoFrame(ch, f.data(), f.size(), key);
        }
        if (o.audio) {
            Bytes a(o.pcm ? 1600 : 37 + rng() % 40, uint8_t(i));
            w->writeAudioFrame(a.data(), a.size());
        }
        const uint32_t now = uint32_t(i * 1000 / o.fps);
        while (uint32_t(record * 1000 / o.recordsPerSecond) <= now) {
            std::string r = "R" + std::to_string(record);
            w->writeRecord(uint32_t(record * 1000 / o.recordsPerSecond),
                           reinterpret_cast<const uint8_t*>(r.data()), r.size());
            ++record;
        }
    }
    if (finish)
        w->finish();
    else
        w->abandon();
}
