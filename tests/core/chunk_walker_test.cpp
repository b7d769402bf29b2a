// The walking rules every container class shares: even padding, list types, a zero size standing
// for the rest of the range, a truncated last chunk, and the end of the range.
#include "core/container/ChunkWalker.h"
#include "core/container/Riff.h"
#include "support/ContainerFixtures.h"

#include <gtest/gtest.h>

namespace {

std::vector<RiffChunk> Walk(const Bytes& bytes, ChunkWalker::ZeroSize rule = ChunkWalker::ZeroSize::Empty) {
    MemoryByteSource source(bytes.data(), bytes.size());
    ChunkWalker walker(source, 0, bytes.size(), rule);
    std::vector<RiffChunk> chunks;
    RiffChunk c;
    while (walker.next(c))
        chunks.push_back(c);
    return chunks;
}

} // namespace

TEST(ChunkWalker, StepsOverPaddingAndReadsListTypes) {
    Bytes bytes =
        Cat({Chunk("odd1", {1, 2, 3}), List("movi", Chunk("00dc", {0, 0, 0, 1})), Chunk("JUNK", {})});
    auto chunks = Walk(bytes);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].size, 3u);
    EXPECT_EQ(chunks[0].next, 12u) << "3 data bytes and one pad byte";
    EXPECT_EQ(chunks[1].offset, 12u);
    EXPECT_TRUE(chunks[1].hasListType);
    EXPECT_EQ(chunks[1].listType, kFccMovi);
    EXPECT_EQ(chunks[2].size, 0u);
    EXPECT_FALSE(chunks[2].zeroSizeFilled);
    EXPECT_FALSE(chunks[2].truncated);
}

TEST(ChunkWalker, ZeroSizeRunsToTheEndOnlyWhenAsked) {
    Bytes bytes = Cat({Text("LIST"), Le32(0), Text("movi"), Chunk("00dc", {1, 2, 3, 4, 5})});
    auto filled = Walk(bytes, ChunkWalker::ZeroSize::RestOfRange);
    ASSERT_EQ(filled.size(), 1u);
    EXPECT_TRUE(filled[0].zeroSizeFilled);
    EXPECT_EQ(filled[0].size, bytes.size() - 8);
    EXPECT_FALSE(filled[0].truncated);
    EXPECT_EQ(filled[0].next, bytes.size());
    auto empty = Walk(bytes);
    ASSERT_GE(empty.size(), 1u);
    EXPECT_EQ(empty[0].size, 0u);
    EXPECT_FALSE(empty[0].hasListType) << "a list too small for its type has none";
}

TEST(ChunkWalker, TruncatedChunkEndsTheWalkAndAMissingPadByteDoesNot) {
    Bytes odd = Cat({Chunk("a000", {1}), Text("b000"), Le32(3), Bytes{1, 2, 3}});
    auto chunks = Walk(odd);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_FALSE(chunks[1].truncated) << "the data is all there; only the pad byte is missing";
    EXPECT_EQ(chunks[1].next, odd.size());

    Bytes cut = Cat({Chunk("a000", {1, 2}), Text("b000"), Le32(100), Bytes(10, 7), Chunk("c000", {})});
    chunks = Walk(cut);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_TRUE(chunks[1].truncated);
    EXPECT_EQ(chunks[1].next, cut.size());

    // Fewer than 8 bytes left are no chunk; a size near 4 GiB does not wrap around.
    EXPECT_EQ(Walk(Bytes{1, 2, 3, 4, 5, 6, 7}).size(), 0u);
    Bytes huge = Cat({Text("huge"), Le32(0xFFFFFFFF), Bytes(4, 0)});
    chunks = Walk(huge);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_TRUE(chunks[0].truncated);
}

TEST(ChunkWalker, VideoAndRecordIdentifiersIgnoreCase) {
    EXPECT_TRUE(isVideoChunkId(fourcc("00dc")));
    EXPECT_TRUE(isVideoChunkId(fourcc("01DC")));
    EXPECT_TRUE(isVideoChunkId(fourcc("02Dc")));
    EXPECT_FALSE(isVideoChunkId(fourcc("00db")));
    EXPECT_FALSE(isVideoChunkId(fourcc("dc00")));
    EXPECT_TRUE(isRecordChunkId(fourcc("04TX")));
    EXPECT_EQ(chunkStreamNumber(fourcc("13wb")), 13);
    EXPECT_EQ(chunkStreamNumber(fourcc("ix00")), -1);
}
