// The type 1 copy end to end: its chunking, the wrapped two-part copy and its ends.
#include <gtest/gtest.h>

#include "CopyRig.h"
#include "flash/FlashReply.h"
#include "flash/PackedReadout.h"
#include "recordings/FrameIndex.h"

namespace bf::test {
namespace {

constexpr uint32_t P(uint32_t page, uint32_t column) {
  return MakePackedAddress(page, column);
}

TEST(PackedCopy, PointerAtPageOneIsOneRequest) {
  CopyRig r(CAMERA_PACKED_PAGES);
  r.WriteFrames(0, 1);
  r.SetPointer(P(1, 0), false);
  const std::string file = r.dir.File("p1.bfk");
  const CopySummary s = r.Run(file);
  EXPECT_EQ(s.outcome, CopyOutcome::Completed);
  EXPECT_TRUE(s.Complete());
  EXPECT_EQ(s.result, kCopyResultOk);
  EXPECT_EQ(s.totalBytes, 2048u);
  const auto chunks = r.log->Chunks();
  ASSERT_EQ(chunks.size(), 1u);
  EXPECT_EQ(chunks[0].start, 0u);
  EXPECT_EQ(chunks[0].asked, 2048u);
  EXPECT_SAME_BYTES(ReadFile(file), r.LinearBytes(0, 2047));
  EXPECT_EQ(r.host->tickStarts, std::vector<CopyClock>{CopyClock::TransferTime});
  EXPECT_EQ(r.prompts.pumps, 1);
}

TEST(PackedCopy, PointerAtPage257IsAFullChunkThenTheRest) {
  CopyRig r(CAMERA_PACKED_PAGES);
  r.WriteFrames(0, 5);
  r.SetPointer(P(257, 0), false);
  const std::string file = r.dir.File("p257.bfk");
  const CopySummary s = r.Run(file);
  EXPECT_EQ(s.totalBytes, 526'336u);
  const auto chunks = r.log->Chunks();
  ASSERT_EQ(chunks.size(), 2u);
  EXPECT_EQ(chunks[0].start, 0u);
  EXPECT_EQ(chunks[0].asked, 524'289u);
  EXPECT_EQ(chunks[1].start, P(256, 1));
  EXPECT_EQ(chunks[1].asked, 2047u);
  const auto bytes = ReadFile(file);
  EXPECT_SAME_BYTES(bytes, r.LinearBytes(0, 526'335));
  EXPECT_EQ(BuildFrameIndex(bytes).size(), 5u);
}

TEST(PackedCopy, WrappedCopiesFromTheBlockAfterThePointerAroundTheEnd) {
  CopyRig r(CAMERA_PACKED_PAGES);
  const uint32_t pointer = P(100, 5);
  const uint32_t frame = P(128 + 1, 300);  // inside the block after the pointer's block
  r.WriteFiller(PackedToLinear(P(128, 0)), 2048 + 300, 0x44);
  r.WriteFrames(PackedToLinear(frame), 2);
  r.WriteFrames(0, 2);
  r.SetPointer(pointer, true);
  const std::string file = r.dir.File("wrapped.bfk");
  const CopySummary s = r.Run(file);
  EXPECT_EQ(s.outcome, CopyOutcome::Completed);
  EXPECT_TRUE(s.Complete());
  const uint32_t from = PackedToLinear(frame);
  EXPECT_EQ(s.totalBytes, (kPackedFlashBytes - from) + PackedToLinear(P(128, 0)));
  auto expected = r.LinearBytes(from, kPackedFlashBytes - 1);
  const auto second = r.LinearBytes(0, PackedToLinear(P(128, 0)) - 1);
  expected.insert(expected.end(), second.begin(), second.end());
  const auto bytes = ReadFile(file);
  EXPECT_SAME_BYTES(bytes, expected);
  const auto chunks = r.log->Chunks();
  EXPECT_EQ(chunks.front().start, frame);
  const auto restart =
      std::find_if(chunks.begin(), chunks.end(), [](const CopyChunk& c) { return c.start == 0; });
  ASSERT_NE(restart, chunks.end());
  EXPECT_EQ(PackedToLinear((restart - 1)->start) + (restart - 1)->asked, kPackedFlashBytes);
  EXPECT_EQ(PackedToLinear(chunks.back().start) + chunks.back().asked, PackedToLinear(P(128, 0)));
  EXPECT_EQ(BuildFrameIndex(bytes).size(), 2u) << "the two old frames, then erased flash";
}

TEST(PackedCopy, PointerInTheLastBlockStopsAtTheEndOfTheFlash) {
  CopyRig r(CAMERA_PACKED_PAGES);
  r.WriteFiller(0, 1000, 0x44);
  r.WriteFrames(1000, 1);
  r.SetPointer(P(65'500, 0), true);
  const std::string file = r.dir.File("last.bfk");
  const CopySummary s = r.Run(file);
  EXPECT_EQ(s.outcome, CopyOutcome::Completed);
  EXPECT_EQ(s.totalBytes, kPackedFlashBytes - 1000);
  EXPECT_EQ(s.doneBytes, s.totalBytes);
  const auto chunks = r.log->Chunks();
  EXPECT_EQ(chunks.front().start, P(0, 1000));
  EXPECT_NE(chunks.back().start, 0u) << "nothing from a second part";
  EXPECT_SAME_BYTES(ReadFile(file), r.LinearBytes(1000, kPackedFlashBytes - 1));
}

TEST(PackedCopy, WrappedWithoutAFrameInTheBlockAfterThePointer) {
  CopyRig r(CAMERA_PACKED_PAGES);
  r.SetPointer(P(10, 0), true);
  const CopySummary s = r.Run(r.dir.File("none.bfk"));
  EXPECT_EQ(s.outcome, CopyOutcome::NoFrame);
  EXPECT_EQ(s.result, kCopyResultOk);
  ASSERT_EQ(r.prompts.shown.size(), 1u);
  EXPECT_EQ(r.prompts.shown[0].text,
            "Не возможно сохранить. \nОшибка при чтении содержимого памяти");
  EXPECT_EQ(r.prompts.shown[0].icon, MessageIcon::Error);
}

TEST(PackedCopy, FindFirstFrameInBlockNeedsAWholeHeader) {
  CopyRig r(CAMERA_PACKED_PAGES);
  const uint32_t block = P(64, 0);
  r.WriteFiller(PackedToLinear(block), 131'072, 0x00);
  r.WriteFrames(PackedToLinear(block) + 131'072 - 15, 1);  // begins in the last 15 bytes
  EXPECT_EQ(FindFirstFrameInBlock(r.rig.link, block), std::nullopt);
  r.WriteFrames(PackedToLinear(block) + 131'072 - 16, 1);
  EXPECT_EQ(FindFirstFrameInBlock(r.rig.link, block), PackedAdvance(block, 131'072 - 16));
}

TEST(PackedCopy, EmptyFlashAndDeclinedFile) {
  {
    CopyRig r(CAMERA_PACKED_PAGES);
    const CopySummary s = r.Run(r.dir.File("x.bfk"));
    EXPECT_EQ(s.outcome, CopyOutcome::FlashEmpty);
    EXPECT_EQ(s.result, kCopyResultCancel);
  }
  CopyRig r(CAMERA_PACKED_PAGES);
  r.SetPointer(P(3, 0), false);
  const CopySummary s = r.Run(std::nullopt);
  EXPECT_EQ(s.outcome, CopyOutcome::Declined);
  EXPECT_EQ(s.result, kCopyResultCancel);
  EXPECT_EQ(s.chunks, 0u);
  EXPECT_TRUE(r.prompts.shown.empty());
}

TEST(PackedCopy, CancelDuringThePumpEndsAfterThatChunk) {
  CopyRig r(CAMERA_PACKED_PAGES);
  r.WriteFrames(0, 3);
  r.SetPointer(P(2'000, 0), false);
  CopySession& session = r.NewSession(r.dir.File("cancel.bfk"));
  r.prompts.onPump = [&] {
    r.rig.clock.Advance(1000);
    session.OnTick(CopyClock::TransferTime);
    if (r.prompts.pumps == 3) session.Cancel();
  };
  session.Run();
  EXPECT_EQ(r.host->closeCount, 1);
  const CopySummary s = session.Summary();
  EXPECT_EQ(s.outcome, CopyOutcome::Cancelled);
  EXPECT_EQ(s.result, kCopyResultOk);
  EXPECT_EQ(s.chunks, 3u);
  EXPECT_SAME_BYTES(ReadFile(r.dir.File("cancel.bfk")), r.LinearBytes(0, 3 * 524'289 - 1));
  EXPECT_FALSE(r.host->ticking);
  // The elapsed time is transfer time only: the second the test let pass in each pump is not.
  EXPECT_LT(session.ElapsedMs(), 1000u);
}

TEST(PackedCopy, ShortChunkEndsTheCopyAsAFailure) {
  CopyRig r(CAMERA_PACKED_PAGES);
  r.prompts.onSaveDialog = [&] { r.rig.camera->SetDropReplyBytes(10); };
  r.SetPointer(P(600, 0), false);
  const std::string file = r.dir.File("short.bfk");
  const CopySummary s = r.Run(file);
  EXPECT_EQ(s.outcome, CopyOutcome::Failed);
  EXPECT_EQ(s.result, kCopyResultOk);
  EXPECT_EQ(r.prompts.Texts(), std::vector<std::string>{kBadFlashReplyText});
  EXPECT_EQ(s.chunks, 0u);
  EXPECT_EQ(s.shortChunks, 1u);
  EXPECT_EQ(r.rig.camera->Model().CommandCount(CMD_READ_FLASH), 1u) << "nothing asked after it";
  EXPECT_FALSE(s.Complete());
  EXPECT_EQ(ReadFile(file).size(), 0u);
}

TEST(PackedCopy, ShortSearchWindowOfAWrappedCopyIsAFailureNotAMissingFrame) {
  CopyRig r(CAMERA_PACKED_PAGES);
  r.WriteFrames(PackedToLinear(P(63, 0)), 1);
  r.SetPointer(P(65'500, 0), true);  // the block after the last one is block 0
  r.prompts.onSaveDialog = [&] { r.rig.camera->SetDropReplyBytes(1); };
  const CopySummary s = r.Run(r.dir.File("tail.bfk"));
  EXPECT_EQ(s.outcome, CopyOutcome::Failed);
  EXPECT_EQ(s.result, kCopyResultOk);
  ASSERT_EQ(r.prompts.shown.size(), 1u);
  EXPECT_EQ(r.prompts.shown[0].text, kBadFlashReplyText);
  EXPECT_EQ(r.prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(s.chunks, 0u);
  EXPECT_EQ(r.rig.camera->Model().CommandCount(CMD_READ_FLASH), 1u) << "the window only";
}

}  // namespace
}  // namespace bf::test
