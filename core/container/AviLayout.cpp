#include "core/container/AviLayout.h"

#include "core/container/MoviWalk.h"
#include "core/container/Riff.h"

#include <algorithm>

namespace {

constexpr uint64_t kMaxStrfBytes = 4096;

void parseStrl(const ByteSource& src, uint64_t begin, uint64_t end, AviStreamHeader& stream) {
    ChunkWalker w(src, begin, end);
    RiffChunk c;
    while (w.next(c)) {
        if (c.truncated)
            break;
        if (c.id == kFccStrh && c.size >= 48) {
            uint8_t d[kStrhSize] = {};
            size_t n = size_t(std::min<uint64_t>(c.size, kStrhSize));
            if (!src.readExact(c.dataOffset(), d, n))
                break;
            stream.type = readLe32(d);
            stream.handler = readLe32(d + 4);
            stream.scale = readLe32(d + 20);
            stream.rate = readLe32(d + 24);
            stream.length = readLe32(d + kStrhLengthOffset);
            stream.sampleSize = readLe32(d + 44);
            if (n >= 56) {
                stream.frameWidth = uint16_t(readLe16(d + 52) - readLe16(d + 48));
                stream.frameHeight = uint16_t(readLe16(d + 54) - readLe16(d + 50));
            }
            stream.strhDataOffset = c.dataOffset();
            stream.strhSize = c.size;
        } else if (c.id == kFccStrh) {
            stream.strhSize = c.size; // too short to read: the stream has no usable header
        } else if (c.id == kFccStrf) {
            stream.strfSize = c.size;
            stream.format.resize(size_t(std::min<uint64_t>(c.size, kMaxStrfBytes)));
            if (!src.readExact(c.dataOffset(), stream.format.data(), stream.format.size()))
                stream.format.clear();
        } else if (c.id == kFccStrn && c.size > 0) {
            std::string name(size_t(std::min<uint64_t>(c.size, 256)), '\0');
            if (src.readExact(c.dataOffset(), name.data(), name.size()))
                stream.name = name.substr(0, name.find('\0'));
        }
    }
}

void parseHdrl(const ByteSource& src, uint64_t begin, uint64_t end, AviLayout& layout) {
    ChunkWalker w(src, begin, end);
    RiffChunk c;
    while (w.next(c)) {
        if (c.truncated)
            break;
        if (c.id == kFccAvih && c.size >= 40) {
            uint8_t d[40];
            if (!src.readExact(c.dataOffset(), d, sizeof d))
                break;
            layout.hasAvih = true;
            layout.avihDataOffset = c.dataOffset();
            layout.avihMicroSecPerFrame = readLe32(d);
            layout.avihFlags = readLe32(d + kAvihFlagsOffset);
            layout.avihTotalFrames = readLe32(d + kAvihTotalFramesOffset);
            layout.avihWidth = readLe32(d + 32);
            layout.avihHeight = readLe32(d + 36);
        } else if (c.id == kFccList && c.hasListType && c.listType == kFccStrl) {
            // A stream count far beyond the four channels of a camera is a damaged header.
            if (layout.streams.size() >= 64)
                break;
            AviStreamHeader stream;
            stream.listOffset = c.offset;
            parseStrl(src, c.dataOffset() + 4, c.dataOffset() + c.size, stream);
            layout.streams.push_back(std::move(stream));
        }
    }
}

} // namespace

bool IsMoviList(const RiffChunk& c) {
    return c.id == kFccList && c.hasListType && c.listType == kFccMovi;
}

