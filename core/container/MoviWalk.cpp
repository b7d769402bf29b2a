#include "core/container/MoviWalk.h"

#include "core/container/Riff.h"

#include <optional>

namespace {

// No frame of a camera recording comes near this; a resynchronisation searches no further.
constexpr uint64_t kMaxResyncDistance = 16u << 20;

bool isDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}
bool isLetter(uint8_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Identifiers a movi list holds: "NNxx" stream chunks, "ixNN" stream indexes, lists and filler.
bool isMoviChunkId(uint32_t id) {
    if (id == kFccList || id == fourcc("JUNK"))
        return true;
    const uint8_t a = uint8_t(id), b = uint8_t(id >> 8), c = uint8_t(id >> 16), d = uint8_t(id >> 24);
    if (a == 'i' && b == 'x')
        return isDigit(c) && isDigit(d);
    return isDigit(a) && isDigit(b) && isLetter(c) && isLetter(d);
}

class Walk {
public:
    Walk(const ByteSource& src, uint64_t begin, uint64_t end, bool stopAtIndex)
        : m_src(src), m_begin(begin), m_end(end), m_stopAtIndex(stopAtIndex) {}

    // What lies at `at`: a chunk that fits, the end of the walk, or nothing valid.
    enum class Kind { Chunk, End, Invalid, Cut };
    Kind look(uint64_t at, RiffChunk* chunk) const {
        if (at + 8 > m_end)
            return Kind::End;
        uint8_t h[12];
        const size_t want = size_t(std::min<uint64_t>(12, m_end - at));
        const int64_t got = m_src.readAt(at, h, want);
        if (got < 0)
            m_error = true;
        if (got < 8)
            return Kind::End;
        const uint32_t id = readLe32(h), size = readLe32(h + 4);
        if (id == 0 && size == 0)
            return Kind::End; // padding after the last chunk
        if (m_stopAtIndex && id == kFccIdx1)
            return Kind::End;
        if (!isMoviChunkId(id))
            return Kind::Invalid;
        if (size > m_end - at - 8)
            return Kind::Cut;
        if (chunk) {
            *chunk = RiffChunk{};
            chunk->offset = at;
            chunk->id = id;
            chunk->storedSize = size;
            chunk->size = size;
            chunk->next = std::min(at + 8 + paddedSize(size), m_end);
            if (id == kFccList && got >= 12 && size >= 4) {
                chunk->listType = readLe32(h + 8);
                chunk->hasListType = true;
            }
        }
        return Kind::Chunk;
    }

    // A valid header at `at` whose successor is valid too (or the end): a place to resume.
    bool confirmed(uint64_t at) const {
        RiffChunk c;
        if (look(at, &c) != Kind::Chunk)
            return false;
        const Kind after = look(c.next, nullptr);
        return after == Kind::Chunk || after == Kind::End || after == Kind::Cut;
    }

    // The first confirmed header in [from, limit), at even distances from the range's start.
    std::optional<uint64_t> resync(uint64_t from) const {
        if ((from - m_begin) & 1)
            ++from;
        const uint64_t limit = std::min(m_end, from + kMaxResyncDistance);
        for (uint64_t at = from; at + 8 <= limit; at += 2)
            if (confirmed(at))
                return at;
        return std::nullopt;
    }

    const ByteSource& m_src;
    uint64_t m_begin, m_end;
    bool m_stopAtIndex;
    mutable bool m_error = false;
};

} // namespace

MoviWalkResult WalkMoviRange(const ByteSource& source, uint64_t begin, uint64_t end, bool stopAtIndex,
                             const std::function<void(const RiffChunk&)>& visit,
                             const std::function<void(uint64_t, uint64_t)>& skipped, const bool* stop) {
    ReadAheadSource ahead(source);
    Walk walk(ahead, begin, std::min(end, source.size()), stopAtIndex);
    MoviWalkResult result;
    result.end = begin;
    // The chunk before a bad header is held back: its own size may be the damaged field.
    std::optional<RiffChunk> pending;
    uint64_t at = begin;
    for (;;) {
        if (stop && *stop)
            return result;
        RiffChunk c;
        const Walk::Kind kind = walk.look(at, &c);
        if (kind == Walk::Kind::Chunk) {
            if (pending) {
                visit(*pending);
                result.end = pending->next;
            }
            pending = c;
            at = c.next;
            continue;
        }
        if (kind == Walk::Kind::End) {
            uint8_t id[4];
            result.stoppedAtIndex =
                stopAtIndex && ahead.readExact(at, id, 4) && readLe32(id) == kFccIdx1 && at + 8 <= walk.m_end;
            break;
        }
        // A damaged header at `at`, or the chunk before it had a wrong size.
        const uint64_t searchFrom = pending ? pending->offset + 8 : at + 8;
        std::optional<uint64_t> resume = walk.resync(searchFrom);
        if (resume && !pending && *resume < at + 8)
            resume = walk.resync(at + 8);
        if (!resume) {
            // Nothing valid follows: the file was cut inside this chunk (or ends in garbage).
            result.truncated = kind == Walk::Kind::Cut;
            break;
        }
        uint64_t from = at;
        if (pending && *resume < at + 8) {
            // The held-back chunk's size ran over a valid chunk (or too close to one to mark the
            // span as filler): that size is the damage.
            from = pending->offset;
            pending.reset();
        }
        result.damaged = true;
        if (skipped)
            skipped(from, *resume);
        at = *resume;
    }
    if (pending) {
        visit(*pending);
        result.end = pending->next;
    }
    result.readError = walk.m_error;
    return result;
}
