#include "core/container/RecordingConverter.h"

#include "core/common/RegularFile.h"
#include "core/container/AviLayout.h"
#include "core/common/ByteSource.h"
#include "core/container/ChunkSizeCheck.h"
#include "core/container/ChunkWalker.h"
#include "core/container/MoviWalk.h"
#include "core/container/Riff.h"
#include "core/container/ScrambledCopy.h"
#include "core/container/ScrambledFrames.h"
#include "core/container/StreamHeaderCheck.h"
#include "core/common/FileReplace.h"
#include "core/common/ReplacingWriter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::atomic<bool> g_kernelCopy{true};

constexpr size_t kBlockSize = 4u << 20;
constexpr uint64_t kKernelStep = 16u << 20; // progress and cancel are checked this often
constexpr size_t kOutBuffer = 1u << 20;     // headers, an index and patched blocks
constexpr uint32_t kFccJunk = fourcc("JUNK");
constexpr uint32_t kIndexListFlag = 0x1; // idx1 entry of a nested list

// The output file, written by the safe writer under a temporary name in the target folder and
// renamed over the target only when it is complete, so a failed or cancelled run keeps a good
// earlier result. Headers go through the writer's buffer; ranges of the source that pass
// unchanged are copied by the kernel where it can, and patched in place afterwards.
class Output {
public:
    // Synced to the disk before the rename only when it replaces an earlier output (a new file has
    // nothing to lose, and a large one then costs no wait for the disk), as the other tools do.
    explicit Output(const fs::path& target) : m_writer(target, ReplacingWriter::Sync::WhenReplacing) {
        m_writer.setBufferSize(kOutBuffer);
        m_writer.setKernelCopy(g_kernelCopy.load());
    }
    const std::string& openError() const { return m_writer.error(); }
    bool isOpen() const { return m_writer.isOpen(); }
    uint64_t position() const { return m_writer.size(); }

    // Appends len bytes of the file `in` from inOffset. Returns the bytes copied (fewer only at
    // the end of the source), -1 when a read or write failed.
    int64_t copyFrom(int in, uint64_t inOffset, uint64_t len) { return m_writer.copyFrom(in, inOffset, len); }
    // `n` bytes appended that the caller fills in before the next call (at most kOutBuffer).
    uint8_t* reserve(size_t n) { return m_writer.reserve(n); }
    bool writeAt(uint64_t at, const void* data, size_t len) { return m_writer.writeAt(at, data, len); }
    bool write(const void* data, size_t len) {
        return m_writer.write(std::string_view(static_cast<const char*>(data), len));
    }
    bool patch32(uint64_t at, uint32_t value) {
        uint8_t b[4];
        writeLe32(b, value);
        return m_writer.writeAt(at, b, 4);
    }
    // Drops what was appended from `size` on.
    bool truncate(uint64_t size) { return m_writer.truncate(size); }
    // Closes the file and renames it over the target; false (and the temporary removed) on failure.
    bool commit(std::string* why) {
        if (m_writer.commit())
            return true;
        if (why)
            *why = m_writer.error();
        return false;
    }
    void discard() { m_writer.discard(); }

private:
    ReplacingWriter m_writer;
};

// A chunk as the walk over a movi list found it.
struct WalkedChunk {
    uint64_t offset;
    uint32_t id;
    uint64_t size;
};
struct WalkedMovi {
    uint64_t begin = 0, end = 0;
    std::vector<WalkedChunk> chunks;
};

// Four bytes written over the copy at a source offset (start codes, filler headers).
struct Patch {
    uint64_t at;
    std::array<uint8_t, 4> bytes;
};

bool indexListsChunks(const ByteSource& src, const AviLayout& layout, const std::vector<WalkedChunk>& chunks);

