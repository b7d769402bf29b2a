#include "core/container/FrameScrambler.h"

#include "core/container/Riff.h"

#include <algorithm>
#include <cstring>

#include <sodium.h>

namespace {

// The program's built-in scrambling key. It keeps ordinary players from showing a copy; it is not
// a secret against someone who reads this program.
constexpr uint8_t kBuiltInKey[32] = {0x51, 0x75, 0x69, 0x6c, 0x6c, 0x65, 0x6e, 0x74, 0x9e, 0x37, 0x79,
                                     0xb9, 0x7f, 0x4a, 0x7c, 0x15, 0xf3, 0x9c, 0xc0, 0x60, 0x5c, 0xed,
                                     0xc8, 0x34, 0x10, 0x82, 0x27, 0x6b, 0xf3, 0xa2, 0x72, 0x39};

// Blocks of one counter round: the 32-bit block counter wraps after this many.
constexpr uint64_t kCounterBlocks = uint64_t(1) << 32;

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0; // picks the vector code the processor runs
    return ready;
}

} // namespace

std::array<uint8_t, ScrambleHeader::kDataSize> ScrambleHeader::encode() const {
    std::array<uint8_t, kDataSize> d{};
    writeLe32(d.data(), kMagic);
    writeLe32(d.data() + 4, version);
    writeLe32(d.data() + 8, keyId);
    std::memcpy(d.data() + 12, nonce.data(), nonce.size());
    std::memcpy(d.data() + kDigestOffset, digest.data(), digest.size());
    return d;
}

std::optional<ScrambleHeader> ScrambleHeader::decode(const uint8_t* data, size_t size) {
    if (size < kDataSize || readLe32(data) != kMagic)
        return std::nullopt;
    ScrambleHeader h;
    h.version = readLe32(data + 4);
    h.keyId = readLe32(data + 8);
    if (h.version != kVersion || h.keyId != kKeyId)
        return std::nullopt;
    std::memcpy(h.nonce.data(), data + 12, h.nonce.size());
    std::memcpy(h.digest.data(), data + kDigestOffset, h.digest.size());
    return h;
}

FrameScrambler::FrameScrambler(const std::array<uint8_t, 12>& nonce, uint32_t) : m_nonce(nonce) {
    sodiumReady();
}

void FrameScrambler::apply(uint64_t offset, uint8_t* data, size_t n) const {
    apply(offset, data, data, n);
}

void FrameScrambler::apply(uint64_t offset, const uint8_t* in, uint8_t* out, size_t n) const {
    const uint8_t* nonce = m_nonce.data();
    while (n > 0) {
        const uint64_t block = offset / 64;
        const size_t within = size_t(offset % 64);
        const uint32_t counter = uint32_t(block);
        if (within != 0) {
            // A range that starts inside a block: that block's key stream from its start.
            uint8_t part[64] = {};
            const size_t take = std::min<size_t>(64 - within, n);
            std::memcpy(part + within, in, take);
            crypto_stream_chacha20_ietf_xor_ic(part, part, 64, nonce, counter, kBuiltInKey);
            std::memcpy(out, part + within, take);
            in += take, out += take, offset += take, n -= take;
            continue;
        }
        // Whole blocks in one call, never across the counter's wrap (the library would carry
        // into the nonce there).
        const uint64_t room = (kCounterBlocks - counter) * 64;
        const size_t take = size_t(std::min<uint64_t>(n, room));
        crypto_stream_chacha20_ietf_xor_ic(out, in, take, nonce, counter, kBuiltInKey);
        in += take, out += take, offset += take, n -= take;
    }
}
