#include "core/container/ScrambledFrames.h"

#include "core/container/Riff.h"

#include <algorithm>
#include <bit>

namespace {

// Bits a copied or damaged announcement may differ from the real one and still be recognised.
constexpr int kNearBits = 3;

bool near(uint32_t a, uint32_t b) {
    return std::popcount(a ^ b) <= kNearBits;
}

} // namespace

ScrambleInspection InspectScrambleMark(const ByteSource& source, const AviLayout& layout) {
    ScrambleInspection result;
    if (!layout.hasMovi)
        return result;
    ChunkWalker top(source, 12, layout.moviOffset);
    RiffChunk c;
    while (top.next(c)) {
        if (c.id == kFccList || c.id == kFccIdx1)
            continue;
        uint8_t data[ScrambleHeader::kDataSize] = {};
        const size_t have = size_t(std::min<uint64_t>(c.truncated ? 0 : c.size, sizeof data));
        const bool read = have >= 4 && source.readExact(c.dataOffset(), data, have);
        const bool exactId = c.id == ScrambleHeader::kChunkId;
        const bool nearId = near(c.id, ScrambleHeader::kChunkId);
        // A renamed chunk keeps the announcement's data; the repaired view serves it as JUNK,
        // so a JUNK chunk counts only when its magic itself was changed.
        const bool nearMagic = read && near(readLe32(data), ScrambleHeader::kMagic) &&
                               !(c.id == fourcc("JUNK") && readLe32(data) == ScrambleHeader::kMagic);
        if (!nearId && !nearMagic)
            continue;
        if (exactId && have == sizeof data) {
            if (auto header = ScrambleHeader::decode(data, sizeof data)) {
                if (result.mark == ScrambleMark::None) {
                    result.mark = ScrambleMark::Valid;
                    result.chunk = ScrambleChunk{c.offset, *header};
                }
                continue;
            }
        }
        result.mark = ScrambleMark::Changed;
        result.chunk.reset();
        return result;
    }
    return result;
}

std::optional<ScrambleChunk> FindScrambleChunk(const ByteSource& source, const AviLayout& layout) {
    return InspectScrambleMark(source, layout).chunk;
}

std::string ChangedCopyText(const std::string& name) {
    return name + " is a scrambled copy that has been changed; it cannot be used";
}

std::unique_ptr<ScrambledFrames> ScrambledFrames::detect(const ByteSource& source, const AviLayout& layout) {
    auto chunk = FindScrambleChunk(source, layout);
    if (!chunk)
        return nullptr;
    return std::unique_ptr<ScrambledFrames>(new ScrambledFrames(*chunk));
}

void ScrambledFrames::addFrame(uint64_t dataOffset, uint64_t size) {
    if (size > FrameScrambler::kClearPrefix)
        m_ranges.push_back({dataOffset + FrameScrambler::kClearPrefix, dataOffset + size});
}

void ScrambledFrames::apply(uint64_t offset, uint8_t* data, size_t n) const {
    const uint64_t end = offset + n;
    auto r = std::upper_bound(m_ranges.begin(), m_ranges.end(), offset,
                              [](uint64_t o, const Range& range) { return o < range.end; });
    for (; r != m_ranges.end() && r->begin < end; ++r) {
        const uint64_t from = std::max(r->begin, offset), to = std::min(r->end, end);
        if (from < to)
            m_scrambler.apply(from, data + (from - offset), size_t(to - from));
    }
}

void ScrambledFrames::patchHeader(std::vector<uint8_t>& header) const {
    if (m_chunk.offset + 4 <= header.size())
        writeLe32(header.data() + m_chunk.offset, fourcc("JUNK"));
}
