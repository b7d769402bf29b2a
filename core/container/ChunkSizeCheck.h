// Checks one chunk of a movi list for a damaged size that the walk cannot see because the chunks
// still line up: a size one byte short (the byte after it, taken for padding, is data) and a size
// grown over the chunks after it, ending exactly where they end. Used by the converter.
#pragma once

#include "core/common/ByteSource.h"
#include "core/container/AviLayout.h"
#include "core/container/ChunkWalker.h"
#include "core/container/Riff.h"

#include <cstdint>
#include <optional>
#include <vector>

class ChunkSizeCheck {
public:
    ChunkSizeCheck(const ByteSource& source, const AviLayout& layout) : m_source(source), m_layout(layout) {}

    // False when `id` names a stream chunk ("NNxx") whose kind does not match its stream header
    // (video "dc", or "db" in a stream of uncompressed pictures; sound "wb"; records "tx") or a
    // stream that does not exist. Lists, filler and stream indexes fit.
    bool fitsItsStream(uint32_t id) const;

    // A stream chunk of odd size is followed by a zero pad byte. A non-zero byte there is the
    // chunk's last data byte: its size was made one smaller. So is an odd size of PCM sound
    // whose blocks have an even length. True when that is so (the chunk must end before listEnd,
    // so that the byte after it is there).
    bool sizeOneShort(const RiffChunk& chunk, uint64_t listEnd) const;

    // Where a stream chunk's data holds, up to its padded end, a run of one or more chunks of the
    // file's streams that ends exactly there: its size grew over the chunks that followed it. The
    // file offset of the first chunk of that run (the earliest such run), or nothing.
    std::optional<uint64_t> swallowedChunksAt(const RiffChunk& chunk, uint64_t listEnd) const;

private:
    bool streamChunkId(uint32_t id) const { return chunkStreamNumber(id) >= 0 && fitsItsStream(id); }
    bool runEndsAt(const uint8_t* data, uint64_t from, uint64_t end) const;

    const ByteSource& m_source;
    const AviLayout& m_layout;
    mutable std::vector<uint8_t> m_buffer;
    mutable std::vector<bool> m_dead; // chunk positions from which no run reaches the end
};
