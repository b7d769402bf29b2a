#include "core/container/RecordingConverter.h"

#include "core/container/ByteSource.h"
#include "core/container/ChunkWalker.h"
#include "core/container/Riff.h"
#include "core/container/ScrambledCopy.h"
#include "core/tools/FileReplace.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::atomic<bool> g_kernelCopy{true};

constexpr size_t kBlockSize = 4u << 20;
constexpr uint64_t kKernelStep = 16u << 20; // progress and cancel are checked this often

class Output {
public:
    explicit Output(const fs::path& path) : m_path(path) {
        m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    ~Output() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    uint64_t position() const { return m_pos; }
    int fd() const { return m_fd; }

    // Copies len bytes from the file `in` at inOffset in the kernel. Returns the bytes copied;
    // -1 when the kernel cannot copy between these files (the caller copies through memory).
    int64_t copyFrom(int in, uint64_t inOffset, uint64_t len) {
        uint64_t done = 0;
        while (done < len) {
            loff_t from = loff_t(inOffset + done);
            ssize_t n = ::copy_file_range(in, &from, m_fd, nullptr, size_t(len - done), 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return done ? int64_t(done) : -1;
            if (n == 0)
                break;
            done += uint64_t(n);
            m_pos += uint64_t(n);
        }
        return int64_t(done);
    }
    bool writeAt(uint64_t at, const void* data, size_t len) {
        return ::pwrite(m_fd, data, len, off_t(at)) == ssize_t(len);
    }

    bool write(const void* data, size_t len) {
        auto* p = static_cast<const uint8_t*>(data);
        while (len > 0) {
            ssize_t n = ::write(m_fd, p, len);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            len -= size_t(n);
            m_pos += uint64_t(n);
        }
        return true;
    }
    bool patch32(uint64_t at, uint32_t value) {
        uint8_t b[4];
        writeLe32(b, value);
        return ::pwrite(m_fd, b, 4, off_t(at)) == 4;
    }
    bool close() {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }
    void discard() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        std::error_code ec;
        fs::remove(m_path, ec);
    }

private:
    fs::path m_path;
    int m_fd = -1;
    uint64_t m_pos = 0;
};

// State of one conversion: the source, the output, one block buffer and the progress callback.
class Conversion {
public:
    Conversion(const ByteSource& src, Output& out, const ConvertProgress& progress)
        : m_src(src), m_out(out), m_progress(progress), m_kernelCopy(g_kernelCopy.load()) {}

    int error = 0;

    // Copies [begin, end) of the source; the bytes at each offset in `prefixes` (sorted, inside
    // the range) and the three after it read 00 00 00 01 in the output. Files are copied by the
    // kernel in large steps with the start codes written over afterwards; anything else, or a
    // file system that cannot do that, goes through the block buffer.
    bool copy(uint64_t begin, uint64_t end, const std::vector<uint64_t>& prefixes = {}) {
        static const uint8_t kStartCode[4] = {0, 0, 0, 1};
        auto p = prefixes.begin();
        const auto* file = dynamic_cast<const FileByteSource*>(&m_src);
        while (file && m_kernelCopy && begin < end) {
            const uint64_t outStart = m_out.position();
            int64_t got = m_out.copyFrom(file->fd(), begin, std::min<uint64_t>(kKernelStep, end - begin));
            if (got < 0) {
                m_kernelCopy = false;
                break;
            }
            if (got == 0)
                return true; // the file shrank under us: keep what was written
            const uint64_t n = uint64_t(got);
            for (; p != prefixes.end() && *p < begin + n; ++p) {
                const uint64_t from = std::max(*p, begin), to = std::min(*p + 4, begin + n);
                if (!m_out.writeAt(outStart + (from - begin), kStartCode + (from - *p), size_t(to - from)))
                    return fail(kConvertWriteFailed);
            }
            if (p != prefixes.begin() && *(p - 1) + 4 > begin + n)
                --p;
            begin += n;
            if (m_progress && !m_progress(begin, m_src.size()))
                return fail(kConvertCancelled);
        }
        if (begin < end && m_buffer.empty())
            m_buffer.resize(size_t(std::clamp<uint64_t>(m_src.size(), 64u << 10, kBlockSize)));
        while (begin < end) {
            size_t n = size_t(std::min<uint64_t>(m_buffer.size(), end - begin));
            int64_t got = m_src.readAt(begin, m_buffer.data(), n);
            if (got < 0)
                return fail(kConvertWriteFailed);
            if (got == 0)
                return true; // the file shrank under us: keep what was written
            n = size_t(got);
            for (; p != prefixes.end() && *p < begin + n; ++p)
                for (uint64_t k = 0; k < 4; ++k)
                    if (*p + k >= begin && *p + k < begin + n)
                        m_buffer[size_t(*p + k - begin)] = kStartCode[k];
            // A prefix that straddles the block boundary is finished in the next block.
            if (p != prefixes.begin() && *(p - 1) + 4 > begin + n)
                --p;
            if (!m_out.write(m_buffer.data(), n))
                return fail(kConvertWriteFailed);
            begin += n;
            if (m_progress && !m_progress(begin, m_src.size()))
                return fail(kConvertCancelled);
        }
        return true;
    }