// Serves the small reads of a walk that looks at chunk headers only (a header, the first bytes of
// a frame, the pad byte before the next header) with one short read a chunk, so frame data is
// never brought into memory. Not thread-safe: one per walk.
class HeaderSource : public ByteSource {
public:
    explicit HeaderSource(const ByteSource& source) : m_source(source) {}
    uint64_t size() const override { return m_source.size(); }
    int64_t readAt(uint64_t offset, void* buf, size_t len) const override {
        if (len > kLargest)
            return m_source.readAt(offset, buf, len);
        const Window* w = load(offset, len);
        if (!w)
            return -1;
        if (offset >= w->start + w->held)
            return 0; // past the end of the file
        const size_t n = size_t(std::min<uint64_t>(len, w->start + w->held - offset));
        std::memcpy(buf, w->bytes + (offset - w->start), n);
        return int64_t(n);
    }
    // Also serves the walk's own read-ahead, which would otherwise read whole windows of frames.
    const uint8_t* peek(uint64_t offset, size_t len) const override {
        const Window* w = len <= kLargest ? load(offset, len) : nullptr;
        if (!w || offset + len > w->start + w->held)
            return nullptr;
        return w->bytes + (offset - w->start);
    }

private:
    static constexpr size_t kWindow = 64, kBefore = 16, kLargest = kWindow - kBefore;
    struct Window {
        uint64_t start = 0;
        size_t held = 0;
        uint8_t bytes[kWindow];
    };
    // The window holding [offset, offset + len), read when neither of the last two does. A window
    // starts a little before the offset asked for: a header's window also holds the pad byte of the
    // chunk before it, and the chunk's own window is still there when its frame is looked at after
    // the next header was read.
    const Window* load(uint64_t offset, size_t len) const {
        for (Window& w : m_windows)
            if (offset >= w.start && offset + len <= w.start + w.held)
                return &w;
        Window& w = m_windows[m_next];
        m_next ^= 1;
        const uint64_t start = offset > kBefore ? offset - kBefore : 0;
        const int64_t got = m_source.readAt(start, w.bytes, kWindow);
        if (got < 0)
            return nullptr;
        w.start = start;
        w.held = size_t(got);
        return &w;
    }

    const ByteSource& m_source;
    mutable Window m_windows[2];
    mutable int m_next = 0;
};

// State of one conversion: the source, the output, one block buffer and the progress callback.
class Conversion {
public:
    // `src` reads the file `file` (through a block cache); `heads` reads it header by header.
    Conversion(const ByteSource& src, const ByteSource& heads, const FileByteSource* file, const AviLayout& layout,
               Output& out, const ConvertProgress& progress)
        : m_src(src), m_heads(heads), m_file(file), m_layout(layout), m_out(out), m_progress(progress),
          m_kernelCopy(g_kernelCopy.load()) {}

    // The output number of each stream; -1 for a stream left out (its chunks become filler).
    std::vector<int> streamNumbers;

    // The header list's patches: the list of a stream left out becomes filler, and the main
    // header counts the streams kept.
    std::vector<Patch> headerPatches(uint64_t begin, uint64_t end) const {
        std::vector<Patch> patches;
        int kept = 0;
        for (size_t i = 0; i < streamNumbers.size(); ++i) {
            if (streamNumbers[i] >= 0) {
                ++kept;
                continue;
            }
            const uint64_t at = m_layout.streams[i].listOffset;
            if (at >= begin && at + 4 <= end)
                patches.push_back({at, {'J', 'U', 'N', 'K'}});
        }
        const uint64_t count = m_layout.avihDataOffset + kAvihStreamsOffset;
        if (kept != int(streamNumbers.size()) && m_layout.hasAvih && count >= begin && count + 4 <= end) {
            Patch p{count, {}};
            writeLe32(p.bytes.data(), uint32_t(kept));
            patches.push_back(p);
        }
        std::sort(patches.begin(), patches.end(), [](const Patch& a, const Patch& b) { return a.at < b.at; });
        return patches;
    }

    int error = 0;
    bool damaged = false; // damaged chunk headers were stepped over

    // Copies [begin, end) of the source with `patches` (sorted, inside the range, not overlapping)
    // written over it. Files are copied by the kernel in large steps with the patches written
    // over afterwards; anything else, or a file system that cannot do that, goes through the
    // block buffer.
    bool copy(uint64_t begin, uint64_t end, const std::vector<Patch>& patches = {}) {
        auto p = patches.begin();
        while (m_file && m_kernelCopy && begin < end) {
            const uint64_t outStart = m_out.position();
            int64_t got = m_out.copyFrom(m_file->fd(), begin, std::min<uint64_t>(kKernelStep, end - begin));
            if (got < 0)
                return fail(kConvertWriteFailed);
            if (got == 0)
                return fail(kConvertSourceChanged); // the file shrank under us (a card pulled)
            const uint64_t n = uint64_t(got);
            for (; p != patches.end() && p->at < begin + n; ++p) {
                const uint64_t from = std::max(p->at, begin), to = std::min(p->at + 4, begin + n);
                if (!m_out.writeAt(outStart + (from - begin), p->bytes.data() + (from - p->at),
                                   size_t(to - from)))
                    return fail(kConvertWriteFailed);
            }
            if (p != patches.begin() && (p - 1)->at + 4 > begin + n)
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
                return fail(kConvertSourceChanged);
            n = size_t(got);
            for (; p != patches.end() && p->at < begin + n; ++p)
                for (uint64_t k = 0; k < 4; ++k)
                    if (p->at + k >= begin && p->at + k < begin + n)
                        m_buffer[size_t(p->at + k - begin)] = p->bytes[k];
            // A patch that straddles the block boundary is finished in the next block.
            if (p != patches.begin() && (p - 1)->at + 4 > begin + n)
                --p;
            if (!m_out.write(m_buffer.data(), n))
                return fail(kConvertWriteFailed);
            begin += n;
            if (m_progress && !m_progress(begin, m_src.size()))
                return fail(kConvertCancelled);
        }
        return true;
    }

