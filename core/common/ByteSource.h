// Positional read access to a recording's bytes: a file on disk or a buffer in memory. Shared by
// the chunk walker, the converter, the recording reader and the repaired view.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Copies up to len bytes from offset; returns the count (short only at the end), -1 on error.
    // Implementations are safe to call from several threads at once.
    virtual int64_t readAt(uint64_t offset, void* buf, size_t len) const = 0;

    // The bytes [offset, offset + len) where the source holds them in memory (no copy is made);
    // null when it does not, and the caller reads them. Valid until the next call on the source.
    virtual const uint8_t* peek(uint64_t offset, size_t len) const { return nullptr; }

    // Reads exactly len bytes; false on a short read or an error.
    bool readExact(uint64_t offset, void* buf, size_t len) const {
        return readAt(offset, buf, len) == static_cast<int64_t>(len);
    }
};

// A file opened read-only; reads with pread so concurrent readers do not share a position.
class FileByteSource : public ByteSource {
public:
    static std::unique_ptr<FileByteSource> open(const std::filesystem::path& path, std::string* error);
    ~FileByteSource() override;
    uint64_t size() const override { return m_size; }
    int64_t readAt(uint64_t offset, void* buf, size_t len) const override;
    int fd() const { return m_fd; }
    // True when the file is now shorter than when it was opened (a card pulled while it was read):
    // bytes served from a cache may then be all a reader saw of a file that went away.
    bool shrank() const;

private:
    FileByteSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    int m_fd = -1;
    uint64_t m_size = 0;
};

// Bytes held by the caller (fuzzers, tests); the memory must outlive the source.
class MemoryByteSource : public ByteSource {
public:
    MemoryByteSource(const void* data, size_t size)
        : m_data(static_cast<const uint8_t*>(data)), m_size(size) {}
    uint64_t size() const override { return m_size; }
    int64_t readAt(uint64_t offset, void* buf, size_t len) const override;
    const uint8_t* peek(uint64_t offset, size_t len) const override {
        return offset <= m_size && len <= m_size - offset ? m_data + offset : nullptr;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
};

// Serves small reads of a forward walk (chunk headers, records) from a window read in one go, so
// walking thousands of small chunks costs a few large reads instead of one read per header.
// Not thread-safe: one per walk.
class ReadAheadSource : public ByteSource {
public:
    explicit ReadAheadSource(const ByteSource& source, size_t window = 64 * 1024)
        : m_source(source), m_window(window) {}
    uint64_t size() const override { return m_source.size(); }
    int64_t readAt(uint64_t offset, void* buf, size_t len) const override;
    // Bytes of up to half the window are served from it (a source that holds them in memory
    // itself serves them directly).
    const uint8_t* peek(uint64_t offset, size_t len) const override;

private:
    // Makes the window hold [offset, offset + len) where the source has those bytes; false on a
    // read error.
    bool load(uint64_t offset, size_t len) const;

    const ByteSource& m_source;
    size_t m_window;
    mutable std::vector<uint8_t> m_buffer;
    mutable uint64_t m_start = 0;
    mutable int m_hits = 2; // reads served by the current window
};

// Reads a file front to back in large aligned blocks (a few kept in memory), so a walk over a
// recording's chunks, the checks of their data and their first bytes all come from a handful of
// large reads instead of one read per chunk. peek() serves bytes that lie in one block without a
// copy. Reads larger than a block go to the source directly. Not thread-safe: one per walk.
class BlockCacheSource : public ByteSource {
public:
    static constexpr size_t kBlockSize = 4u << 20;
    explicit BlockCacheSource(const ByteSource& source) : m_source(source) {}
    uint64_t size() const override { return m_source.size(); }
    int64_t readAt(uint64_t offset, void* buf, size_t len) const override;
    const uint8_t* peek(uint64_t offset, size_t len) const override;
    // Reads from the source so far (a benchmark counts them).
    uint64_t sourceReads() const { return m_reads; }

private:
    struct Block {
        uint64_t index = UINT64_MAX;
        std::vector<uint8_t> bytes;
        uint64_t used = 0; // when it last served a read
    };
    // The block with this index, read when it is not held; null on a read error.
    const Block* block(uint64_t index) const;

    const ByteSource& m_source;
    mutable Block m_blocks[3];
    mutable uint64_t m_clock = 0;
    mutable uint64_t m_reads = 0;
};
