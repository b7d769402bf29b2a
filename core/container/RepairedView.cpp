#include "core/container/RepairedView.h"

#include "core/container/AviLayout.h"
#include "core/common/ByteSource.h"
#include "core/container/Riff.h"
#include "core/container/ScrambledFrames.h"

#include <algorithm>
#include <cstring>

namespace {

// The header region (everything before the first movi chunk) is held in memory; a larger one is
// not a camera recording.
constexpr uint64_t kMaxHeaderRegion = 16u << 20;
constexpr uint32_t kIndexListFlag = 0x1; // idx1 entry of a nested list

struct Segment {
    uint64_t viewStart = 0;
    uint64_t length = 0;
    bool fromFile = false;
    uint64_t fileOffset = 0;                      // fromFile
    const std::vector<uint8_t>* memory = nullptr; // otherwise
    uint64_t memoryOffset = 0;
    bool patchPrefixes = false;
};

} // namespace

struct RepairedView::Impl {
    std::unique_ptr<ByteSource> file;
    std::vector<Segment> segments;
    std::vector<uint8_t> header;
    std::vector<uint8_t> index;
    std::vector<uint64_t> prefixes; // file offsets of video frame data whose first 4 bytes read 00 00 00 01
    std::unique_ptr<ScrambledFrames> scrambled; // a scrambled copy: its frames are served in clear
    uint64_t size = 0;
    bool repaired = false;
};

RepairedView::RepairedView() : m_impl(std::make_unique<Impl>()) {}
RepairedView::~RepairedView() = default;

std::unique_ptr<RepairedView> RepairedView::open(const std::filesystem::path& path, std::string* error) {
    std::string why;
    auto file = FileByteSource::open(path, &why);
    if (!file) {
        if (error)
            *error = why;
        return nullptr;
    }
    return open(std::move(file), path.filename().string(), error);
}

namespace {

// How many entries of a file's own index are checked against the chunk headers they point at.
constexpr size_t kIndexSamples = 64;

bool indexableId(uint32_t id) {
    return id == kFccList || id == fourcc("JUNK") || chunkStreamNumber(id) >= 0 ||
           (uint8_t(id) == 'i' && uint8_t(id >> 8) == 'x');
}

// The index of a finished file describes its movi list when its entries lie one after the other
// from the first chunk to the end of the list with no gap, and the headers of a sample of them
// (the first, the last and evenly spaced ones between) carry the identifiers and sizes it lists.
// Only the index and those headers are read, never the frame data.
bool IndexDescribesMovi(const ByteSource& file, const AviLayout& layout, const std::vector<IndexEntry>& entries) {
    if (entries.empty() || entries.front().offset != layout.moviDataStart)
        return false;
    for (size_t i = 0; i < entries.size(); ++i) {
        const IndexEntry& e = entries[i];
        if (!indexableId(e.id))
            return false;
        const uint64_t end = e.offset + 8 + paddedSize(e.size);
        if (i + 1 < entries.size() ? end != entries[i + 1].offset
                                   : end != layout.moviEnd && end != layout.moviEnd + 1)
            return false;
    }
    const size_t count = entries.size();
    const size_t samples = std::min(count, kIndexSamples);
    for (size_t k = 0; k < samples; ++k) {
        const size_t i = samples == 1 ? 0 : k * (count - 1) / (samples - 1);
        uint8_t h[8];
        if (!file.readExact(entries[i].offset, h, sizeof h) || readLe32(h) != entries[i].id ||
            readLe32(h + 4) != entries[i].size)
            return false;
    }
    return true;
}

} // namespace

