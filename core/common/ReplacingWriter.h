// The one writer of every output file: the bytes go to a temporary name beside the target, created
// exclusively (never through a link or onto anything planted there), and the temporary takes the
// target's name only once it is complete, so a full disk, a failed write or a cancelled run keeps
// the previous file as it was. A symbolic link at the target is followed (the file it names is
// replaced and the link stays); a target that exists but is no regular file (a device, a pipe, a
// folder) is refused when the writer opens and again when it commits, and is never replaced.
// In the NewFile mode an existing target is never replaced: commit() fails with targetTaken().
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class ReplacingWriter {
public:
    // When commit() syncs the file to the disk before the rename: always, or only when an
    // existing file is replaced (a new file has no previous contents to lose, and a large output
    // then costs no wait for the disk).
    enum class Sync { Always, WhenReplacing };
    // Whether commit() may replace a file at the target (Replace) or fails when one has appeared
    // meanwhile (NewFile: downloads, which choose a free name).
    enum class Mode { Replace, NewFile };

    explicit ReplacingWriter(const std::filesystem::path& target, Sync sync = Sync::Always,
                             Mode mode = Mode::Replace);
    ~ReplacingWriter(); // an uncommitted temporary file is removed
    ReplacingWriter(const ReplacingWriter&) = delete;
    ReplacingWriter& operator=(const ReplacingWriter&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // The temporary file, open for reading and writing. Bytes may be written or read through it
    // directly while nothing is buffered (after flush()); size() then counts only what went through
    // write() and reserve().
    int fd() const { return m_fd; }
    // Writes the buffered bytes to the file. False with error() set.
    bool flush();
    // The target, with symbolic links resolved (the file the commit creates or replaces).
    const std::filesystem::path& target() const { return m_target; }
    // NewFile mode: commit() failed because a file appeared under the target's name.
    bool targetTaken() const { return m_taken; }
    // NewFile mode: when a file appeared under the target's name, commit() asks for another name in
    // the same folder (empty: none) and takes that one instead; target() then names it.
    void setChooseAgain(std::function<std::filesystem::path(const std::filesystem::path& taken)> choose) {
        m_chooseAgain = std::move(choose);
    }
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
    // Drops the bytes appended from `size` on (a copy made ahead that turned out not to fit);
    // appending goes on from there.
    bool truncate(uint64_t size);
    // Appends `length` bytes of the file `sourceFd` from `sourceOffset`, copied by the kernel
    // (copy_file_range) where the file systems allow it, else read and written in large blocks.
    // Returns the bytes appended: fewer than `length` only when the source ends before; -1 when a
    // read or write fails (error() set, the temporary removed).
    int64_t copyFrom(int sourceFd, uint64_t sourceOffset, uint64_t length);
    // Stops copyFrom() using the kernel copy (tests compare both ways).
    void setKernelCopy(bool enabled) { m_kernelCopy = enabled; }
    // Called with every span of buffered bytes just before it goes to the file, in file order (a
    // digest of the output as it is written). Bytes written by copyFrom() or writeAt() are not seen.
    void setFlushObserver(std::function<void(const uint8_t* bytes, size_t size)> observer) {
        m_observer = std::move(observer);
    }
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
    bool commitNew();
    bool failed(const std::string& what, int error);

    std::filesystem::path m_target; // the file that is replaced (symbolic links resolved)
    std::filesystem::path m_shown;  // the path as given, for messages
    std::filesystem::path m_temp;
    std::unique_ptr<uint8_t[]> m_buffer;
    size_t m_capacity = 64 * 1024;
    size_t m_used = 0;
    uint64_t m_written = 0; // bytes in the file
    std::function<void(const uint8_t*, size_t)> m_observer;
    bool m_kernelCopy = true;
    std::string m_error;
    int m_fd = -1;
    bool m_replacing = false; // the target exists
    Sync m_sync = Sync::Always;
    Mode m_mode = Mode::Replace;
    bool m_taken = false;
    std::function<std::filesystem::path(const std::filesystem::path&)> m_chooseAgain;
};
