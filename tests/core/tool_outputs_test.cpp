// The tools' outputs byte for byte as earlier versions wrote them: conversion (both forms), the
// unchanged copy, the way back from a scrambled copy and the channel merge, over a recording large
// enough for several read blocks and output buffers, in good order and with the damage cards show.
// The hashes were taken from the outputs of the version that read chunk by chunk.
#include "core/container/AviLayout.h"
#include "core/container/ChannelMerge.h"
#include "core/container/MoviWalk.h"
#include "core/container/RecordingConverter.h"
#include "core/container/Riff.h"
#include "core/container/ScrambledCopy.h"
#include "support/ContainerFixtures.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <map>

namespace fs = std::filesystem;

namespace {

std::string HashOf(const fs::path& path) {
    if (!fs::exists(path))
        return "none";
    const Bytes bytes = ReadFile(path);
    return QCryptographicHash::hash(
               QByteArrayView(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
               QCryptographicHash::Sha256)
        .toHex()
        .left(16)
        .toStdString();
}

// The chunk headers of the movi list.
std::vector<RiffChunk> MoviChunks(const Bytes& bytes) {
    MemoryByteSource src(bytes.data(), bytes.size());
    AviLayout layout;
    std::vector<RiffChunk> chunks;
    if (ParseAviLayout(src, layout, nullptr))
        WalkMovi(src, layout, [&](const RiffChunk& c) { chunks.push_back(c); });
    return chunks;
}

// Damaged forms of a good recording, as cards hold them.
std::map<std::string, Bytes> Damaged(const Bytes& good) {
    const std::vector<RiffChunk> c = MoviChunks(good);
    const size_t n = c.size();
    std::map<std::string, Bytes> out;
    Bytes b = good;
    for (size_t k : {n / 7, n / 3, n / 2})
        b[size_t(c[k].offset) + 2] ^= 0x04; // a flipped bit in an identifier
    out["flipped-ids"] = b;
    b = good;
    writeLe32(b.data() + c[n / 3].offset + 4, uint32_t(c[n / 3 + 3].offset - c[n / 3].offset - 8)); // grown
    writeLe32(b.data() + c[n / 2].offset + 4, 0);                                                   // zeroed
    for (size_t k = n / 2 + 10; k < n; ++k)
        if (c[k].size % 2 == 0 && c[k].size > 16) { // one byte short, the pad byte not zero
            writeLe32(b.data() + c[k].offset + 4, uint32_t(c[k].size - 1));
            b[size_t(c[k].offset + 8 + c[k].size - 1)] = 0x5a;
            break;
        }
    out["sizes"] = b;
    b = good;
    for (size_t i = size_t(c[n / 4].offset) - 3000; i < size_t(c[n / 4].offset) + 5000; ++i)
        b[i] = uint8_t(i * 131 + 7);
    out["garbage"] = b;
    out["cut"] = Bytes(good.begin(), good.begin() + long(c[n * 2 / 3].offset + 1234));
    b.assign(good.begin(), good.begin() + long(c[n / 2].offset + 77));
    writeLe32(b.data() + 4, 0);
    MemoryByteSource src(good.data(), good.size());
    AviLayout layout;
    ParseAviLayout(src, layout, nullptr);
    writeLe32(b.data() + layout.moviOffset + 4, 0);
    out["unfinished"] = b;
    return out;
}

} // namespace

TEST(ToolOutputs, StayByteForByteAsEarlierVersionsWroteThem) {
    TempDir dir;
    SyntheticOptions o;
    o.channels = 3;
    o.seconds = 20;
    o.fps = 30;
    o.frameFiller = 3300; // about 10 MB: three read blocks, several output buffers
    WriteSynthetic(dir / "good.qmv", RecordingForm::Camera, true, o);
    std::map<std::string, Bytes> inputs = Damaged(ReadFile(dir / "good.qmv"));
    for (const auto& [name, bytes] : inputs)
        WriteFile(dir / (name + ".qmv"), bytes);
    inputs["good"] = {};

    // Result code or outcome, and the first 16 hex digits of the output's SHA-256 ("walk": the
    // conversion without the AVI signatures; "back": the way back from a scrambled copy).
    const std::map<std::string, std::string> expected = {
        {"cut avi", "2 192401ded687bdf3"},
        {"cut back", "0 e71248674979d87a"},
        {"cut back avi", "0 396fa1c6cb747b1b"},
        {"cut copy", "0 d180f6a6587500fe"},
        {"cut merge 1", "ok 52d6d7fb8ae6027d"},
        {"cut merge 3", "ok 2db46e000ebc8fcc"},
        {"cut walk", "2 5b216c3051888a08"},
        {"flipped-ids avi", "2 51070d5c3f4c39cd"},
        {"flipped-ids back", "0 3591c274cbe3ef10"},
        {"flipped-ids back avi", "0 2f30bf5fd6a9a72d"},
        {"flipped-ids copy", "0 e795f3819dde5a9c"},
        {"flipped-ids merge 1", "ok f508a8e4e4561756"},
        {"flipped-ids merge 3", "ok 27b75665604feb99"},
        {"flipped-ids walk", "2 77f26dbe161a71c8"},
        {"garbage avi", "2 6e130a81d862422d"},
        {"garbage back", "0 557060929e9ba919"},
        {"garbage back avi", "0 63d8d6825862c023"},
        {"garbage copy", "0 0344791ff0cf915f"},
        {"garbage merge 1", "ok 74a2d757c800b5f0"},
        {"garbage merge 3", "ok de9f9f3ee22a1bbd"},
        {"garbage walk", "2 bbe394b31fa305c1"},
        {"good avi", "1 308f76bcadc64193"},
        {"good back", "0 b9188f36cc468e43"},
        {"good back avi", "0 308f76bcadc64193"},
        {"good copy", "0 b9188f36cc468e43"},
        {"good merge 1", "ok e0c46a46e3e07018"},
        {"good merge 3", "ok 0fcb952cb84d9b1c"},
        {"good walk", "1 b9188f36cc468e43"},
        {"sizes avi", "2 9995b8903593250c"},
        {"sizes back", "0 4c94b3a0834f01da"},
        {"sizes back avi", "0 15f6d32dec3c40a6"},
        {"sizes copy", "0 b21532b870549bb2"},
        {"sizes merge 1", "ok 4bd65f9d57263c4f"},
        {"sizes merge 3", "ok 0fcb952cb84d9b1c"},
        {"sizes walk", "2 e7855e14c434dacc"},
        {"unfinished avi", "2 d43860cea0c18245"},
        {"unfinished back", "0 2a8c7f201a8e892d"},
        {"unfinished back avi", "0 fe48ca864a293cab"},
        {"unfinished copy", "0 39aad99ef7448b7a"},
        {"unfinished merge 1", "ok 2226eeec0c22a08d"},
        {"unfinished merge 3", "ok 35790f28b9ab3f03"},
        {"unfinished walk", "2 ff4934cc3793dde4"},
    };
    fs::create_directories(dir / "out");
    // With the kernel copy (a file its index describes is walked header by header and copied by the
    // kernel, any other streamed out while the walk reads), and walked first, then copied block by
    // block through memory: both give these bytes.
    for (bool kernel : {true, false}) {
        UseKernelCopy(kernel);
        std::map<std::string, std::string> got;
        for (const auto& [name, bytes] : inputs) {
            const fs::path source = dir / (name + ".qmv");
            for (bool toAvi : {true, false}) {
                const std::string key = name + (toAvi ? " avi" : " walk");
                const int r = ConvertRecording(dir / "out", source, toAvi);
                got[key] = std::to_string(r) + " " + HashOf(ConvertedPath(dir / "out", source, toAvi));
                fs::remove(ConvertedPath(dir / "out", source, toAvi));
            }
            const int copied = CopyRecording(dir / "out", source);
            got[name + " copy"] = std::to_string(copied) + " " + HashOf(dir / "out" / (name + ".qmv"));
            fs::remove(dir / "out" / (name + ".qmv"));
            for (int channel : {0, 2}) {
                const MergeOutcome m = MergeChannel(dir / "merged.qmv", {source, source}, channel);
                got[name + " merge " + std::to_string(channel + 1)] =
                    std::string(m.ok ? "ok " : "failed ") + HashOf(dir / "merged.qmv");
                fs::remove(dir / "merged.qmv");
            }
            // The way back from a scrambled copy does not depend on the copy's random nonce.
            if (ScrambledCopy(dir / "scrambled.qmv", source).ok()) {
                for (ClearForm form : {ClearForm::Camera, ClearForm::StandardAvi}) {
                    const CopyOutcome back = UnscrambledCopy(dir / "back", dir / "scrambled.qmv", form);
                    got[name + (form == ClearForm::Camera ? " back" : " back avi")] =
                        std::to_string(back.code) + " " + HashOf(dir / "back");
                    fs::remove(dir / "back");
                }
            }
            fs::remove(dir / "scrambled.qmv");
        }
        EXPECT_EQ(got, expected) << (kernel ? "streamed" : "through memory");
    }
    UseKernelCopy(true);
}
