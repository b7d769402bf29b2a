// The walk over the chunks of a "movi" list that survives damaged chunk headers: a header that
// cannot be a movi chunk (an unknown identifier, or a size that overlaps the chunks after it or
// runs past the list) is stepped over by resynchronising on the next valid chunk header, so one
// flipped bit or zeroed size does not lose the rest of a recording. Used by the layout, the
// recording reader, the repaired view and the converter.
#pragma once

#include "core/common/ByteSource.h"
#include "core/container/ChunkWalker.h"

#include <cstdint>
#include <functional>

struct MoviWalkResult {
    bool readError = false;
    uint64_t end = 0;       // end of the last complete chunk visited
    bool truncated = false; // the walk ended at a chunk cut by the end of the range
    bool damaged = false;   // damaged spans were stepped over
    bool stoppedAtIndex = false;
};

// Calls visit(chunk) for every valid chunk of [begin, end) in order (nested lists as one chunk)
// and skipped(from, to) for every damaged span stepped over (at least 8 bytes: room for a header
// that marks it as filler). With stopAtIndex an "idx1" header ends the walk (an unfinished file's
// movi list ends where its index was written). An all-zero header (padding) ends the walk. A visit
// that sets *stop (when given) ends the walk there.
MoviWalkResult WalkMoviRange(const ByteSource& source, uint64_t begin, uint64_t end, bool stopAtIndex,
                             const std::function<void(const RiffChunk&)>& visit,
                             const std::function<void(uint64_t from, uint64_t to)>& skipped = {},
                             const bool* stop = nullptr);
