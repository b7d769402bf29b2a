#include "core/common/ByteSource.h"

#include "core/common/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

std::unique_ptr<FileByteSource> FileByteSource::open(const std::filesystem::path& path, std::string* error) {
    RegularFile file = OpenRegularFile(path);
    if (file.fd < 0) {
        if (error)
            *error = file.error;
        return nullptr;
    }
    return std::unique_ptr<FileByteSource>(new FileByteSource(file.fd, file.size));
}

FileByteSource::~FileByteSource() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FileByteSource::shrank() const {
    struct stat st {};
    return ::fstat(m_fd, &st) != 0 || uint64_t(st.st_size) < m_size;
}

int64_t FileByteSource::readAt(uint64_t offset, void* buf, size_t len) const {
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(buf);
    while (done < len) {
        ssize_t n = ::pread(m_fd, out + done, len - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

int64_t MemoryByteSource::readAt(uint64_t offset, void* buf, size_t len) const {
    if (offset >= m_size)
        return 0;
    size_t n = static_cast<size_t>(std::min<uint64_t>(len, m_size - offset));
    if (n)
        std::memcpy(buf, m_data + offset, n);
    return static_cast<int64_t>(n);
}

bool ReadAheadSource::load(uint64_t offset, size_t len) const {
    const bool inside = offset >= m_start && offset + len <= m_start + m_buffer.size();
    if (!inside) {
        // A window that served fewer than two reads was wasted copying: chunks are far apart, so
        // read just around the request until they come close together again.
        const size_t want = m_hits >= 2 ? m_window : std::max<size_t>(len, 4096);
        m_hits = 0;
        m_buffer.resize(want);
        int64_t got = m_source.readAt(offset, m_buffer.data(), want);
        if (got < 0) {
            m_buffer.clear();
            return false;
        }
        m_buffer.resize(size_t(got));
        m_start = offset;
    }
    ++m_hits;
    return true;
}

int64_t ReadAheadSource::readAt(uint64_t offset, void* buf, size_t len) const {
    if (len > m_window / 2)
        return m_source.readAt(offset, buf, len);
    if (const uint8_t* direct = m_source.peek(offset, len)) {
        std::memcpy(buf, direct, len);
        return int64_t(len);
    }
    if (!load(offset, len))
        return -1;
    const uint64_t at = offset - m_start;
    if (at > m_buffer.size())
        return 0;
    const size_t n = size_t(std::min<uint64_t>(len, m_buffer.size() - at));
    if (n)
        std::memcpy(buf, m_buffer.data() + at, n);
    return int64_t(n);
}

const uint8_t* ReadAheadSource::peek(uint64_t offset, size_t len) const {
    if (len > m_window / 2)
        return nullptr;
    if (const uint8_t* direct = m_source.peek(offset, len))
        return direct;
    if (!load(offset, len) || offset + len > m_start + m_buffer.size())
        return nullptr;
    return m_buffer.data() + (offset - m_start);
}

const BlockCacheSource::Block* BlockCacheSource::block(uint64_t index) const {
    Block* oldest = &m_blocks[0];
    for (Block& b : m_blocks) {
        if (b.index == index) {
            b.used = ++m_clock;
            return &b;
        }
        if (b.used < oldest->used)
            oldest = &b;
    }
    const uint64_t start = index * kBlockSize;
    const size_t want = size_t(std::min<uint64_t>(kBlockSize, size() > start ? size() - start : 0));
    oldest->index = UINT64_MAX;
    oldest->bytes.resize(want);
    ++m_reads;
    const int64_t got = m_source.readAt(start, oldest->bytes.data(), want);
    if (got < 0)
        return nullptr;
    oldest->bytes.resize(size_t(got));
    oldest->index = index;
    oldest->used = ++m_clock;
    return oldest;
}

int64_t BlockCacheSource::readAt(uint64_t offset, void* buf, size_t len) const {
    if (len > kBlockSize) {
        ++m_reads;
        return m_source.readAt(offset, buf, len);
    }
    auto* out = static_cast<uint8_t*>(buf);
    size_t done = 0;
    while (done < len) {
        const uint64_t at = offset + done;
        const Block* b = block(at / kBlockSize);
        if (!b)
            return -1;
        const uint64_t within = at % kBlockSize;
        if (within >= b->bytes.size())
            break; // the end of the file
        const size_t n = size_t(std::min<uint64_t>(len - done, b->bytes.size() - within));
        std::memcpy(out + done, b->bytes.data() + within, n);
        done += n;
        if (b->bytes.size() < kBlockSize)
            break; // the last block
    }
    return int64_t(done);
}

const uint8_t* BlockCacheSource::peek(uint64_t offset, size_t len) const {
    const uint64_t within = offset % kBlockSize;
    if (len > kBlockSize - within)
        return nullptr;
    const Block* b = block(offset / kBlockSize);
    if (!b || within + len > b->bytes.size())
        return nullptr;
    return b->bytes.data() + within;
}