    // The movi list's chunks over [begin, end): with toAvi video frames get the start code in
    // front. Chunks are walked flat: a nested list is copied as a whole, its frames unchanged. A
    // damaged span the walk steps over becomes a "JUNK" chunk, so players skip it and find the
    // chunks after it. A size the walk cannot see as wrong (one byte short, or grown over the
    // chunks after it) is set right. Every chunk kept is listed for an index.
    bool copyMovi(uint64_t begin, uint64_t end, bool toAvi) {
        m_moviIdentifier = begin - 4;
        if (std::optional<bool> done = copyMoviByIndex(begin, end, toAvi))
            return *done;
        std::vector<Patch> patches;
        WalkedMovi visited{begin, end, {}};
        // The chunks go out while the walk reads them (from the blocks it has just read), each once
        // every patch before it is known; without the kernel copy (tests) the whole list is walked
        // first and then copied block by block, a second way to the same bytes.
        const bool streaming = m_kernelCopy;
        uint64_t emitted = begin;
        bool stop = false;
        const MoviWalkResult walked = WalkMoviRange(
            m_src, begin, end, false,
            [&](const RiffChunk& c) {
                visited.chunks.push_back({c.offset, c.id, c.size});
                keepChunk(c, end, toAvi, patches);
                // Later chunks and damaged spans only patch bytes from this chunk on.
                if (streaming && !emit(emitted, c.offset, patches))
                    stop = true;
            },
            [&](uint64_t from, uint64_t to) {
                Patch id{from, {'J', 'U', 'N', 'K'}}, size{from + 4, {}};
                writeLe32(size.bytes.data(), uint32_t(to - from - 8));
                patches.push_back(id);
                patches.push_back(size);
            },
            &stop);
        if (stop)
            return false;
        if (walked.readError || m_readError)
            return fail(kConvertWriteFailed);
        if (!walkedMovi)
            walkedMovi = std::move(visited);
        damaged = damaged || walked.damaged;
        // A chunk held back by the walk is visited after the span that follows it.
        std::stable_sort(patches.begin(), patches.end(),
                         [](const Patch& a, const Patch& b) { return a.at < b.at; });
        if (!streaming)
            return copy(begin, end, patches);
        if (!emit(emitted, end, patches))
            return false;
        return !m_progress || m_progress(end, m_src.size()) || fail(kConvertCancelled);
    }

