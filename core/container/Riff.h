// Little-endian fields and four-character codes of RIFF/AVI files; used by every container class.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint32_t fourcc(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

constexpr uint32_t kFccRiff = fourcc("RIFF");
constexpr uint32_t kFccAvi = fourcc("AVI ");
constexpr uint32_t kFccList = fourcc("LIST");
constexpr uint32_t kFccHdrl = fourcc("hdrl");
constexpr uint32_t kFccMovi = fourcc("movi");
constexpr uint32_t kFccIdx1 = fourcc("idx1");
constexpr uint32_t kFccAvih = fourcc("avih");
constexpr uint32_t kFccStrl = fourcc("strl");
constexpr uint32_t kFccStrh = fourcc("strh");
constexpr uint32_t kFccStrf = fourcc("strf");
constexpr uint32_t kFccStrn = fourcc("strn");
constexpr uint32_t kFccVids = fourcc("vids");
constexpr uint32_t kFccAuds = fourcc("auds");
constexpr uint32_t kFccTxts = fourcc("txts");

constexpr uint32_t kAviHasIndex = 0x10;       // avih flag: an idx1 chunk follows the movi list
constexpr uint32_t kAviIsInterleaved = 0x100; // avih flag
constexpr uint32_t kAviIndexKeyFrame = 0x10;  // idx1 entry flag

// Sound format tags of a strf chunk: PCM, and the tags cameras and muxers give AAC.
constexpr uint16_t kWavePcm = 0x0001;
inline bool isAacWaveTag(uint16_t tag) {
    return tag == 0x00FF || tag == 0x1600 || tag == 0x1610 || tag == 0x706D;
}

// Offsets of fields patched or read inside the avih and strh chunk data.
constexpr uint32_t kAvihFlagsOffset = 12;
constexpr uint32_t kAvihTotalFramesOffset = 16;
constexpr uint32_t kAvihStreamsOffset = 24;
constexpr uint32_t kAvihSize = 56;
constexpr uint32_t kStrhLengthOffset = 32;
constexpr uint32_t kStrhSize = 56;

// The largest recording the 32-bit RIFF, list and index fields describe (with room for a last
// header): the writer stops before it and the readers refuse a file beyond it.
constexpr uint64_t kMaxRecordingSize = 0xFFFFFFF0ull;
constexpr const char* kBeyondRiffLimit =
    "larger than 4 GiB, beyond what the 32-bit sizes of a recording describe; it cannot be played";

inline uint32_t readLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t readLe16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
inline void writeLe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline void writeLe16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

inline char asciiLower(uint8_t c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : char(c);
}

// A movi chunk is a video frame when characters 3-4 of its identifier are "dc", in any case.
inline bool isVideoChunkId(uint32_t id) {
    return asciiLower(uint8_t(id >> 16)) == 'd' && asciiLower(uint8_t(id >> 24)) == 'c';
}
// Chunks of the data-record stream end in "tx".
inline bool isRecordChunkId(uint32_t id) {
    return asciiLower(uint8_t(id >> 16)) == 't' && asciiLower(uint8_t(id >> 24)) == 'x';
}
// Stream number of a movi chunk ("01dc" is 1); -1 when the first two characters are not digits.
inline int chunkStreamNumber(uint32_t id) {
    uint8_t a = uint8_t(id), b = uint8_t(id >> 8);
    if (a < '0' || a > '9' || b < '0' || b > '9')
        return -1;
    return (a - '0') * 10 + (b - '0');
}

// True when an H.264 frame starts a key frame: after its four prefix bytes (or a three-byte start
// code) the first NAL unit is an SPS or an IDR slice.
inline bool startsKeyFrame(const uint8_t* d, size_t n) {
    const size_t at = (n >= 3 && d[0] == 0 && d[1] == 0 && d[2] == 1) ? 3 : 4;
    if (n <= at)
        return false;
    const int type = d[at] & 0x1F;
    return type == 5 || type == 7;
}

inline std::string fourccText(uint32_t id) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) {
        auto c = uint8_t(id >> (8 * i));
        s[i] = (c >= 0x20 && c < 0x7f) ? char(c) : '?';
    }
    return s;
}

inline uint64_t paddedSize(uint64_t size) {
    return (size + 1) & ~uint64_t(1);
}
