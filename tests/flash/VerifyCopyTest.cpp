// Comparing a copy with the flash it came from, by reading the record's range again in the same
// chunks: what differs is named by file, offset and length, and a changed flash is refused.
#include <gtest/gtest.h>

#include <filesystem>

#include "CopyRecordRig.h"
#include "flash/CopyPlan.h"
#include "flash/CopyRecordCheck.h"
#include "flash/NandReadout.h"
#include "link/CameraCommands.h"

namespace bf::test {
namespace {

namespace fs = std::filesystem;

CopyPlan VerifyPlan(const std::string& file) {
  std::string error;
  const auto record = ReadCopyRecord(file + ".json", &error);
  EXPECT_TRUE(record.has_value()) << error;
  const auto plan = CopyPlanFromRecord(file + ".json", record.value_or(JsonValue{}),
                                       CopyPlanMode::Verify, &error);
  EXPECT_TRUE(plan.has_value()) << error;
  return plan.value_or(CopyPlan{});
}

CopySummary Verify(CopyRig& r, const std::string& file) {
  r.plan = VerifyPlan(file);
  const CopySummary s = r.Run(std::nullopt);
  EXPECT_TRUE(r.prompts.saveRequests.empty()) << "no file to choose";
  r.plan.reset();
  r.Fresh();
  return s;
}

void FlipByte(const std::string& path, uint64_t at) {
  std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
  f.seekg(static_cast<std::streamoff>(at));
  const int c = f.get();
  f.seekp(static_cast<std::streamoff>(at));
  f.put(static_cast<char>(c ^ 0x20));
  ASSERT_TRUE(f.flush());
}

class VerifyCopy : public ::testing::TestWithParam<CameraType> {};

TEST_P(VerifyCopy, FindsTheStretchesThatDifferAndLeavesFileAndRecordAlone) {
  const CameraType type = GetParam();
  CopyRig r(type);
  PrepareSmallCopy(r, type);
  const std::string file = r.dir.File("copy.bfk");
  CopySummary copy;
  ASSERT_NO_FATAL_FAILURE(CopyWhole(r, file, &copy));
  const std::string record = ReadText(file + ".json");

  const uint64_t reads = r.rig.camera->Model().CommandCount(CMD_READ_FLASH);
  CopySummary s = Verify(r, file);
  EXPECT_EQ(s.outcome, CopyOutcome::Completed);
  EXPECT_TRUE(s.copyMatches);
  ASSERT_EQ(s.compared.size(), 1u);
  EXPECT_EQ(s.compared[0].compared, fs::file_size(file));
  EXPECT_TRUE(s.compared[0].stretches.empty());
  EXPECT_EQ(r.rig.camera->Model().CommandCount(CMD_READ_FLASH) - reads,
            copy.chunks + (type == CAMERA_NAND_PAGES ? 1 : 0))
      << "the chunks of the copy, and the range's first frame of a type 2 camera";

  // Two flipped bytes far apart, one near the end: three stretches of a byte each.
  const uint64_t size = fs::file_size(file);
  FlipByte(file, 10);
  FlipByte(file, CopyChunkBytes(type) + 5);
  FlipByte(file, size - 1);
  s = Verify(r, file);
  EXPECT_EQ(s.outcome, CopyOutcome::Completed);
  EXPECT_FALSE(s.copyMatches);
  ASSERT_EQ(s.compared.size(), 1u);
  ASSERT_EQ(s.compared[0].stretches.size(), 3u);
  EXPECT_EQ(s.compared[0].stretches[0].offset, 10u);
  EXPECT_EQ(s.compared[0].stretches[1].offset, CopyChunkBytes(type) + 5);
  EXPECT_EQ(s.compared[0].stretches[2].offset, size - 1);
  for (const DifferingStretch& d : s.compared[0].stretches) EXPECT_EQ(d.length, 1u);
  EXPECT_EQ(ReadText(file + ".json"), record) << "the record stays as the copy left it";

  // A file longer than the range: the bytes past it differ too.
  FlipByte(file, 10);
  FlipByte(file, CopyChunkBytes(type) + 5);
  FlipByte(file, size - 1);
  { std::ofstream(file, std::ios::binary | std::ios::app) << "tail"; }
  s = Verify(r, file);
  EXPECT_FALSE(s.copyMatches);
  ASSERT_EQ(s.compared[0].stretches.size(), 1u);
  EXPECT_EQ(s.compared[0].stretches[0].offset, size);
  EXPECT_EQ(s.compared[0].stretches[0].length, 4u);
}

TEST_P(VerifyCopy, IsRefusedWhenThePointerOrWrapFlagMoved) {
  const CameraType type = GetParam();
  CopyRig r(type);
  PrepareSmallCopy(r, type);
  const std::string file = r.dir.File("copy.bfk");
  ASSERT_NO_FATAL_FAILURE(CopyWhole(r, file));
  const std::string record = ReadText(file + ".json");
  const uint64_t reads = r.rig.camera->Model().CommandCount(CMD_READ_FLASH);
  r.Flash().SetWrapped(true);
  const CopySummary s = Verify(r, file);
  EXPECT_EQ(s.outcome, CopyOutcome::Refused);
  EXPECT_FALSE(s.copyMatches);
  EXPECT_EQ(s.failure,
            "Копию нельзя проверить: флеш-память камеры изменилась после копирования (признак "
            "переполнения 1, в записи копии 0).");
  EXPECT_EQ(r.rig.camera->Model().CommandCount(CMD_READ_FLASH), reads);
  EXPECT_EQ(ReadText(file + ".json"), record);
}

INSTANTIATE_TEST_SUITE_P(AllTypes, VerifyCopy,
                         ::testing::Values(CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES));

TEST(VerifyCopy, ASplitRangeIsComparedWithBothFiles) {
  CopyRig r(CAMERA_NAND_PAGES);
  LayOutSplitRange(r);
  const std::string first = r.dir.File("split.bfk");
  const std::string second = SecondFileName(first);
  ASSERT_NO_FATAL_FAILURE(CopyWhole(r, first));
  r.chooser.range.reset();  // the record's range is used, not the chooser

  CopySummary s = Verify(r, first);
  EXPECT_TRUE(s.copyMatches);
  ASSERT_EQ(s.compared.size(), 2u);
  EXPECT_EQ(s.compared[1].path, second);
  EXPECT_EQ(s.compared[1].compared, fs::file_size(second));

  FlipByte(second, 77);
  s = Verify(r, first);
  EXPECT_FALSE(s.copyMatches);
  EXPECT_TRUE(s.compared[0].stretches.empty());
  ASSERT_EQ(s.compared[1].stretches.size(), 1u);
  EXPECT_EQ(s.compared[1].stretches[0].fileIndex, 1u);
  EXPECT_EQ(s.compared[1].stretches[0].offset, 77u);
}

TEST(VerifyCopy, AnUnfinishedCopyIsComparedAsFarAsItGoes) {
  CopyRig r(CAMERA_PACKED_PAGES);
  PrepareSmallCopy(r, CAMERA_PACKED_PAGES);
  const std::string file = r.dir.File("cut.bfk");
  r.log->At(1, [&r] { r.session->Cancel(); });
  ASSERT_EQ(r.Run(file).outcome, CopyOutcome::Cancelled);
  r.Fresh();
  const uint64_t reads = r.rig.camera->Model().CommandCount(CMD_READ_FLASH);
  CopySummary s = Verify(r, file);
  EXPECT_TRUE(s.copyMatches) << s.failure;
  EXPECT_EQ(r.rig.camera->Model().CommandCount(CMD_READ_FLASH) - reads, 1u)
      << "the rest of the range was never in the file";

  FlipByte(file, 524'000);
  s = Verify(r, file);
  EXPECT_FALSE(s.copyMatches);
  ASSERT_EQ(s.compared.size(), 1u);
  ASSERT_EQ(s.compared[0].stretches.size(), 1u);
  EXPECT_EQ(s.compared[0].stretches[0].offset, 524'000u);
}

}  // namespace
}  // namespace bf::test