std::unique_ptr<RepairedView> RepairedView::open(std::unique_ptr<ByteSource> file, const std::string& name,
                                                 std::string* error) {
    auto fail = [&](const std::string& text) {
        if (error)
            *error = text;
        return nullptr;
    };
    std::string why;
    AviLayout layout;
    if (!ParseAviLayout(*file, layout, &why))
        return fail(name + ": " + why);
    if (layout.fileSize > kMaxRecordingSize)
        return fail(name + ": " + kBeyondRiffLimit);
    if (layout.moviDataStart > kMaxHeaderRegion)
        return fail(name + ": header list too large");

    // A changed announcement would serve still-scrambled video as if it were clear.
    const ScrambleInspection scramble = InspectScrambleMark(*file, layout);
    if (scramble.mark == ScrambleMark::Changed)
        return fail(ChangedCopyText(name));

    std::unique_ptr<RepairedView> view(new RepairedView);
    Impl& d = *view->m_impl;
    const bool cameraForm = !layout.standardSignatures;
    d.scrambled = ScrambledFrames::detect(*file, layout);

    std::vector<uint64_t> counts(layout.streams.size(), 0), bytes(layout.streams.size(), 0);
    auto count = [&](uint32_t id, uint64_t size) {
        int stream = chunkStreamNumber(id);
        if (stream >= 0 && size_t(stream) < counts.size()) {
            counts[stream] += 1;
            bytes[stream] += size;
        }
    };

    // A finished file opens from its own index when that describes the movi list: the open then
    // costs the index and a few headers, whatever the recording's length.
    std::vector<IndexEntry> entries;
    const bool haveIndex = ReadAviIndex(*file, layout, entries);
    bool indexUsable = haveIndex && IndexDescribesMovi(*file, layout, entries);
    if (indexUsable) {
        for (const IndexEntry& e : entries) {
            if (isVideoChunkId(e.id) && e.size >= 4) {
                if (d.scrambled)
                    d.scrambled->addFrame(e.offset + 8, e.size);
                if (cameraForm)
                    d.prefixes.push_back(e.offset + 8);
            }
            count(e.id, e.size);
        }
    }

    // Otherwise one walk over the movi list: frame prefixes, per-stream counts and the chunks an
    // index needs.
    struct Walked {
        uint32_t id, size;
        uint64_t offset;
        bool key;
    };
    std::vector<Walked> chunks;
    if (!indexUsable) {
        bool readError = false;
        ReadAheadSource ahead(*file);
        bool ok = WalkMovi(ahead, layout, [&](const RiffChunk& c) {
            bool video = isVideoChunkId(c.id);
            bool key = true;
            if (video && c.size >= 4) {
                uint8_t first[5] = {};
                size_t n = size_t(std::min<uint64_t>(c.size, 5));
                if (!ahead.readExact(c.dataOffset(), first, n))
                    readError = true;
                if (d.scrambled) {
                    d.scrambled->addFrame(c.dataOffset(), c.size);
                    d.scrambled->apply(c.dataOffset(), first, n);
                }
                if (cameraForm) {
                    d.prefixes.push_back(c.dataOffset());
                    first[0] = first[1] = first[2] = 0;
                    first[3] = 1;
                }
                key = startsKeyFrame(first, n);
            } else if (video) {
                key = false;
            }
            count(c.id, c.size);
            chunks.push_back({c.id, uint32_t(c.size), c.offset, key});
        });
        if (!ok || readError)
            return fail(name + ": read error");

        // Keep the file's own index when it describes exactly the chunks that are there.
        if (haveIndex && entries.size() == chunks.size()) {
            indexUsable = true;
            for (size_t i = 0; i < entries.size() && indexUsable; ++i)
                indexUsable = entries[i].offset == chunks[i].offset && entries[i].id == chunks[i].id &&
                              entries[i].size == chunks[i].size;
        }
    }

    uint64_t tailStart = layout.moviEnd, tailEnd = layout.moviEnd;
    if (indexUsable) {
        tailEnd = std::max(layout.contentEnd, layout.idx1Offset + 8 + paddedSize(layout.idx1Size));
    } else {
        d.index.resize(8 + chunks.size() * 16);
        writeLe32(d.index.data(), kFccIdx1);
        writeLe32(d.index.data() + 4, uint32_t(chunks.size() * 16));
        const uint64_t base = layout.moviOffset + 8;
        for (size_t i = 0; i < chunks.size(); ++i) {
            uint8_t* e = d.index.data() + 8 + i * 16;
            uint32_t flags = chunks[i].id == kFccList ? kIndexListFlag
                             : chunks[i].key          ? kAviIndexKeyFrame
                                                      : 0;
            writeLe32(e, chunks[i].id);
            writeLe32(e + 4, flags);
            writeLe32(e + 8, uint32_t(chunks[i].offset - base));
            writeLe32(e + 12, chunks[i].size);
        }
    }

    const uint64_t moviLength = layout.moviEnd - layout.moviDataStart;
    d.size = layout.moviDataStart + moviLength + (indexUsable ? tailEnd - tailStart : d.index.size());

    // Header region with its patches.
    d.header.resize(size_t(layout.moviDataStart));
    if (!file->readExact(0, d.header.data(), d.header.size()))
        return fail(name + ": read error");
    const std::vector<uint8_t> original = d.header;
    writeLe32(d.header.data(), kFccRiff);
    writeLe32(d.header.data() + 8, kFccAvi);
    writeLe32(d.header.data() + 4, uint32_t(d.size - 8));
    writeLe32(d.header.data() + layout.moviOffset + 4, uint32_t(layout.moviEnd - layout.moviOffset - 8));
    if (layout.hasAvih && layout.avihDataOffset + 20 <= d.header.size()) {
        uint8_t* avih = d.header.data() + layout.avihDataOffset;
        writeLe32(avih + kAvihFlagsOffset, readLe32(avih + kAvihFlagsOffset) | kAviHasIndex);
        if (readLe32(avih + kAvihTotalFramesOffset) == 0 && !counts.empty())
            writeLe32(avih + kAvihTotalFramesOffset, uint32_t(counts[0]));
    }
    for (size_t s = 0; s < layout.streams.size(); ++s) {
        const auto& st = layout.streams[s];
        if (!st.strhDataOffset || st.strhDataOffset + kStrhLengthOffset + 4 > d.header.size())
            continue;
        uint8_t* length = d.header.data() + st.strhDataOffset + kStrhLengthOffset;
        if (readLe32(length) == 0)
            writeLe32(length, uint32_t(st.sampleSize ? bytes[s] / st.sampleSize : counts[s]));
    }

    if (d.scrambled)
        d.scrambled->patchHeader(d.header);
    d.repaired = d.header != original || !d.prefixes.empty() || !indexUsable || d.size != layout.fileSize;
    if (!d.repaired) {
        d.header.clear();
        d.segments.push_back({0, d.size, true, 0, nullptr, 0, false});
    } else {
        d.segments.push_back({0, d.header.size(), false, 0, &d.header, 0, false});
        d.segments.push_back(
            {layout.moviDataStart, moviLength, true, layout.moviDataStart, nullptr, 0, cameraForm});
        if (indexUsable)
            d.segments.push_back({layout.moviEnd, tailEnd - tailStart, true, tailStart, nullptr, 0, false});
        else
            d.segments.push_back({layout.moviEnd, d.index.size(), false, 0, &d.index, 0, false});
    }
    d.file = std::move(file);
    return view;
}

