// Writing an output file under a temporary name beside it and renaming it over the target once it
// is complete, so a full disk, a failed write or a cancelled run keeps the previous file as it was.
// A symbolic link at the target is followed (the file it names is replaced and the link stays);
// a target that exists but is no regular file (a device, a pipe, a folder) is refused.
// Used by the core writers of exports, camera files and recordings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

class ReplacingWriter {
public:
    // When commit() syncs the file to the disk before the rename: always, or only when an
    // existing file is replaced (a new file has no previous contents to lose, and a large output
    // then costs no wait for the disk).
    enum class Sync { Always, WhenReplacing };

    explicit ReplacingWriter(const std::filesystem::path& target, Sync sync = Sync::Always);
    ~ReplacingWriter(); // an uncommitted temporary file is removed
    ReplacingWriter(const ReplacingWriter&) = delete;
    ReplacingWriter& operator=(const ReplacingWriter&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // Bytes are gathered in a buffer of this size and written in one go when it is full
    // (64 KiB unless set).
    void setBufferSize(size_t bytes);
    size_t bufferSize() const { return m_capacity; }
    // Appends bytes; false (and error() set) when the write fails. Buffered.
    bool write(std::string_view bytes);
    // Appends `size` bytes (at most bufferSize()) that the caller fills in through the returned
    // pointer before the next call; null when the write of the buffer before them failed.
    uint8_t* reserve(size_t size);
    // Bytes appended so far.
    uint64_t size() const { return m_written + m_used; }
    // Overwrites bytes already appended (a header's sizes once they are known).
    bool writeAt(uint64_t offset, const void* bytes, size_t size);
    // Writes the buffered bytes to the temporary file, so it can be read back before commit().
    bool flushBuffered() { return m_fd >= 0 && flush(); }
    // The file being written until commit() (empty once committed or discarded).
    const std::filesystem::path& temporaryPath() const { return m_temp; }
    // Flushes, syncs and renames the temporary file over the target. False with error() set.
    bool commit();
    // Removes the temporary file; the target stays as it was.
    void discard();
    const std::string& error() const { return m_error; }

private:
    bool flush();
    bool failed(const std::string& what, int error);

    std::filesystem::path m_target; // the file that is replaced (symbolic links resolved)
    std::filesystem::path m_shown;  // the path as given, for messages
    std::filesystem::path m_temp;
    std::unique_ptr<uint8_t[]> m_buffer;
    size_t m_capacity = 64 * 1024;
    size_t m_used = 0;
    uint64_t m_written = 0; // bytes in the file
    std::string m_error;
    int m_fd = -1;
    bool m_replacing = false; // the target exists
    Sync m_sync = Sync::Always;
};
