// Where the parts of a recording lie: signatures, the header list with its main and stream
// headers, the "movi" list and the index, with the walking rules of the chunk walker (a zero size
// runs to the end, a truncated chunk ends the walk). Shared by the reader and the repaired view.
#pragma once

#include "core/common/ByteSource.h"
#include "core/container/ChunkWalker.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct AviStreamHeader {
    uint32_t type = 0; // "vids", "auds", "txts"
    uint32_t handler = 0;
    uint32_t scale = 0;
    uint32_t rate = 0;
    uint32_t length = 0; // frames (or samples when sampleSize > 0); 0 in unfinished files
    uint32_t sampleSize = 0;
    uint16_t frameWidth = 0; // from the rcFrame rectangle
    uint16_t frameHeight = 0;
    uint64_t strhDataOffset = 0; // file offset of the strh data; 0 when the stream had none
    uint64_t strhSize = 0;       // the strh chunk's stored size
    uint64_t strfSize = 0;       // the strf chunk's stored size (format holds at most 4 KiB of it)
    uint64_t listOffset = 0;     // the stream's "strl" list header in the file
    std::vector<uint8_t> format; // strf data (cut to 4 KiB)
    std::string name;            // strn text
};

struct AviLayout {
    uint64_t fileSize = 0;
    bool standardSignatures = false; // "RIFF" at 0 and "AVI " at 8
    uint32_t riffSize = 0;

    bool hasAvih = false;
    uint64_t avihDataOffset = 0;
    uint32_t avihMicroSecPerFrame = 0;
    uint32_t avihFlags = 0;
    uint32_t avihTotalFrames = 0;
    uint32_t avihWidth = 0, avihHeight = 0;
    std::vector<AviStreamHeader> streams;

    bool hasMovi = false;
    uint64_t moviOffset = 0;    // the movi LIST header
    uint64_t moviDataStart = 0; // first chunk inside movi
    uint64_t moviEnd = 0;       // end of the last complete chunk of movi
    uint32_t moviStoredSize = 0;
    bool moviUnfinished = false; // size 0: the camera never closed the file
    bool moviTruncated = false;  // the file ends inside movi

    bool hasIdx1 = false; // a complete idx1 chunk after movi
    uint64_t idx1Offset = 0;
    uint32_t idx1Size = 0;
    uint64_t contentEnd = 0; // end of the last complete top-level chunk
};

// Parses the top level and the header list. False with a reason when the bytes are no AVI-like
// recording (no header list at offset 12, or no movi list).
bool ParseAviLayout(const ByteSource& source, AviLayout& layout, std::string* error);

// A "LIST" chunk of type "movi".
bool IsMoviList(const RiffChunk& chunk);

// Visits every chunk of the movi list in file order (nested lists as one chunk) up to moviEnd,
// stepping over damaged chunk headers (WalkMoviRange). Returns false on a read error.
bool WalkMovi(const ByteSource& source, const AviLayout& layout,
              const std::function<void(const RiffChunk&)>& visit);

// One entry of an idx1 chunk with its offset made absolute (the header position in the file).
struct IndexEntry {
    uint32_t id = 0;
    uint32_t flags = 0;
    uint64_t offset = 0;
    uint32_t size = 0;
};
// Reads the idx1 chunk and resolves its offsets (relative to the movi list or absolute, tested on
// the first entry). False when the index is missing, unreadable or points outside the movi list.
// Every entry is checked; only those whose identifier passes `keep` (all when null) are returned.
bool ReadAviIndex(const ByteSource& source, const AviLayout& layout, std::vector<IndexEntry>& entries,
                  bool (*keep)(uint32_t id) = nullptr);
