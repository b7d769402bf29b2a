#include "core/container/FrameScrambler.h"

#include "core/container/Riff.h"

#include <algorithm>
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

void FrameScrambler::block(uint32_t counter, uint8_t out[kBlocks * 64]) const {
    // kBlocks consecutive blocks side by side, so the compiler can work on them in vector lanes.
    uint32_t x[16][kBlocks], in[16][kBlocks];
    for (int i = 0; i < 16; ++i)
        for (int l = 0; l < kBlocks; ++l)
            x[i][l] = m_state[size_t(i)];
    for (int l = 0; l < kBlocks; ++l)
        x[12][l] = counter + uint32_t(l);
    std::memcpy(in, x, sizeof x);
    auto q = [&x](int a, int b, int c, int d) {
        for (int l = 0; l < kBlocks; ++l) {
            x[a][l] += x[b][l], x[d][l] ^= x[a][l], x[d][l] = rotl(x[d][l], 16);
            x[c][l] += x[d][l], x[b][l] ^= x[c][l], x[b][l] = rotl(x[b][l], 12);
            x[a][l] += x[b][l], x[d][l] ^= x[a][l], x[d][l] = rotl(x[d][l], 8);
            x[c][l] += x[d][l], x[b][l] ^= x[c][l], x[b][l] = rotl(x[b][l], 7);
        }
    };
    for (int i = 0; i < 10; ++i) {
        q(0, 4, 8, 12), q(1, 5, 9, 13), q(2, 6, 10, 14), q(3, 7, 11, 15);
        q(0, 5, 10, 15), q(1, 6, 11, 12), q(2, 7, 8, 13), q(3, 4, 9, 14);
    }
    for (int l = 0; l < kBlocks; ++l)
        for (int i = 0; i < 16; ++i)
            writeLe32(out + 64 * l + 4 * i, x[i][l] + in[i][l]);
}

void FrameScrambler::apply(uint64_t offset, uint8_t* data, size_t n) const {
    uint8_t ks[kBlocks * 64];
    size_t done = 0;
    while (done < n) {
        const uint64_t at = offset + done;
        block(uint32_t(at / 64), ks);
        const size_t from = size_t(at % 64);
        const size_t take = std::min<size_t>(kBlocks * 64 - from, n - done);
        for (size_t i = 0; i < take; ++i)
            data[done + i] ^= ks[from + i];
        done += take;
    }
}