uint64_t RepairedView::size() const {
    return m_impl->size;
}

bool RepairedView::isRepaired() const {
    return m_impl->repaired;
}

int64_t RepairedView::read(uint64_t offset, void* buf, size_t len) {
    const Impl& d = *m_impl;
    if (offset >= d.size || len == 0)
        return 0;
    len = size_t(std::min<uint64_t>(len, d.size - offset));
    auto* out = static_cast<uint8_t*>(buf);
    size_t done = 0;
    auto it = std::upper_bound(d.segments.begin(), d.segments.end(), offset,
                               [](uint64_t o, const Segment& s) { return o < s.viewStart; });
    if (it != d.segments.begin())
        --it;
    for (; it != d.segments.end() && done < len; ++it) {
        const Segment& s = *it;
        const uint64_t at = offset + done;
        if (at < s.viewStart || at >= s.viewStart + s.length)
            continue;
        const uint64_t within = at - s.viewStart;
        const size_t n = size_t(std::min<uint64_t>(len - done, s.length - within));
        if (!s.fromFile) {
            std::memcpy(out + done, s.memory->data() + s.memoryOffset + within, n);
        } else {
            const uint64_t fileAt = s.fileOffset + within;
            int64_t got = d.file->readAt(fileAt, out + done, n);
            if (got != int64_t(n))
                return -1; // the file shrank or the card went away
            if (s.patchPrefixes) {
                static const uint8_t kStartCode[4] = {0, 0, 0, 1};
                auto p = std::lower_bound(d.prefixes.begin(), d.prefixes.end(), fileAt >= 3 ? fileAt - 3 : 0);
                for (; p != d.prefixes.end() && *p < fileAt + n; ++p) {
                    for (int k = 0; k < 4; ++k) {
                        uint64_t b = *p + k;
                        if (b >= fileAt && b < fileAt + n)
                            out[done + (b - fileAt)] = kStartCode[k];
                    }
                }
            }
            if (d.scrambled)
                d.scrambled->apply(fileAt, out + done, n);
        }
        done += n;
    }
    return int64_t(done);
}
