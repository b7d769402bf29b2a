#include "core/container/ChunkWalker.h"

#include "core/container/Riff.h"

#include <algorithm>

bool RiffChunk::isList() const {
    return id == kFccList || id == kFccRiff;
}

ChunkWalker::ChunkWalker(const ByteSource& source, uint64_t begin, uint64_t end, ZeroSize rule)
    : m_source(source), m_pos(begin), m_end(std::min(end, source.size())), m_rule(rule) {}

bool ChunkWalker::next(RiffChunk& chunk) {
    if (m_done || m_pos >= m_end || m_end - m_pos < 8)
        return false;
    uint8_t head[12];
    size_t want = static_cast<size_t>(std::min<uint64_t>(12, m_end - m_pos));
    int64_t got = m_source.readAt(m_pos, head, want);
    if (got < 8) {
        m_failed = got < 0;
        m_done = true;
        return false;
    }
    // An all-zero header is no chunk: cards hold zeros after the last chunk of an unfinished
    // recording, and walking them 8 bytes at a time would take minutes on a large card.
    if (readLe32(head) == 0 && readLe32(head + 4) == 0) {
        m_padding = true;
        m_done = true;
        return false;
    }
    chunk = RiffChunk{};
    chunk.offset = m_pos;
    chunk.id = readLe32(head);
    chunk.storedSize = readLe32(head + 4);
    chunk.size = chunk.storedSize;
    const uint64_t room = m_end - m_pos - 8;
    if (chunk.storedSize == 0 && m_rule == ZeroSize::RestOfRange) {
        chunk.size = room;
        chunk.zeroSizeFilled = true;
    }
    if (chunk.isList() && got >= 12 && chunk.size >= 4) {
        chunk.listType = readLe32(head + 8);
        chunk.hasListType = true;
    }
    chunk.truncated = chunk.size > room;
    // A missing pad byte after the last chunk's data loses nothing; the walk ends there anyway.
    chunk.next = std::min(m_pos + 8 + paddedSize(chunk.size), m_end);
    if (chunk.truncated) {
        chunk.next = m_end;
        m_done = true;
    }
    m_pos = chunk.next;
    return true;
}
