// Going on with a copy that broke off: the result is the file an unbroken copy gives, only the
// chunks not yet received are asked for, and a changed flash or file is refused.
#include <gtest/gtest.h>

#include <filesystem>

#include "CopyRecordRig.h"
#include "flash/CopyRecordCheck.h"
#include "flash/CopyResume.h"
#include "flash/NandReadout.h"
#include "host/JsonValue.h"
#include "link/CameraCommands.h"

namespace bf::test {
namespace {

namespace fs = std::filesystem;

uint64_t FlashReads(CopyRig& r) {
  return r.rig.camera->Model().CommandCount(CMD_READ_FLASH);
}

// A copy that fails on the link right after its k-th whole chunk.
CopySummary BreakAfterChunk(CopyRig& r, const std::string& file, std::size_t k) {
  r.log->At(k,
            [&r] { r.rig.camera->ArmFault(r.rig.camera->CallCount() + 1, sim::CallFault::Fail); });
  const CopySummary s = r.Run(file);
  r.Fresh();
  return s;
}

CopySummary Resume(CopyRig& r, const std::string& file) {
  std::string refusal;
  r.plan = FindResumableCopy(file, &refusal);
  EXPECT_TRUE(r.plan.has_value()) << refusal;
  if (!r.plan) return {};
  const CopySummary s = r.Run(std::nullopt);  // the save dialog is not asked
  r.plan.reset();
  EXPECT_TRUE(r.prompts.saveRequests.empty());
  r.Fresh();
  return s;
}

class ResumedCopy : public ::testing::TestWithParam<CameraType> {};

TEST_P(ResumedCopy, ABreakAtEveryChunkBoundaryResumesToTheUnbrokenFile) {
  const CameraType type = GetParam();
  CopyRig r(type);
  PrepareSmallCopy(r, type);
  const std::string whole = r.dir.File("whole.bfk");
  CopySummary unbroken;
  ASSERT_NO_FATAL_FAILURE(CopyWhole(r, whole, &unbroken));
  const std::vector<uint8_t> expected = ReadFile(whole);
  ASSERT_EQ(expected, SmallCopyBytes(r, type));
  const uint64_t chunk = CopyChunkBytes(type);
  // Type 2 looks for the first frame of its range again; the others start at a fixed address.
  const uint64_t searches = type == CAMERA_NAND_PAGES ? 1 : 0;

  for (std::size_t k = 1; k < unbroken.chunks; ++k) {
    SCOPED_TRACE(k);
    const std::string file = r.dir.File("broken" + std::to_string(k) + ".bfk");
    const CopySummary broken = BreakAfterChunk(r, file, k);
    ASSERT_EQ(broken.outcome, CopyOutcome::Failed);
    ASSERT_EQ(fs::file_size(file), k * chunk);
    EXPECT_EQ(RecordOf(file)["outcome"].text, "failed");

    const uint64_t readsBefore = FlashReads(r);
    const CopySummary resumed = Resume(r, file);
    ASSERT_TRUE(resumed.Complete()) << resumed.failure;
    EXPECT_EQ(resumed.resumedBytes, k * chunk);
    EXPECT_EQ(resumed.resumedFrom, file);
    EXPECT_EQ(FlashReads(r) - readsBefore, unbroken.chunks - k + searches)
        << "only the chunks not yet received are asked for";
    EXPECT_SAME_BYTES(ReadFile(file), expected);

    // The record is that of a complete copy of the whole file.
    const JsonValue record = RecordOf(file);
    EXPECT_EQ(record["outcome"].text, "complete");
    EXPECT_TRUE(record["failure"].IsNull());
    EXPECT_EQ(record["resumed"]["bytes"].Unsigned(), k * chunk);
    EXPECT_EQ(record["files"][0]["sha256"].text, RecordOf(whole)["files"][0]["sha256"].text);
    EXPECT_EQ(record["files"][0]["chunks"].items.size(), unbroken.chunks);
    ExpectRecordMatchesItsFile(file, record);
  }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, ResumedCopy,
                         ::testing::Values(CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES));

TEST(ResumeCopy, ASplitRangeResumesInEitherFile) {
  CopyRig r(CAMERA_NAND_PAGES);
  const uint32_t end = LayOutSplitRange(r);
  const std::vector<uint8_t> first = r.LinearBytes(kSplitStart, kNandLastByte);
  const std::vector<uint8_t> second = r.LinearBytes(0, end);
  const std::size_t firstChunks = (first.size() + 524'288) / 524'289;
  // A break in the first file, and one in the second.
  for (const std::size_t k : {std::size_t{3}, firstChunks + 2}) {
    SCOPED_TRACE(k);
    const std::string file = r.dir.File("split" + std::to_string(k) + ".bfk");
    ASSERT_EQ(BreakAfterChunk(r, file, k).outcome, CopyOutcome::Failed);
    r.chooser.range.reset();  // the record's range is used
    const CopySummary s = Resume(r, file);
    r.chooser.range = {{255, 0}};
    ASSERT_TRUE(s.Complete()) << s.failure;
    ASSERT_EQ(s.files.size(), 2u);
    EXPECT_EQ(s.resumedBytes, k < firstChunks ? k * 524'289 : first.size() + 2 * 524'289);
    EXPECT_SAME_BYTES(ReadFile(file), first);
    EXPECT_SAME_BYTES(ReadFile(SecondFileName(file)), second);
    const JsonValue record = RecordOf(file);
    EXPECT_EQ(record["outcome"].text, "complete");
    ASSERT_EQ(record["files"].items.size(), 2u);
    for (const auto& check : CheckCopyRecord(file + ".json", record)) {
      EXPECT_TRUE(check.matches) << check.path << ": " << check.problem;
    }
  }
}

TEST(ResumeCopy, AnUnfinishedCopyBesideAnOldFileGoesOnIntoTheChosenName) {
  CopyRig r(CAMERA_PACKED_PAGES);
  PrepareSmallCopy(r, CAMERA_PACKED_PAGES);
  const std::string file = r.dir.File("old.bfk");
  const std::string partial = r.dir.File("old.partial.bfk");
  { std::ofstream(file, std::ios::binary) << std::string(3000, 'Z'); }
  ASSERT_EQ(BreakAfterChunk(r, file, 1).outcome, CopyOutcome::Failed);
  ASSERT_EQ(ReadFile(file).size(), 3000u) << "the failed copy left the old file as it was";
  ASSERT_TRUE(fs::exists(partial + ".json"));

  const CopySummary resumed = Resume(r, file);
  ASSERT_TRUE(resumed.Complete()) << resumed.failure;
  EXPECT_EQ(resumed.resumedFrom, partial);
  EXPECT_SAME_BYTES(ReadFile(file), SmallCopyBytes(r, CAMERA_PACKED_PAGES));
  EXPECT_EQ(RecordOf(file)["outcome"].text, "complete");
  EXPECT_FALSE(fs::exists(partial)) << "its bytes are in the complete file now";
  EXPECT_FALSE(fs::exists(partial + ".json"));
}

TEST(ResumeCopy, AResumeThatBreaksAgainKeepsWhatItHadAndGoesOnLater) {
  CopyRig r(CAMERA_NAND_PAGES);
  PrepareSmallCopy(r, CAMERA_NAND_PAGES);
  const std::string file = r.dir.File("twice.bfk");
  ASSERT_EQ(BreakAfterChunk(r, file, 2).outcome, CopyOutcome::Failed);
  const std::vector<uint8_t> firstPart = ReadFile(file);

  std::string refusal;
  r.plan = FindResumableCopy(file, &refusal);
  ASSERT_TRUE(r.plan.has_value()) << refusal;
  // Two chunks come from the file, two more from the camera, then the link fails.
  r.log->At(4,
            [&r] { r.rig.camera->ArmFault(r.rig.camera->CallCount() + 1, sim::CallFault::Fail); });
  ASSERT_EQ(r.Run(std::nullopt).outcome, CopyOutcome::Failed);
  r.plan.reset();
  r.Fresh();
  EXPECT_EQ(ReadFile(file), firstPart) << "the file it went on from stays as it was";
  const std::string partial = r.dir.File("twice.partial.bfk");
  EXPECT_EQ(fs::file_size(partial), 4 * CopyChunkBytes(CAMERA_NAND_PAGES));

  const CopySummary last = Resume(r, file);
  ASSERT_TRUE(last.Complete()) << last.failure;
  EXPECT_EQ(last.resumedFrom, partial) << "the later of the two unfinished copies";
  EXPECT_SAME_BYTES(ReadFile(file), SmallCopyBytes(r, CAMERA_NAND_PAGES));
}

TEST(ResumeCopy, IsRefusedWhenTheFlashOrTheFileChangedOrThereIsNothingToResume) {
  CopyRig r(CAMERA_PACKED_PAGES);
  PrepareSmallCopy(r, CAMERA_PACKED_PAGES);
  std::string refusal;

  const std::string none = r.dir.File("none.bfk");
  EXPECT_FALSE(FindResumableCopy(none, &refusal).has_value());
  EXPECT_NE(refusal.find("no copy record"), std::string::npos) << refusal;

  const std::string complete = r.dir.File("complete.bfk");
  ASSERT_NO_FATAL_FAILURE(CopyWhole(r, complete));
  EXPECT_FALSE(FindResumableCopy(complete, &refusal).has_value());
  EXPECT_NE(refusal.find("is complete"), std::string::npos) << refusal;

  const std::string shorter = r.dir.File("shorter.bfk");
  ASSERT_EQ(BreakAfterChunk(r, shorter, 2).outcome, CopyOutcome::Failed);
  fs::resize_file(shorter, 524'289 + 10);
  EXPECT_FALSE(FindResumableCopy(shorter, &refusal).has_value());
  EXPECT_NE(refusal.find("no longer holds what its copy record says"), std::string::npos)
      << refusal;

  // The camera recorded on after the break: its pointer moved.
  const std::string moved = r.dir.File("moved.bfk");
  ASSERT_EQ(BreakAfterChunk(r, moved, 1).outcome, CopyOutcome::Failed);
  const std::vector<uint8_t> before = ReadFile(moved);
  const std::string recordBefore = ReadText(moved + ".json");
  r.SetPointer(MakePackedAddress(700, 0), false);
  r.plan = FindResumableCopy(moved, &refusal);
  ASSERT_TRUE(r.plan.has_value()) << refusal;
  const uint64_t readsBefore = FlashReads(r);
  const CopySummary s = r.Run(std::nullopt);
  EXPECT_EQ(s.outcome, CopyOutcome::Refused);
  EXPECT_EQ(FlashReads(r), readsBefore) << "nothing read";
  ASSERT_EQ(r.prompts.shown.size(), 1u);
  EXPECT_EQ(r.prompts.shown[0].text,
            "Копирование нельзя продолжить: флеш-память камеры изменилась после прерванного "
            "копирования (указатель записи " +
                std::to_string(MakePackedAddress(700, 0)) + ", в записи копии " +
                std::to_string(MakePackedAddress(600, 7)) + ").");
  EXPECT_EQ(s.failure, r.prompts.shown[0].text);
  EXPECT_EQ(ReadFile(moved), before);
  EXPECT_EQ(ReadText(moved + ".json"), recordBefore);
}

TEST(ResumeCopy, TheSaveDialogOffersToGoOnAndNoStartsOver) {
  CopyRig r(CAMERA_SECTORS);
  PrepareSmallCopy(r, CAMERA_SECTORS);
  r.offerResume = true;
  const std::string file = r.dir.File("offer.bfk");
  ASSERT_EQ(BreakAfterChunk(r, file, 1).outcome, CopyOutcome::Failed);
  const std::string endTime = RecordOf(file)["end_time"].text;
  ASSERT_EQ(endTime.size(), 20u);

  // No: a copy from the start, as without a record.
  r.prompts.answers = {MessageAnswer::No};
  const uint64_t readsBefore = FlashReads(r);
  CopySummary s = r.Run(file);
  ASSERT_TRUE(s.Complete()) << s.failure;
  EXPECT_EQ(s.resumedBytes, 0u);
  EXPECT_EQ(FlashReads(r) - readsBefore, 3u);
  ASSERT_FALSE(r.prompts.shown.empty());
  EXPECT_EQ(r.prompts.shown[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(r.prompts.shown[0].text,
            "Файл " + file + " содержит незавершённую копию этой же флеш-памяти: скопировано " +
                std::to_string(124 * 512) + " байт, копирование прервано " + endTime.substr(0, 10) +
                " " + endTime.substr(11, 8) +
                " UTC.\nПродолжить копирование с места остановки?\n(Нет: копировать заново.)");
  r.Fresh();

  // Yes: two chunks more.
  ASSERT_EQ(BreakAfterChunk(r, file, 1).outcome, CopyOutcome::Failed);
  r.prompts.answers = {MessageAnswer::Yes};
  const uint64_t readsThen = FlashReads(r);
  s = r.Run(file);
  ASSERT_TRUE(s.Complete()) << s.failure;
  EXPECT_EQ(s.resumedBytes, 124u * 512);
  EXPECT_EQ(FlashReads(r) - readsThen, 2u);
  EXPECT_SAME_BYTES(ReadFile(file), SmallCopyBytes(r, CAMERA_SECTORS));
  r.Fresh();

  // A complete copy, or one of a flash that changed since, is not offered.
  r.SetPointer(192 + 310, false);
  ASSERT_EQ(BreakAfterChunk(r, file, 1).outcome, CopyOutcome::Failed);
  r.SetPointer(192 + 300, false);
  s = r.Run(file);
  ASSERT_TRUE(s.Complete()) << s.failure;
  EXPECT_TRUE(r.prompts.shown.empty()) << r.prompts.shown[0].text;
}

}  // namespace
}  // namespace bf::test
