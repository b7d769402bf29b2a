#include "core/container/ChunkSizeCheck.h"

#include <algorithm>
#include <cstring>

namespace {

// No frame of a camera recording comes near this: a larger chunk is looked at over its last part.
constexpr uint64_t kMaxScan = 16u << 20;

// True when one of the four byte pairs at even places of the little-endian word `w` may be two
// ASCII digits: every byte of a pair has its high nibble 3 (a superset of '0'..'9').
inline bool hasDigitPair(uint64_t w) {
    // Bytes equal to 0x3? become zero nibbles: x has a zero high nibble where the byte is 0x3?.
    const uint64_t x = (w & 0xF0F0F0F0F0F0F0F0ull) ^ 0x3030303030303030ull;
    // A pair at bytes 2k, 2k+1 qualifies when both high nibbles match: the 16-bit lane is zero
    // once the low nibbles are masked away.
    const uint64_t lanes = x; // low nibbles are already zero
    const uint64_t zeroLane = ~(((lanes & 0x7FFF7FFF7FFF7FFFull) + 0x7FFF7FFF7FFF7FFFull) | lanes) &
                              0x8000800080008000ull;
    return zeroLane != 0;
}

} // namespace

bool ChunkSizeCheck::fitsItsStream(uint32_t id) const {
    const int n = chunkStreamNumber(id);
    if (n < 0)
        return true;
    if (size_t(n) >= m_layout.streams.size())
        return false;
    const char a = asciiLower(uint8_t(id >> 16)), b = asciiLower(uint8_t(id >> 24));
    const AviStreamHeader& stream = m_layout.streams[size_t(n)];
    switch (stream.type) {
    case kFccVids:
        // "db" holds uncompressed pictures: in a stream of compressed ones (H.264) it is a
        // flipped bit of "dc", and that frame would reach the decoder without its start code.
        return a == 'd' && (b == 'c' || (b == 'b' && stream.format.size() >= 20 &&
                                         readLe32(stream.format.data() + 16) == 0));
    case kFccAuds:
        return a == 'w' && b == 'b';
    case kFccTxts:
        return a == 't' && b == 'x';
    }
    return true;
}

bool ChunkSizeCheck::sizeOneShort(const RiffChunk& c, uint64_t listEnd) const {
    const int stream = chunkStreamNumber(c.id);
    if (stream < 0 || size_t(stream) >= m_layout.streams.size() || !(c.size & 1) ||
        c.dataOffset() + c.size >= listEnd)
        return false;
    // PCM sound comes in whole blocks: an odd size cannot hold whole blocks of an even length.
    const std::vector<uint8_t>& format = m_layout.streams[size_t(stream)].format;
    if (m_layout.streams[size_t(stream)].type == kFccAuds && format.size() >= 14 &&
        readLe16(format.data()) == 1 && readLe16(format.data() + 12) % 2 == 0)
        return true;
    uint8_t pad = 0;
    return m_source.readExact(c.dataOffset() + c.size, &pad, 1) && pad != 0;
}

// True when the chunks from `from` follow each other to exactly `end` (even offsets into `data`).
// A run that fails fails from every chunk it passed too: those are marked in m_dead, so a search
// over all starting points stays linear even in bytes made to hold chunk headers everywhere.
bool ChunkSizeCheck::runEndsAt(const uint8_t* data, uint64_t from, uint64_t end) const {
    uint64_t at = from;
    bool found = false;
    while (at + 8 <= end && !m_dead[size_t(at / 2)] && streamChunkId(readLe32(data + at))) {
        at += 8 + paddedSize(readLe32(data + at + 4));
        if (at == end) {
            found = true;
            break;
        }
    }
    if (!found)
        for (uint64_t k = from; k + 8 <= end && k < at && !m_dead[size_t(k / 2)];
             k += 8 + paddedSize(readLe32(data + k + 4)))
            m_dead[size_t(k / 2)] = true;
    return found;
}

std::optional<uint64_t> ChunkSizeCheck::swallowedChunksAt(const RiffChunk& c, uint64_t listEnd) const {
    if (chunkStreamNumber(c.id) < 0 || c.size < 8)
        return std::nullopt;
    const uint64_t end = std::min(c.dataOffset() + paddedSize(c.size), listEnd);
    uint64_t begin = c.dataOffset();
    if (end - begin > kMaxScan)
        begin = end - kMaxScan + ((end - kMaxScan - begin) & 1); // chunks lie at even distances
    const uint64_t length = end - begin;
    const uint8_t* d = m_source.peek(begin, size_t(length));
    if (!d) {
        m_buffer.resize(size_t(length));
        if (!m_source.readExact(begin, m_buffer.data(), m_buffer.size()))
            return std::nullopt;
        d = m_buffer.data();
    }
    bool deadCleared = false;
    // A cheap test first: a stream number (two digits at an even distance), looked for in words.
    for (uint64_t at = 0; at + 8 <= length; at += 2) {
        if ((at & 7) == 0 && at + 16 <= length) {
            uint64_t w;
            std::memcpy(&w, d + at, 8);
            if (!hasDigitPair(w)) {
                at += 6; // the loop adds 2: the next word
                continue;
            }
        }
        if (d[at] < '0' || d[at] > '9' || d[at + 1] < '0' || d[at + 1] > '9')
            continue;
        if (!deadCleared) {
            m_dead.assign(size_t(length / 2 + 1), false);
            deadCleared = true;
        }
        if (runEndsAt(d, at, length))
            return begin + at;
    }
    return std::nullopt;
}