    // The movi transformation over [begin, end): video frames get the start code in front.
    // Chunks are walked flat: a nested list is copied as a whole, its frames unchanged.
    bool restoreVideoFrames(uint64_t begin, uint64_t end) {
        std::vector<uint64_t> prefixes;
        ReadAheadSource ahead(m_src);
        ChunkWalker w(ahead, begin, end);
        RiffChunk c;
        while (w.next(c)) {
            const uint64_t available = std::min(c.size, end - c.dataOffset());
            if (isVideoChunkId(c.id) && c.size >= 4 && available >= 4)
                prefixes.push_back(c.dataOffset());
        }
        if (w.failed())
            return fail(kConvertWriteFailed);
        return copy(begin, end, prefixes);
    }

    bool write(const void* data, size_t len) { return m_out.write(data, len) || fail(kConvertWriteFailed); }
    bool fail(int code) {
        if (!error)
            error = code;
        return false;
    }

private:
    const ByteSource& m_src;
    Output& m_out;
    const ConvertProgress& m_progress;
    std::vector<uint8_t> m_buffer;
    bool m_kernelCopy;
};

// End of the last complete chunk in [begin, end), and whether an "idx1" chunk stops the range first.
uint64_t completeChunksEnd(const ByteSource& src, uint64_t begin, uint64_t end, bool stopAtIndex) {
    ReadAheadSource ahead(src);
    ChunkWalker w(ahead, begin, end);
    RiffChunk c;
    uint64_t last = begin;
    while (w.next(c) && !c.truncated) {
        if (stopAtIndex && c.id == kFccIdx1)
            return c.offset;
        last = c.next;
    }
    return last;
}

int convert(const ByteSource& src, Output& out, bool toAvi, const ConvertProgress& progress) {
    const uint64_t S = src.size();
    uint8_t head[12];
    if (S < 12 || !src.readExact(0, head, 12))
        return kConvertTooShort;
    if (toAvi) {
        writeLe32(head, kFccRiff);
        writeLe32(head + 8, kFccAvi);
    }
    if (readLe32(head + 4) == 0)
        writeLe32(head + 4, uint32_t(S - 8));
    Conversion job(src, out, progress);
    if (!job.write(head, 12))
        return job.error;

    int result = kConvertDone;
    std::optional<uint64_t> patchPosition;
    bool salvaged = false;
    ChunkWalker top(src, 12, S, ChunkWalker::ZeroSize::RestOfRange);
    RiffChunk c;
    while (top.next(c)) {
        const uint64_t d = c.offset;
        const bool isList = c.id == kFccList;
        const bool isMovi = isList && c.hasListType && c.listType == kFccMovi;
        uint8_t header[12];
        writeLe32(header, c.id);
        writeLe32(header + 4, uint32_t(c.size));
        writeLe32(header + 8, c.listType);

        if (c.truncated) {
            // The file ends inside this chunk. Of a movi list keep every complete chunk, so a
            // recording cut short still converts into a playable file; anything else is dropped.
            salvaged = true;
            if (isMovi) {
                const uint64_t end = completeChunksEnd(src, d + 12, S, false);
                writeLe32(header + 4, uint32_t(end - d - 8));
                if (!job.write(header, 12) ||
                    !(toAvi ? job.restoreVideoFrames(d + 12, end) : job.copy(d + 12, end)))
                    return job.error;
            }
            break;
        }
        if (c.zeroSizeFilled)
            patchPosition = d;
        const uint64_t available = S - c.dataOffset();
        const uint64_t len = std::min(paddedSize(c.size), available);

        if (isList && c.hasListType) {
            if (!job.write(header, 12))
                return job.error;
            uint64_t begin = d + 12, end = c.dataOffset() + len;
            if (c.listType == kFccHdrl) {
                if (!job.copy(begin, end))
                    return job.error == kConvertWriteFailed ? kConvertShortHeader : job.error;
            } else if (isMovi) {
                if (c.zeroSizeFilled) {
                    // An unfinished recording: its movi list ends where an index was written.
                    end = completeChunksEnd(src, begin, end, true);
                    uint8_t probe[4];
                    if (!(src.readExact(end, probe, 4) && readLe32(probe) == kFccIdx1))
                        end = c.dataOffset() + len;
                    top.seek(end);
                }
                if (!(toAvi ? job.restoreVideoFrames(begin, end) : job.copy(begin, end)))
                    return job.error;
                patchPosition = d + 4;
            } else if (!job.copy(begin, end)) {
                return job.error;
            }
            continue;
        }
        if (!job.write(header, 8) || !job.copy(c.dataOffset(), c.dataOffset() + len))
            return job.error;
        if (c.id == kFccIdx1) {
            result = kConvertDoneWithIndex;
            if (patchPosition && !out.patch32(*patchPosition, uint32_t(d - *patchPosition - 4)))
                return kConvertWriteFailed;
        }
    }
    if (top.failed())
        return kConvertWriteFailed;
    if (salvaged && !out.patch32(4, uint32_t(out.position() - 8)))
        return kConvertWriteFailed;
    return result;
}

} // namespace