    // The movi list of a finished file whose index lists every chunk of it, as the walk over the
    // chunk headers finds them: a size grown over the chunks after it would not match the index,
    // so the frames are not searched for chunks and never read. The kernel copies the list while
    // the headers are walked on a thread of its own; the patches are written over the copy after.
    // Nothing when the file is not like that (no index, damage, an index that differs): the copy
    // is taken back, the state is as before and the list is walked block by block.
    std::optional<bool> copyMoviByIndex(uint64_t begin, uint64_t end, bool toAvi) {
        if (!m_file || !m_kernelCopy || !m_layout.hasIdx1 || walkedMovi || begin != m_layout.moviDataStart ||
            end != m_layout.moviEnd)
            return std::nullopt;
        const uint64_t outBegin = m_out.position();
        const size_t indexBefore = index.size();
        const uint64_t framesBefore = videoFrames;
        const bool changedBefore = chunksChanged, damagedBefore = damaged;
        std::vector<Patch> patches;
        WalkedMovi visited{begin, end, {}};
        MoviWalkResult walked;
        bool stop = false;
        std::atomic<bool> copyEnded{false};
        std::thread walker([&] {
            m_trustSizes = true;
            walked = WalkMoviRange(
                m_heads, begin, end, false,
                [&](const RiffChunk& c) {
                    visited.chunks.push_back({c.offset, c.id, c.size});
                    keepChunk(c, end, toAvi, patches);
                    stop = copyEnded && error; // a failed or cancelled copy ends the walk
                },
                [&](uint64_t, uint64_t) { stop = true; }, &stop);
            m_trustSizes = false;
        });
        const bool copied = copy(begin, end);
        copyEnded = true;
        walker.join();
        if (!copied)
            return false;
        const bool listed = !stop && !walked.readError && !m_readError && !walked.damaged && !walked.truncated &&
                            walked.end == end && indexListsChunks(*m_file, m_layout, visited.chunks);
        if (!listed) {
            index.resize(indexBefore);
            videoFrames = framesBefore;
            chunksChanged = changedBefore;
            damaged = damagedBefore;
            m_readError = false;
            if (!m_out.truncate(outBegin))
                return fail(kConvertWriteFailed);
            return std::nullopt;
        }
        walkedMovi = std::move(visited);
        indexConfirmed = true;
        for (const Patch& p : patches)
            if (!m_out.writeAt(outBegin + (p.at - begin), p.bytes.data(), p.bytes.size()))
                return fail(kConvertWriteFailed);
        return true;
    }

    // Writes the source's bytes [from, to) with the patches over them through the output buffer
    // and moves `from` to `to`; patches wholly before `to` are dropped from the list.
    bool emit(uint64_t& from, uint64_t to, std::vector<Patch>& patches) {
        if (to <= from)
            return true;
        std::stable_sort(patches.begin(), patches.end(),
                         [](const Patch& a, const Patch& b) { return a.at < b.at; });
        while (from < to) {
            const size_t n = size_t(std::min<uint64_t>(to - from, kOutBuffer));
            uint8_t* at = m_out.reserve(n);
            if (!at)
                return fail(kConvertWriteFailed);
            const int64_t got = m_src.readAt(from, at, n);
            if (got < 0)
                return fail(kConvertWriteFailed);
            if (size_t(got) < n)
                return fail(kConvertSourceChanged); // the file shrank under us (a card pulled)
            for (const Patch& p : patches) {
                if (p.at >= from + n)
                    break;
                for (uint64_t k = 0; k < 4; ++k)
                    if (p.at + k >= from && p.at + k < from + n)
                        at[size_t(p.at + k - from)] = p.bytes[k];
            }
            const uint64_t before = from;
            from += n;
            if (m_progress && before / kBlockSize != from / kBlockSize && !m_progress(from, m_src.size()))
                return fail(kConvertCancelled);
        }
        patches.erase(std::remove_if(patches.begin(), patches.end(),
                                     [to](const Patch& p) { return p.at + 4 <= to; }),
                      patches.end());
        return true;
    }

    // One chunk of the movi list as it goes into the output. A chunk found inside a grown one is
    // not searched for chunks of its own (a crafted file could nest them as deep as it is long).
    void keepChunk(RiffChunk c, uint64_t end, bool toAvi, std::vector<Patch>& patches, bool inner = false) {
        const int number = chunkStreamNumber(c.id);
        const bool known = number >= 0 && size_t(number) < streamNumbers.size();
        const ChunkSizeCheck& check = m_trustSizes ? m_headsCheck : m_check;
        if (!check.fitsItsStream(c.id) || (known && streamNumbers[size_t(number)] < 0)) {
            // A stream chunk of the wrong kind (a flipped bit in its identifier, or a stream
            // header lost): players would feed it to the wrong decoder.
            patches.push_back({c.offset, {'J', 'U', 'N', 'K'}});
            damaged = true;
            chunksChanged = true;
            return;
        }
        std::optional<uint64_t> swallowed;
        if (check.sizeOneShort(c, end))
            c.size += 1; // the byte taken for padding is the frame's last
        else if (!inner && !m_trustSizes && (swallowed = m_check.swallowedChunksAt(c, end)))
            c.size = *swallowed - c.dataOffset(); // the chunks it grew over follow it again
        if (c.size != c.storedSize) {
            Patch size{c.offset + 4, {}};
            writeLe32(size.bytes.data(), uint32_t(c.size));
            patches.push_back(size);
            damaged = true;
            chunksChanged = true;
        }
        const uint64_t available = std::min(c.size, end - c.dataOffset());
        const bool video = isVideoChunkId(c.id) && chunkStreamNumber(c.id) >= 0;
        if (toAvi && video && c.size >= 4 && available >= 4)
            patches.push_back({c.dataOffset(), {0, 0, 0, 1}});
        if (video && c.size > 0)
            ++videoFrames;
        if (known && streamNumbers[size_t(number)] != number) {
            // The streams after one left out move down by one.
            const int to = streamNumbers[size_t(number)];
            c.id = (c.id & 0xFFFF0000u) | uint32_t('0' + to / 10) | (uint32_t('0' + to % 10) << 8);
            Patch id{c.offset, {}};
            writeLe32(id.bytes.data(), c.id);
            patches.push_back(id);
            chunksChanged = true;
        }
        if (c.id != kFccJunk)
            addIndexEntry(c, video, available);
        if (swallowed) {
            // The chunks inside run exactly to its old end: each is kept as a chunk of its own.
            ChunkWalker chunks(m_src, *swallowed, std::min(c.offset + 8 + paddedSize(c.storedSize), end));
            RiffChunk k;
            while (chunks.next(k) && !k.truncated)
                keepChunk(k, end, toAvi, patches, true);
        }
    }

