#include "core/container/FrameScrambler.h"

#include "core/container/Riff.h"

#include <cstring>

namespace {

// The program's built-in scrambling key. It keeps ordinary players from showing a copy; it is not
// a secret against someone who reads this program.
constexpr uint8_t kBuiltInKey[32] = {0x51, 0x75, 0x69, 0x6c, 0x6c, 0x65, 0x6e, 0x74, 0x9e, 0x37, 0x79,
                                     0xb9, 0x7f, 0x4a, 0x7c, 0x15, 0xf3, 0x9c, 0xc0, 0x60, 0x5c, 0xed,
                                     0xc8, 0x34, 0x10, 0x82, 0x27, 0x6b, 0xf3, 0xa2, 0x72, 0x39};

inline uint32_t rotl(uint32_t v, int c) {
    return (v << c) | (v >> (32 - c));
}

inline void quarter(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d) {
    a += b, d ^= a, d = rotl(d, 16);
    c += d, b ^= c, b = rotl(b, 12);
    a += b, d ^= a, d = rotl(d, 8);
    c += d, b ^= c, b = rotl(b, 7);
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

FrameScrambler::FrameScrambler(const std::array<uint8_t, 12>& nonce, uint32_t) {
    m_state[0] = 0x61707865;
    m_state[1] = 0x3320646e;
    m_state[2] = 0x79622d32;
    m_state[3] = 0x6b206574;
    for (int i = 0; i < 8; ++i)
        m_state[4 + i] = readLe32(kBuiltInKey + 4 * i);
    m_state[12] = 0;
    for (int i = 0; i < 3; ++i)
        m_state[13 + i] = readLe32(nonce.data() + 4 * i);
}

void FrameScrambler::block(uint32_t counter, uint8_t out[64]) const {
    std::array<uint32_t, 16> x = m_state;
    x[12] = counter;
    const std::array<uint32_t, 16> in = x;
    for (int i = 0; i < 10; ++i) {
        quarter(x[0], x[4], x[8], x[12]);
        quarter(x[1], x[5], x[9], x[13]);
        quarter(x[2], x[6], x[10], x[14]);
        quarter(x[3], x[7], x[11], x[15]);
        quarter(x[0], x[5], x[10], x[15]);
        quarter(x[1], x[6], x[11], x[12]);
        quarter(x[2], x[7], x[8], x[13]);
        quarter(x[3], x[4], x[9], x[14]);
    }
    for (int i = 0; i < 16; ++i)
        writeLe32(out + 4 * i, x[i] + in[i]);
}

void FrameScrambler::apply(uint64_t offset, uint8_t* data, size_t n) const {
    uint8_t ks[64];
    size_t done = 0;
    while (done < n) {
        const uint64_t at = offset + done;
        block(uint32_t(at / 64), ks);
        const size_t from = size_t(at % 64);
        const size_t take = std::min<size_t>(64 - from, n - done);
        for (size_t i = 0; i < take; ++i)
            data[done + i] ^= ks[from + i];
        done += take;
    }
}