void UseKernelCopy(bool enabled) {
    g_kernelCopy = enabled;
}

const char* ConvertResultText(int result) {
    switch (result) {
    case kConvertDone:
    case kConvertDoneWithIndex:
        return "done";
    case kConvertNoSource:
        return "the recording cannot be opened";
    case kConvertTooShort:
        return "the file is too short to be a recording";
    case kConvertWriteFailed:
        return "reading the recording or writing the output failed";
    case kConvertNoOutput:
        return "the output file cannot be created";
    case kConvertNoMemory:
        return "not enough memory";
    case kConvertShortHeader:
        return "the recording's header cannot be read";
    case kConvertCancelled:
        return "cancelled";
    case kConvertDamaged:
        return "the scrambled copy has been changed (its digest does not match)";
    }
    return "unknown failure";
}

fs::path ConvertedPath(const fs::path& targetFolder, const fs::path& sourcePath, bool toAvi) {
    std::string name = sourcePath.filename().string();
    return targetFolder / (toAvi ? name + ".avi" : name);
}

int ConvertRecording(const fs::path& targetFolder, const fs::path& sourcePath, bool toAvi,
                     const ConvertProgress& progress) {
    auto src = FileByteSource::open(sourcePath, nullptr);
    if (!src)
        return kConvertNoSource;
    if (src->size() < 12)
        return kConvertTooShort;
    const fs::path target = ConvertedPath(targetFolder, sourcePath, toAvi);
    if (IsSameFile(sourcePath, target))
        return kConvertNoOutput; // writing would truncate the recording being read
    if (toAvi && IsScrambledRecording(sourcePath))
        return UnscrambledCopy(target, sourcePath, ClearForm::StandardAvi, progress).code;
    Output out(target);
    if (!out.isOpen()) {
        std::fputs("File Create Error\n", stdout);
        return kConvertNoOutput;
    }
    int result = convert(*src, out, toAvi, progress);
    if (result < 0) {
        out.discard();
        return result;
    }
    if (!out.close()) {
        std::error_code ec;
        fs::remove(target, ec);
        return kConvertWriteFailed;
    }
    return result;
}

int CopyRecording(const fs::path& targetFolder, const fs::path& sourcePath, const ConvertProgress& progress) {
    int in = ::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return kConvertNoSource;
    const fs::path target = ConvertedPath(targetFolder, sourcePath, false);
    std::error_code ec;
    const uint64_t total = fs::file_size(sourcePath, ec);
    if (ec || IsSameFile(sourcePath, target)) {
        ::close(in);
        return ec ? kConvertNoSource : kConvertNoOutput;
    }
    Output out(target);
    if (!out.isOpen()) {
        ::close(in);
        std::fputs("File Create Error\n", stdout);
        return kConvertNoOutput;
    }
    uint64_t done = 0;
    int result = kConvertDone;
    bool kernel = g_kernelCopy;
    while (kernel && result == kConvertDone) {
        int64_t n = out.copyFrom(in, done, kKernelStep);
        if (n < 0 && done == 0) {
            kernel = false; // this file system pair cannot: copy through memory
            break;
        }
        if (n <= 0) {
            result = n < 0 ? kConvertWriteFailed : result;
            break;
        }
        done += uint64_t(n);
        if (progress && !progress(done, total))
            result = kConvertCancelled;
    }
    std::vector<uint8_t> buffer(kernel ? 0 : kBlockSize);
    for (; !kernel;) {
        ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result = kConvertWriteFailed;
            break;
        }
        if (n == 0)
            break;
        if (!out.write(buffer.data(), size_t(n))) {
            result = kConvertWriteFailed;
            break;
        }
        done += uint64_t(n);
        if (progress && !progress(done, total)) {
            result = kConvertCancelled;
            break;
        }
    }
    ::close(in);
    if (result != kConvertDone) {
        out.discard();
        return result;
    }
    if (!out.close()) {
        fs::remove(target, ec);
        return kConvertWriteFailed;
    }
    return kConvertDone;
}