    void addIndexEntry(const RiffChunk& c, bool video, uint64_t available) {
        uint32_t flags = c.id == kFccList ? kIndexListFlag : kAviIndexKeyFrame;
        if (video) {
            uint8_t first[5] = {};
            const size_t n = size_t(std::min<uint64_t>(available, 5));
            if (!(m_trustSizes ? m_heads : m_src).readExact(c.dataOffset(), first, n))
                m_readError = true;
            if (!m_layout.standardSignatures && n >= 4)
                first[0] = first[1] = first[2] = 0, first[3] = 1; // the camera's prefix, not a start code
            flags = startsKeyFrame(first, n) ? kAviIndexKeyFrame : 0;
        }
        uint8_t e[16];
        writeLe32(e, c.id);
        writeLe32(e + 4, flags);
        writeLe32(e + 8, uint32_t(c.offset - m_moviIdentifier));
        writeLe32(e + 12, uint32_t(c.size));
        index.insert(index.end(), e, e + 16);
    }

    // The chunks the first walk over a movi list found, as they were (before any repair).
    std::optional<WalkedMovi> walkedMovi;
    bool indexConfirmed = false; // the file's index lists exactly those chunks

    // The idx1 entries of the chunks kept, offsets counted from the movi identifier.
    std::vector<uint8_t> index;
    uint64_t videoFrames = 0;
    bool chunksChanged = false; // a size or a kind was set right: an index of the source no longer fits

    bool write(const void* data, size_t len) { return m_out.write(data, len) || fail(kConvertWriteFailed); }
    bool fail(int code) {
        if (!error)
            error = code;
        return false;
    }

private:
    const ByteSource& m_src;
    const ByteSource& m_heads;
    const FileByteSource* m_file;
    const AviLayout& m_layout;
    Output& m_out;
    const ConvertProgress& m_progress;
    ChunkSizeCheck m_check{m_src, m_layout};
    ChunkSizeCheck m_headsCheck{m_heads, m_layout};
    bool m_trustSizes = false; // the walk reads headers only: an index vouches for the sizes
    std::vector<uint8_t> m_buffer;
    uint64_t m_moviIdentifier = 0;
    bool m_readError = false;
    bool m_kernelCopy;
};

// End of the last complete chunk of a movi list in [begin, end) (an unfinished one ends where
// its index begins).
uint64_t completeChunksEnd(const ByteSource& src, uint64_t begin, uint64_t end, bool stopAtIndex) {
    return WalkMoviRange(src, begin, end, stopAtIndex, [](const RiffChunk&) {}).end;
}

// True when the file's idx1 lists exactly the chunks of its movi list, in order. An index that
// points elsewhere (zeros written over it, a different file's index) would leave players without a
// single decodable frame.
bool indexListsChunks(const ByteSource& src, const AviLayout& layout, const std::vector<WalkedChunk>& chunks) {
    std::vector<IndexEntry> entries;
    if (!ReadAviIndex(src, layout, entries) || entries.size() != chunks.size())
        return false;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].offset != chunks[i].offset || entries[i].id != chunks[i].id ||
            entries[i].size != chunks[i].size)
            return false;
    return true;
}

