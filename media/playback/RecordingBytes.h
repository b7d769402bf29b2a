// Random-access bytes of a recording as the player sees them: the repaired view of a camera-form
// file, or the file itself for standard AVI and MP4. Read by the engine's source element.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

class RecordingBytes {
public:
    virtual ~RecordingBytes() = default;
    virtual uint64_t size() const = 0;
    // Bytes read (short only at the end), or -1 on a read error. Called from a streaming thread;
    // an implementation must not share unguarded state with other readers.
    virtual int64_t read(uint64_t offset, void* buffer, size_t length) = 0;
    virtual bool isRepaired() const { return false; } // patched virtually, never in the file
};

// Null with *error set when the file cannot be opened or is no recording at all.
std::unique_ptr<RecordingBytes> openRecordingBytes(const std::filesystem::path& path, std::string* error);
