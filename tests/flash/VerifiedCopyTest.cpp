// Copies that read every chunk twice: a bit flipped on one read is outvoted and the agreed
// bytes kept; a byte that never reads the same leaves its chunk listed as unverified.
#include <gtest/gtest.h>

#include "CopyRig.h"
#include "flash/CopyRecordCheck.h"
#include "host/JsonValue.h"

namespace bf::test {
namespace {

class VerifiedCopy : public ::testing::TestWithParam<CameraType> {};

TEST_P(VerifiedCopy, ABitFlippedOnOneReadIsReadAgainAndTheAgreedBytesKept) {
  const CameraType type = GetParam();
  CopyRig r(type);
  PrepareSmallCopy(r, type);
  r.verify = true;
  // The first read of the second chunk brings one bit flipped.
  r.log->At(
      1, [&r] { r.rig.camera->ArmFault(r.rig.camera->CallCount() + 1, sim::CallFault::FlipBit); });
  const std::string file = r.dir.File("once.bfk");
  const CopySummary s = r.Run(file);
  ASSERT_TRUE(s.Complete()) << s.failure;
  EXPECT_NE(r.rig.camera->FaultHitCall(), 0u);
  EXPECT_TRUE(s.verified);
  EXPECT_EQ(s.rereadChunks, 1u);
  EXPECT_TRUE(s.unverifiedChunks.empty());
  EXPECT_SAME_BYTES(ReadFile(file), SmallCopyBytes(r, type));
}

TEST_P(VerifiedCopy, AChunkWhoseReadsNeverAgreeIsListedAndTheCopyNotVerified) {
  const CameraType type = GetParam();
  sim::SimOptions options = CopyRig::Options(type);
  const uint64_t chunk = CopyChunkBytes(type);
  const uint64_t at = chunk + 100;  // in the second chunk
  options.unstableByte = SmallCopyFlashStart(type) + at;
  CopyRig r(options);
  PrepareSmallCopy(r, type);
  r.verify = true;
  const std::string file = r.dir.File("never.bfk");
  const CopySummary s = r.Run(file);
  // Every byte asked for came: the copy is whole, but not verified.
  ASSERT_TRUE(s.Complete()) << s.failure;
  EXPECT_FALSE(s.verified);
  EXPECT_EQ(s.rereadChunks, 1u);
  ASSERT_EQ(s.unverifiedChunks.size(), 1u);
  EXPECT_EQ(s.unverifiedChunks[0].fileIndex, 0u);
  EXPECT_EQ(s.unverifiedChunks[0].offset, chunk);
  EXPECT_EQ(s.unverifiedChunks[0].length, chunk);

  // The first read is kept: the camera's byte with its lowest bit flipped, the rest as it is.
  std::vector<uint8_t> expected = SmallCopyBytes(r, type);
  expected[at] ^= 0x01;
  EXPECT_SAME_BYTES(ReadFile(file), expected);

  std::string error;
  const auto record = ReadCopyRecord(file + ".json", &error);
  ASSERT_TRUE(record.has_value()) << error;
  const JsonValue& verify = (*record)["verify"];
  EXPECT_FALSE(verify["verified"].boolean);
  EXPECT_EQ(verify["reread_chunks"].Unsigned(), 1u);
  ASSERT_EQ(verify["unverified_chunks"].items.size(), 1u);
  EXPECT_EQ(verify["unverified_chunks"][0]["file"].text, "never.bfk");
  EXPECT_EQ(verify["unverified_chunks"][0]["offset"].Unsigned(), chunk);
  EXPECT_EQ(verify["unverified_chunks"][0]["length"].Unsigned(), chunk);
  EXPECT_EQ((*record)["outcome"].text, "complete");
}

INSTANTIATE_TEST_SUITE_P(AllTypes, VerifiedCopy,
                         ::testing::Values(CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES));

}  // namespace
}  // namespace bf::test