bool indexMatchesMovi(const ByteSource& src, const AviLayout& layout) {
    std::vector<WalkedChunk> chunks;
    if (!WalkMovi(src, layout, [&](const RiffChunk& c) { chunks.push_back({c.offset, c.id, c.size}); }))
        return false;
    return indexListsChunks(src, layout, chunks);
}

// Walks a source whose layout has been read (a recording with a header list and movie data).
int convert(const FileByteSource& file, const AviLayout& layout, Output& out, bool toAvi,
            const std::vector<int>& streamNumbers, const ConvertProgress& progress, std::string* error) {
    // The top-level chunks and a movi list the file's index describes are walked header by header;
    // any other movi list is walked and checked through one cache of large blocks, read from the
    // file once, front to back.
    BlockCacheSource src(file);
    HeaderSource heads(file);
    const uint64_t S = src.size();
    uint8_t head[12];
    if (S < 12 || !heads.readExact(0, head, 12))
        return kConvertTooShort;
    const bool unfinished = readLe32(head + 4) == 0;
    if (toAvi) {
        writeLe32(head, kFccRiff);
        writeLe32(head + 8, kFccAvi);
    }
    if (unfinished)
        writeLe32(head + 4, uint32_t(S - 8));
    Conversion job(src, heads, &file, layout, out, progress);
    // Whether the file's index lists the chunks of its movi list: taken from the walk that copies
    // the movi list where that walks the same range, else from a walk of its own.
    std::optional<bool> indexMatches;
    auto indexUsable = [&] {
        if (!indexMatches) {
            if (job.indexConfirmed)
                indexMatches = true;
            else if (job.walkedMovi && job.walkedMovi->begin == layout.moviDataStart &&
                job.walkedMovi->end == layout.moviEnd)
                indexMatches = layout.hasIdx1 && indexListsChunks(src, layout, job.walkedMovi->chunks);
            else
                indexMatches = layout.hasIdx1 && indexMatchesMovi(src, layout);
        }
        return *indexMatches;
    };
    job.streamNumbers = streamNumbers;
    if (!job.write(head, 12))
        return job.error;

    int result = kConvertDone;
    bool damaged = false;
    for (int n : streamNumbers)
        damaged = damaged || n < 0;
    std::optional<uint64_t> moviSizeAt; // output position of the movi list's size field
    bool indexWritten = false, moviCut = false;
    auto writeIndex = [&] {
        indexWritten = true;
        uint8_t header[8];
        writeLe32(header, kFccIdx1);
        writeLe32(header + 4, uint32_t(job.index.size()));
        return job.write(header, 8) && job.write(job.index.data(), job.index.size());
    };
    ChunkWalker top(heads, 12, S, ChunkWalker::ZeroSize::RestOfRange);
    RiffChunk c;
    while (top.next(c)) {
        const uint64_t d = c.offset;
        const bool isList = c.id == kFccList;
        const bool isMovi = IsMoviList(c);
        if (c.zeroSizeFilled && !unfinished && !isMovi) {
            // "Size 0 runs to the end" repairs an unfinished recording; in a finished one an empty
            // chunk is empty and must not swallow the chunks after it.
            c = RiffChunk{d, c.id, 0, 0, d + 8};
            top.seek(d + 8);
        }
        if (isList && !c.hasListType) {
            // A list without its type (a bare header at the end of the file): nothing to keep.
            damaged = true;
            if (c.truncated)
                break;
            continue;
        }
        uint8_t header[12];
        writeLe32(header, c.id);
        writeLe32(header + 4, uint32_t(c.size));
        writeLe32(header + 8, c.listType);

        if (c.truncated) {
            // The file ends inside this chunk. Of a movi list keep every complete chunk, so a
            // recording cut short still converts into a playable file; an index cut short is
            // made anew; anything else is dropped.
            damaged = true;
            if (c.id == kFccIdx1 && moviSizeAt && !indexWritten && !writeIndex())
                return job.error;
            if (isMovi) {
                moviCut = true;
                const uint64_t end = completeChunksEnd(src, d + 12, S, false);
                writeLe32(header + 4, uint32_t(end - d - 8));
                moviSizeAt = out.position() + 4;
                if (!job.write(header, 12) || !job.copyMovi(d + 12, end, toAvi))
                    return job.error;
            }
            break;
        }
        const uint64_t available = S - c.dataOffset();
        const uint64_t len = std::min(paddedSize(c.size), available);

        if (isList) {
            uint64_t begin = d + 12, end = c.dataOffset() + len;
            if (isMovi && c.zeroSizeFilled) {
                // An unfinished recording: its movi list ends where an index was written, or after
                // its last complete chunk (zeros or stray bytes may follow on the card).
                end = completeChunksEnd(src, begin, end, true);
                writeLe32(header + 4, uint32_t(end - d - 8));
                top.seek(end);
            }
            if (isMovi)
                moviSizeAt = out.position() + 4;
            if (!job.write(header, 12))
                return job.error;
            if (c.listType == kFccHdrl) {
                if (!job.copy(begin, end, job.headerPatches(begin, end)))
                    return job.error == kConvertWriteFailed ? kConvertShortHeader : job.error;
            } else if (isMovi) {
                if (!job.copyMovi(begin, end, toAvi))
                    return job.error;
            } else if (!job.copy(begin, end)) {
                return job.error;
            }
            continue;
        }
        if (c.id == kFccIdx1) {
            // Only the index of the movi list, and only when it lists the chunks that are there;
            // otherwise an index of the chunks written takes its place (players seek with it).
            damaged = damaged || !indexUsable() || job.chunksChanged || indexWritten;
            if (indexWritten || d != layout.idx1Offset || !moviSizeAt)
                continue;
            indexWritten = true;
            if (!indexUsable() || job.chunksChanged) {
                if (!writeIndex())
                    return job.error;
                continue;
            }
            result = kConvertDoneWithIndex;
        }
        if (!job.write(header, 8) || !job.copy(c.dataOffset(), c.dataOffset() + len))
            return job.error;
    }
    if (top.failed())
        return kConvertWriteFailed;
    if (job.videoFrames == 0) {
        // Sound or records alone make no recording a player can open.
        *error = "the movie data holds no complete video frame";
        return kConvertShortHeader;
    }
    if (moviSizeAt && !moviCut && !indexWritten && !unfinished && (layout.avihFlags & kAviHasIndex)) {
        // Closed with an index that is not there (its identifier damaged): players need one to
        // skip what follows the movi list, so the index of the chunks written is added.
        damaged = true;
        if (!writeIndex())
            return job.error;
    }
    if (file.shrank())
        return kConvertSourceChanged; // blocks read before may be all that was left of it
    // The output may be shorter than the source (a cut file, padding, dropped parts): its RIFF size
    // says what was written.
    if ((out.position() != S || damaged) && !out.patch32(4, uint32_t(out.position() - 8)))
        return kConvertWriteFailed;
    return damaged || job.damaged ? kConvertRepaired : result;
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
    case kConvertRepaired:
        return "converted, but damaged parts of the recording were left out";
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
        return "not a recording, or its header cannot be read";
    case kConvertCancelled:
        return "cancelled";
    case kConvertIsMp4:
        return "an MP4 recording plays as it is: copy it instead of converting it";
    case kConvertSourceChanged:
        return "the recording became shorter while it was read (card removed?)";
    case kConvertDamaged:
        return "the scrambled copy has been changed (its digest does not match)";
    }
    return "unknown failure";
}

