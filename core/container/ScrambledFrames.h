// The reading side of a scrambled copy: finds its "qscr" chunk, remembers where the scrambled
// video payloads lie and unscrambles any byte range of the file read through it. The repaired
// view holds one per scrambled file, so the player and the converter see the clear recording.
#pragma once

#include "core/container/AviLayout.h"
#include "core/common/ByteSource.h"
#include "core/container/FrameScrambler.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct ScrambleChunk {
    uint64_t offset = 0; // the chunk header in the file
    ScrambleHeader header;
};

// Looks for the "qscr" chunk among the top-level chunks before the movi list.
std::optional<ScrambleChunk> FindScrambleChunk(const ByteSource& source, const AviLayout& layout);

// What a recording's header says about scrambling. A chunk that looks like the announcement (its id
// or its magic a few bits away from the real ones, or the real id with a header this program does
// not read) but is no valid one marks a copy that was changed: its video cannot be trusted to be
// clear, and nothing may treat it as a clear recording.
enum class ScrambleMark {
    None,    // a clear recording
    Valid,   // a scrambled copy with a readable announcement (its digest is checked separately)
    Changed, // something like an announcement that does not check out
};
struct ScrambleInspection {
    ScrambleMark mark = ScrambleMark::None;
    std::optional<ScrambleChunk> chunk; // Valid only
};
ScrambleInspection InspectScrambleMark(const ByteSource& source, const AviLayout& layout);

// "<name> is a scrambled copy that has been changed; it cannot be used": the one message every
// command gives for ScrambleMark::Changed.
std::string ChangedCopyText(const std::string& name);

class ScrambledFrames {
public:
    // Null when the recording is not a scrambled copy.
    static std::unique_ptr<ScrambledFrames> detect(const ByteSource& source, const AviLayout& layout);

    // A video frame's data [dataOffset, dataOffset + size), in file order.
    void addFrame(uint64_t dataOffset, uint64_t size);
    // Unscrambles the bytes of file offsets [offset, offset + n) that belong to frame payloads.
    void apply(uint64_t offset, uint8_t* data, size_t n) const;
    // The header region as served: the "qscr" chunk becomes "JUNK" (players skip it).
    void patchHeader(std::vector<uint8_t>& header) const;

private:
    ScrambledFrames(const ScrambleChunk& chunk) : m_chunk(chunk), m_scrambler(chunk.header.nonce) {}
    struct Range {
        uint64_t begin, end;
    };
    ScrambleChunk m_chunk;
    FrameScrambler m_scrambler;
    std::vector<Range> m_ranges;
};
