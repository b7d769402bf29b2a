// The keyed, reversible transform of a scrambled copy's video payloads and the "qscr" chunk that
// announces it. Used by the scrambled copy (which writes it) and by the reading side (ScrambledFrames).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

// The "qscr" chunk sits at the top level between the header list and the movi list:
//   0  "QSCR"   magic (the repaired view renames the chunk to JUNK and keeps the data)
//   4  uint32   version, 1
//   8  uint32   key id, 1 (the program's built-in key)
//   12 12 bytes nonce, random per copy
//   24 32 bytes BLAKE2b-256 of the whole file with these 32 bytes read as zero
struct ScrambleHeader {
    static constexpr uint32_t kChunkId = 0x72637371; // "qscr"
    static constexpr uint32_t kMagic = 0x52435351;   // "QSCR"
    static constexpr uint32_t kVersion = 1;
    static constexpr uint32_t kKeyId = 1;
    static constexpr size_t kDataSize = 56;
    static constexpr size_t kDigestOffset = 24; // inside the chunk data

    uint32_t version = kVersion;
    uint32_t keyId = kKeyId;
    std::array<uint8_t, 12> nonce{};
    std::array<uint8_t, 32> digest{};

    std::array<uint8_t, kDataSize> encode() const;
    // Empty when the bytes are not a header this program can read (magic, version or key id).
    static std::optional<ScrambleHeader> decode(const uint8_t* data, size_t size);
};

// ChaCha20 key stream addressed by file offset: the byte at offset o is XORed with byte o % 64 of
// block o / 64, so any range of the file can be (un)scrambled on its own. XOR is its own inverse.
// The layout is RFC 8439 ChaCha20 (96-bit nonce, 32-bit block counter = offset / 64, wrapping),
// computed by libsodium's vectorised implementation.
class FrameScrambler {
public:
    explicit FrameScrambler(const std::array<uint8_t, 12>& nonce, uint32_t keyId = ScrambleHeader::kKeyId);

    // XORs the key stream of file offsets [offset, offset + n) into data.
    void apply(uint64_t offset, uint8_t* data, size_t n) const;
    // The same from `in` into `out` (n bytes each; they may be the same buffer).
    void apply(uint64_t offset, const uint8_t* in, uint8_t* out, size_t n) const;

    // Video frames keep their 4-byte prefix in clear; the rest of the payload is scrambled.
    static constexpr uint32_t kClearPrefix = 4;

private:
    std::array<uint8_t, 12> m_nonce{};
};