fs::path ConvertedPath(const fs::path& targetFolder, const fs::path& sourcePath, bool toAvi) {
    std::string name = sourcePath.filename().string();
    return targetFolder / (toAvi ? name + ".avi" : name);
}

namespace {

int failWith(int result, std::string* why, const std::string& text) {
    if (why)
        *why = text;
    return result;
}

std::string outputError(const fs::path&, const std::string& error) {
    return error;
}

} // namespace

int ConvertRecording(const fs::path& targetFolder, const fs::path& sourcePath, bool toAvi,
                     const ConvertProgress& progress, std::string* why) {
    std::string error;
    auto src = FileByteSource::open(sourcePath, &error);
    if (!src)
        return failWith(kConvertNoSource, why, error);
    if (src->size() < 12)
        return failWith(kConvertTooShort, why,
                        sourcePath.string() + ": " + ConvertResultText(kConvertTooShort));
    const fs::path target = ConvertedPath(targetFolder, sourcePath, toAvi);
    if (IsSameFile(sourcePath, target))
        return failWith(kConvertNoOutput, why,
                        target.string() + ": the output would be the recording itself");
    // Refuse what is not a recording before anything is created in the target folder.
    uint8_t head[8] = {};
    src->readAt(0, head, sizeof head);
    if (readLe32(head + 4) == fourcc("ftyp"))
        return failWith(kConvertIsMp4, why, sourcePath.string() + ": " + ConvertResultText(kConvertIsMp4));
    AviLayout layout;
    if (!ParseAviLayout(*src, layout, &error))
        return failWith(kConvertShortHeader, why, sourcePath.string() + ": " + error);
    const ScrambleMark scramble = InspectScrambleMark(*src, layout).mark;
    if (scramble == ScrambleMark::Changed)
        return failWith(kConvertDamaged, why, ChangedCopyText(sourcePath.string()));
    if (toAvi && scramble == ScrambleMark::Valid) {
        // A scrambled copy converts into the clear recording, once its digest is checked.
        CopyOutcome r = UnscrambledCopy(target, sourcePath, ClearForm::StandardAvi, progress);
        return r.ok() ? r.code : failWith(r.code, why, sourcePath.string() + ": " + r.error);
    }
    if (!layout.hasAvih || layout.streams.empty())
        return failWith(kConvertShortHeader, why,
                        sourcePath.string() + ": the header list is damaged (no main or stream header)");
    if (layout.moviEnd <= layout.moviDataStart)
        return failWith(kConvertShortHeader, why,
                        sourcePath.string() + ": the movie data holds no complete frame");
    // A stream whose header players would reject is left out; without a video stream there is
    // nothing to convert.
    const std::vector<StreamVerdict> verdicts = CheckStreamHeaders(layout);
    std::vector<int> streamNumbers(verdicts.size(), -1);
    std::string leftOut;
    int kept = 0;
    bool video = false;
    for (size_t i = 0; i < verdicts.size(); ++i) {
        if (verdicts[i].keep) {
            streamNumbers[i] = kept++;
            video = video || layout.streams[i].type == kFccVids;
        } else {
            leftOut += (leftOut.empty() ? "" : "; ") + std::string("stream ") + std::to_string(i) + " left out: " +
                       verdicts[i].why;
        }
    }
    if (!video)
        return failWith(kConvertShortHeader, why,
                        sourcePath.string() + ": no video stream with a usable header" +
                            (leftOut.empty() ? std::string() : " (" + leftOut + ")"));
    Output out(target);
    if (!out.isOpen())
        return failWith(kConvertNoOutput, why, outputError(target, out.openError()));
    error.clear();
    int result = convert(*src, layout, out, toAvi, streamNumbers, progress, &error);
    if (result < 0) {
        out.discard();
        return failWith(result, why,
                        sourcePath.string() + ": " + (error.empty() ? ConvertResultText(result) : error));
    }
    if (!out.commit(&error))
        return failWith(kConvertWriteFailed, why, error);
    if (result == kConvertRepaired && why)
        *why = sourcePath.string() + ": " + ConvertResultText(result) + (leftOut.empty() ? "" : " (" + leftOut + ")");
    return result;
}