bool ParseAviLayout(const ByteSource& src, AviLayout& layout, std::string* error) {
    auto fail = [&](const char* text) {
        if (error)
            *error = text;
        return false;
    };
    layout = AviLayout{};
    layout.fileSize = src.size();
    uint8_t head[24];
    if (!src.readExact(0, head, sizeof head))
        return fail("file too short for a recording");
    if (readLe32(head + 12) != kFccList || readLe32(head + 20) != kFccHdrl)
        return fail("not a camera recording (no header list)");
    layout.standardSignatures = readLe32(head) == kFccRiff && readLe32(head + 8) == kFccAvi;
    layout.riffSize = readLe32(head + 4);

    ChunkWalker top(src, 12, layout.fileSize, ChunkWalker::ZeroSize::RestOfRange);
    RiffChunk c;
    bool hdrlSeen = false;
    while (top.next(c)) {
        // "Size 0 runs to the end" repairs an unfinished recording (RIFF size 0) and its movi list;
        // elsewhere in a finished file an empty chunk is just empty.
        if (c.zeroSizeFilled && layout.riffSize != 0 && !IsMoviList(c)) {
            top.seek(c.offset + 8);
            layout.contentEnd = c.offset + 8;
            continue;
        }
        if (c.id == kFccList && c.hasListType && c.listType == kFccHdrl && !hdrlSeen) {
            hdrlSeen = true;
            uint64_t end = std::min(c.dataOffset() + c.size, layout.fileSize);
            parseHdrl(src, c.dataOffset() + 4, end, layout);
        } else if (c.id == kFccList && c.hasListType && c.listType == kFccMovi && !layout.hasMovi) {
            layout.hasMovi = true;
            layout.moviOffset = c.offset;
            layout.moviDataStart = c.offset + 12;
            layout.moviStoredSize = c.storedSize;
            layout.moviUnfinished = c.zeroSizeFilled;
            const uint64_t declaredEnd = std::min(c.dataOffset() + c.size, layout.fileSize);
            if (!c.zeroSizeFilled && !c.truncated) {
                layout.moviEnd = declaredEnd;
            } else {
                // Find where the written chunks end: at a following index (unfinished file) or at
                // the last complete chunk (file cut short).
                const MoviWalkResult walked = WalkMoviRange(src, layout.moviDataStart, declaredEnd,
                                                            c.zeroSizeFilled, [](const RiffChunk&) {});
                if (walked.readError)
                    return fail("read error in the movie data");
                const uint64_t end = walked.end;
                layout.moviTruncated = walked.truncated;
                if (!c.zeroSizeFilled)
                    layout.moviTruncated = true;
                else if (end + 8 > declaredEnd && end < declaredEnd)
                    layout.moviTruncated = true; // a few stray bytes after the last chunk
                layout.moviEnd = end;
                top.seek(end);
                layout.contentEnd = end;
                continue;
            }
        } else if (c.id == kFccIdx1 && layout.hasMovi && !layout.hasIdx1 && !c.truncated) {
            // A zero size (unfinished file) runs to the end of the file.
            layout.hasIdx1 = true;
            layout.idx1Offset = c.offset;
            layout.idx1Size = uint32_t(c.size);
        }
        if (!c.truncated)
            layout.contentEnd = c.next;
    }
    if (top.failed())
        return fail("read error");
    if (!hdrlSeen)
        return fail("not a camera recording (no header list)");
    if (!layout.hasMovi)
        return fail("recording has no movie data");
    return true;
}

bool WalkMovi(const ByteSource& src, const AviLayout& layout,
              const std::function<void(const RiffChunk&)>& visit) {
    return !WalkMoviRange(src, layout.moviDataStart, layout.moviEnd, false, visit).readError;
}

bool ReadAviIndex(const ByteSource& src, const AviLayout& layout, std::vector<IndexEntry>& entries,
                  bool (*keep)(uint32_t id)) {
    entries.clear();
    if (!layout.hasIdx1 || layout.idx1Size < 16)
        return false;
    const size_t count = layout.idx1Size / 16;
    std::vector<uint8_t> raw(count * 16);
    if (!src.readExact(layout.idx1Offset + 8, raw.data(), raw.size()))
        return false;
    // Offsets count from the "movi" identifier in most files, from the file start in a few.
    uint64_t base = layout.moviOffset + 8;
    {
        const uint32_t firstId = readLe32(raw.data());
        const uint64_t firstOffset = readLe32(raw.data() + 8);
        uint8_t probe[4];
        bool relative = src.readExact(base + firstOffset, probe, 4) && readLe32(probe) == firstId;
        if (!relative) {
            bool absolute = src.readExact(firstOffset, probe, 4) && readLe32(probe) == firstId;
            if (!absolute)
                return false;
            base = 0;
        }
    }
    if (!keep)
        entries.reserve(count);
    uint64_t previous = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = raw.data() + i * 16;
        IndexEntry entry{readLe32(e), readLe32(e + 4), base + readLe32(e + 8), readLe32(e + 12)};
        if (entry.offset < layout.moviDataStart || entry.offset + 8 + entry.size > layout.moviEnd ||
            (i > 0 && entry.offset <= previous)) {
            entries.clear();
            return false;
        }
        previous = entry.offset;
        if (!keep || keep(entry.id))
            entries.push_back(entry);
    }
    return true;
}
