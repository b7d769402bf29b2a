// Steps over the chunks of a RIFF byte range one header at a time. The one set of walking rules
// shared by the converter, the recording reader and the repaired view:
//  - a chunk is a 4-byte identifier, a 4-byte little-endian size and the data padded to even;
//  - "LIST" (and "RIFF") chunks carry a 4-byte list type at the start of their data;
//  - optionally, a chunk of size 0 stands for "the rest of the range" (an unfinished recording);
//  - a chunk whose data runs past the end of the range is reported as truncated and ends the walk;
//  - fewer than 8 bytes left, or an all-zero header (padding after the last chunk), end the walk.
#pragma once

#include "core/container/ByteSource.h"

#include <cstdint>

struct RiffChunk {
    uint64_t offset = 0;     // position of the 8-byte header
    uint32_t id = 0;         // identifier as stored
    uint32_t storedSize = 0; // size field as stored
    uint64_t size = 0;       // data size in force (a zero size may stand for the rest of the range)
    uint64_t next = 0;       // where the following chunk starts (never past the range's end)
    uint32_t listType = 0;   // "LIST"/"RIFF": the first four data bytes; 0 when absent
    bool hasListType = false;
    bool zeroSizeFilled = false; // size was 0 and now runs to the end of the range
    bool truncated = false;      // the data runs past the end of the range

    uint64_t dataOffset() const { return offset + 8; }
    bool isList() const;
};

class ChunkWalker {
public:
    enum class ZeroSize {
        Empty,      // a size of 0 is an empty chunk
        RestOfRange // a size of 0 is an unfinished chunk that runs to the end of the range
    };

    ChunkWalker(const ByteSource& source, uint64_t begin, uint64_t end, ZeroSize rule = ZeroSize::Empty);

    // Reads the header at the current position. False at the end of the range, after a truncated
    // chunk, or on a read error (failed() tells which).
    bool next(RiffChunk& chunk);
    // Continues at an absolute position inside the range (to step into a list or over a chunk).
    void seek(uint64_t position) { m_pos = position; }
    uint64_t position() const { return m_pos; }
    uint64_t end() const { return m_end; }
    bool failed() const { return m_failed; }
    bool reachedPadding() const { return m_padding; } // the walk ended at an all-zero header

private:
    const ByteSource& m_source;
    uint64_t m_pos;
    uint64_t m_end;
    ZeroSize m_rule;
    bool m_failed = false;
    bool m_done = false;
    bool m_padding = false;
};