int CopyRecording(const fs::path& targetFolder, const fs::path& sourcePath, const ConvertProgress& progress,
                  std::string* why) {
    RegularFile source = OpenRegularFile(sourcePath);
    if (source.fd < 0)
        return failWith(kConvertNoSource, why, source.error);
    const int in = source.fd;
    const uint64_t total = source.size;
    const fs::path target = ConvertedPath(targetFolder, sourcePath, false);
    if (IsSameFile(sourcePath, target)) {
        ::close(in);
        return failWith(kConvertNoOutput, why, target.string() + ": the copy would be the recording itself");
    }
    Output out(target);
    if (!out.isOpen()) {
        ::close(in);
        return failWith(kConvertNoOutput, why, outputError(target, out.openError()));
    }
    // Copied by the kernel where the file systems allow it, else in large blocks through memory.
    // Progress and cancel come after every step: a kernel copy's, or a block's through memory.
    const uint64_t step = g_kernelCopy ? kKernelStep : kBlockSize;
    uint64_t done = 0;
    int result = kConvertDone;
    while (result == kConvertDone && done < total) {
        const int64_t n = out.copyFrom(in, done, std::min<uint64_t>(step, total - done));
        if (n <= 0) {
            result = n < 0 ? kConvertWriteFailed : kConvertSourceChanged;
            break;
        }
        done += uint64_t(n);
        if (progress && !progress(done, total))
            result = kConvertCancelled;
    }
    ::close(in);
    if (result != kConvertDone) {
        out.discard();
        return failWith(result, why, sourcePath.string() + ": " + ConvertResultText(result));
    }
    std::string error;
    if (!out.commit(&error))
        return failWith(kConvertWriteFailed, why, error);
    return kConvertDone;
}
