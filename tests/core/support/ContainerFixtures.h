// Builders of test recordings: raw RIFF bytes put together chunk by chunk (for hand-made and
// broken files) and synthetic recordings written with the recording writer.
#pragma once

#include "core/container/RecordingWriter.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

Bytes Le32(uint32_t v);
Bytes Text(const std::string& s);
Bytes Cat(std::initializer_list<Bytes> parts);
// A chunk: identifier, size (the data's, unless `size` is given), data, pad byte when odd.
Bytes Chunk(const std::string& id, const Bytes& data, int64_t size = -1);
Bytes List(const std::string& type, const Bytes& children, int64_t size = -1);

// The whole file through the program's own reader; empty when it cannot be read.
Bytes ReadFile(const std::filesystem::path& path);
std::string ReadText(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const Bytes& bytes);

// A fresh, empty folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// `name` in a folder of this test process, removed with everything in it when the process ends.
std::filesystem::path TempPath(const std::string& name);

struct SyntheticOptions {
    int channels = 2;
    bool audio = true;
    bool pcm = false;
    int seconds = 2;
    int fps = 5;
    int recordsPerSecond = 3;
    int frameFiller = 0; // bytes added to every video frame (large files)
};

// Writes a recording with made-up H.264-looking frames (start code, NAL header, filler of odd and
// even lengths), audio frames and data records "R<n>" stamped n * 1000 / recordsPerSecond ms.
// finish false leaves it unfinished.
void WriteSynthetic(const std::filesystem::path& path, RecordingForm form, bool finish,
                    const SyntheticOptions& options = {});
