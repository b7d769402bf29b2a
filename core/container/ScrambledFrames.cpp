#include "core/container/ScrambledFrames.h"

#include "core/container/Riff.h"

#include <algorithm>

std::optional<ScrambleChunk> FindScrambleChunk(const ByteSource& source, const AviLayout& layout) {
    if (!layout.hasMovi)
        return std::nullopt;
    ChunkWalker top(source, 12, layout.moviOffset);
    RiffChunk c;
    while (top.next(c)) {
        if (c.id != ScrambleHeader::kChunkId || c.truncated || c.size < ScrambleHeader::kDataSize)
            continue;
        uint8_t data[ScrambleHeader::kDataSize];
        if (!source.readExact(c.dataOffset(), data, sizeof data))
            return std::nullopt;
        if (auto header = ScrambleHeader::decode(data, sizeof data))
            return ScrambleChunk{c.offset, *header};
    }
    return std::nullopt;
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
