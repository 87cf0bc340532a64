// The type 2 copy end to end: the range chooser and its callback, the boundary searches, the
// chunking and the two files of a range past the end of the flash.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "CopyRig.h"
#include "flash/FlashReply.h"
#include "flash/NandReadout.h"
#include "recordings/FrameIndex.h"
#include "recordings/Recording.h"

namespace bf::test {
namespace {

void WriteEnd(CopyRig& r, uint64_t d9At) {
  const uint8_t pair[2] = {0xFF, 0xD9};
  r.Flash().Store().Write(d9At - 1, pair, 2);
}

TEST(NandCopy, ExactChunkIsOneRequestAndOneOverIsTwo) {
  for (uint32_t size : {524'289u, 524'290u}) {
    CopyRig r(CAMERA_NAND_PAGES);
    r.WriteFrames(0, 3);
    r.SetPointer(size - 1, false);
    r.chooser.range = {{0, 0}};
    const std::string file = r.dir.File("exact.bfk");
    const CopySummary s = r.Run(file);
    EXPECT_EQ(s.outcome, CopyOutcome::Completed);
    EXPECT_TRUE(s.Complete());
    EXPECT_EQ(s.result, kCopyResultOk);
    EXPECT_EQ(s.totalBytes, size);
    const auto chunks = r.log->Chunks();
    if (size == 524'289u) {
      ASSERT_EQ(chunks.size(), 1u);
    } else {
      ASSERT_EQ(chunks.size(), 2u);
      EXPECT_EQ(chunks[1].start, 524'289u);
      EXPECT_EQ(chunks[1].asked, 1u);
    }
    EXPECT_EQ(chunks[0].asked, 524'289u);
    const auto bytes = ReadFile(file);
    EXPECT_SAME_BYTES(bytes, r.LinearBytes(0, size - 1));
    EXPECT_EQ(BuildFrameIndex(bytes).size(), 3u);
    EXPECT_EQ(r.chooser.seenPointerSector, 0);
    EXPECT_EQ(r.chooser.seenWrap, 0);
  }
}

TEST(NandCopy, EndSectorOfThePointerCopiesUpToTheByteAtThePointer) {
  CopyRig r(CAMERA_NAND_PAGES);
  const uint32_t sector3 = 3 * kNandSectorBytes;
  r.WriteFiller(sector3, 700, 0x21);
  r.WriteFrames(sector3 + 700, 2);
  const uint32_t pointer = 5 * kNandSectorBytes + 12'345;
  r.SetPointer(pointer, false);
  r.chooser.range = {{3, 5}};
  const std::string file = r.dir.File("ptr.bfk");
  const uint64_t readBefore = r.rig.camera->BytesRead();
  const CopySummary s = r.Run(file);
  EXPECT_EQ(s.outcome, CopyOutcome::Completed);
  EXPECT_EQ(s.totalBytes, pointer - (sector3 + 700) + 1);
  // Type, pointer, wrap, the start window, then only the copy: no trailer search.
  EXPECT_EQ(r.rig.camera->BytesRead() - readBefore, 1u + 5 + 1 + 65'535 + s.totalBytes);
  EXPECT_SAME_BYTES(ReadFile(file), r.LinearBytes(sector3 + 700, pointer));
}

TEST(NandCopy, StartSector255AndEndSector0GoIntoTwoFiles) {
  CopyRig r(CAMERA_NAND_PAGES);
  const uint32_t start = 255 * kNandSectorBytes + 100;
  r.WriteFrames(start, 2);
  r.WriteFrames(0, 2);
  const uint32_t end = kNandSectorBytes - 1 - 1000;
  WriteEnd(r, end);
  r.SetPointer(9 * kNandSectorBytes, true);
  r.chooser.range = {{255, 0}};
  const std::string file = r.dir.File("round.bfk");
  const CopySummary s = r.Run(file);
  EXPECT_EQ(s.outcome, CopyOutcome::Completed);
  EXPECT_TRUE(s.Complete());
  EXPECT_EQ(s.totalBytes, (kNandFlashBytes - start) + end + 1);
  EXPECT_EQ(r.chooser.seenWrap, 1);
  EXPECT_EQ(r.chooser.seenPointerSector, 9);
  const std::string second = file + "`.bfk";
  EXPECT_EQ(s.files, (std::vector<std::string>{second, file}));
  EXPECT_SAME_BYTES(ReadFile(file), r.LinearBytes(start, kNandLastByte));
  EXPECT_SAME_BYTES(ReadFile(second), r.LinearBytes(0, end));
  EXPECT_EQ(BuildFrameIndex(ReadFile(second)).size(), 2u);
  for (const CopyChunk& c : r.log->Chunks()) EXPECT_EQ(c.fileIndex, c.start >= start ? 0u : 1u);
}

TEST(NandCopy, TheTwoFilesOfARangePastTheEndOpenAsOneRecording) {
  // A camera that went round: its recordings run over the end of the flash into sector 0.
  sim::SimOptions options = CopyRig::Options(CAMERA_NAND_PAGES);
  options.prefillWrapped = true;
  options.prefillFrames = 120;
  CopyRig r(options);
  r.chooser.range = {{255, 0}};
  const std::string file = r.dir.File("round.bfk");
  const CopySummary s = r.Run(file);
  ASSERT_EQ(s.outcome, CopyOutcome::Completed);
  const std::string second = SecondFileName(file);
  std::vector<uint8_t> both = ReadFile(file);
  const std::size_t seam = both.size();
  const std::vector<uint8_t> tail = ReadFile(second);
  both.insert(both.end(), tail.begin(), tail.end());
  const FrameIndex whole = BuildFrameIndex(both);
  const auto across = std::find_if(whole.begin(), whole.end(), [&](const FrameIndexEntry& e) {
    return e.offset < seam && e.PayloadOffset() + PayloadLength(e.header) > seam;
  });
  ASSERT_NE(across, whole.end()) << "no frame runs over the end of the flash";

  for (const std::string& name : {file, second}) {
    SCOPED_TRACE(name);
    Recording recording;
    ASSERT_EQ(recording.Open(name, kAllFrames, Recording::Pairing::JoinSecond),
              Recording::OpenStatus::Opened);
    EXPECT_TRUE(recording.IsJoined());
    ASSERT_EQ(recording.Count(), whole.size());
    const auto i = static_cast<std::size_t>(across - whole.begin());
    std::vector<uint8_t> payload;
    ASSERT_TRUE(recording.ReadPayload(i, payload));
    ASSERT_EQ(payload.size(), PayloadLength(across->header));
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(),
                           both.begin() + static_cast<std::ptrdiff_t>(across->PayloadOffset())));
    // The frame the end of the flash cut in two is a picture again.
    EXPECT_EQ(payload[payload.size() - 2], 0xFF);
    EXPECT_EQ(payload[payload.size() - 1], 0xD9);
  }
  Recording alone;
  ASSERT_EQ(alone.Open(file), Recording::OpenStatus::Opened);
  EXPECT_LT(alone.Count(), whole.size());
  alone.Close();  // Windows removes no file that is still open
  std::filesystem::remove(file);
  EXPECT_EQ(alone.Open(second, kAllFrames, Recording::Pairing::JoinSecond),
            Recording::OpenStatus::NotRecording);
}

TEST(NandCopy, SecondFileName) {
  EXPECT_EQ(SecondFileName("/rec/day1.bfk"), "/rec/day1.bfk`.bfk");
  EXPECT_EQ(SecondFileName("/rec.d/day1"), "/rec.d/day1`.");
  EXPECT_EQ(SecondFileName("C:\\rec\\a.b.raw"), "C:\\rec\\a.b.raw`.raw");
}

TEST(NandCopy, BoundaryWithoutFrameOrTrailerLeavesTheFileEmpty) {
  for (bool noHeader : {true, false}) {
    CopyRig r(CAMERA_NAND_PAGES);
    if (!noHeader) r.WriteFrames(kNandSectorBytes, 1);
    r.SetPointer(8 * kNandSectorBytes, false);
    r.chooser.range = {{1, 2}};  // sector 2 is erased: no FF D9 there
    const std::string file = r.dir.File("edge.bfk");
    const CopySummary s = r.Run(file);
    EXPECT_EQ(s.outcome, CopyOutcome::NoFrame);
    EXPECT_EQ(s.result, kCopyResultCancel);
    ASSERT_EQ(r.prompts.shown.size(), 1u);
    EXPECT_EQ(r.prompts.shown[0].text, noHeader ? "Начальный блок не содержит заголовка JPEG"
                                                : "Конечный блок не содержит хвостовика JPEG");
    EXPECT_EQ(r.prompts.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(std::filesystem::file_size(file), 0u);
    EXPECT_TRUE(r.host->tickStarts.empty());
  }
}

TEST(NandCopy, DeclinedRangeOrFileAndEmptyFlash) {
  {
    CopyRig r(CAMERA_NAND_PAGES);
    const CopySummary s = r.Run(r.dir.File("x.bfk"));
    EXPECT_EQ(s.outcome, CopyOutcome::FlashEmpty);
    EXPECT_EQ(r.chooser.calls, 0);
  }
  {
    CopyRig r(CAMERA_NAND_PAGES);
    r.SetPointer(100, false);
    const CopySummary s = r.Run(r.dir.File("x.bfk"));  // the chooser declines
    EXPECT_EQ(s.outcome, CopyOutcome::Declined);
    EXPECT_EQ(s.result, kCopyResultCancel);
    EXPECT_TRUE(r.prompts.saveRequests.empty());
  }
  CopyRig r(CAMERA_NAND_PAGES);
  r.SetPointer(100, false);
  r.chooser.range = {{0, 0}};
  const CopySummary s = r.Run(std::nullopt);
  EXPECT_EQ(s.outcome, CopyOutcome::Declined);
  EXPECT_EQ(s.result, kCopyResultCancel);
}

TEST(NandCopy, CallbackGivesTheFirstHeaderOfASector) {
  CopyRig r(CAMERA_NAND_PAGES);
  r.WriteFiller(2 * kNandSectorBytes, 40, 0x01);
  r.WriteFrames(2 * kNandSectorBytes + 40, 1, 1'300'000'000);
  r.SetPointer(3 * kNandSectorBytes, false);
  r.chooser.look = {2, 7};
  r.Run(r.dir.File("x.bfk"));
  ASSERT_EQ(r.chooser.answers.size(), 2u);
  EXPECT_TRUE(r.chooser.answers[0].found);
  EXPECT_TRUE(IsFrameHeader(r.chooser.answers[0].header));
  EXPECT_EQ(r.chooser.answers[0].header.Timestamp(), 1'300'000'000u);
  EXPECT_FALSE(r.chooser.answers[1].found);
}

TEST(NandCopy, FindJpegEndAtTheWindowsFirstBytes) {
  CopyRig r(CAMERA_NAND_PAGES);
  const uint32_t address = 10 * kNandSectorBytes + 0x3F'FFFF;
  const uint32_t windowStart = address - 65'534;
  WriteEnd(r, windowStart + 1);  // FF at offset 0, D9 at offset 1
  uint32_t found = address;
  ASSERT_TRUE(FindJpegEnd(r.rig.link, found));
  EXPECT_EQ(found, windowStart + 1);

  CopyRig d9Only(CAMERA_NAND_PAGES);
  WriteEnd(d9Only, windowStart);  // its FF lies before the window
  found = address;
  EXPECT_FALSE(FindJpegEnd(d9Only.rig.link, found));
  EXPECT_EQ(found, address);

  CopyRig low(CAMERA_NAND_PAGES);
  WriteEnd(low, 1);
  found = 500;  // below a whole window: 0 to the address
  ASSERT_TRUE(FindJpegEnd(low.rig.link, found));
  EXPECT_EQ(found, 1u);
}

TEST(NandCopy, FindFrameHeaderIgnoresAHeaderInTheLast15Bytes) {
  CopyRig r(CAMERA_NAND_PAGES);
  const uint32_t sector = 4 * kNandSectorBytes;
  r.WriteFiller(sector, 65'535, 0x00);
  r.WriteFrames(sector + 65'535 - 15, 1);
  uint32_t address = sector;
  EXPECT_FALSE(FindFrameHeader(r.rig.link, address, nullptr));
  EXPECT_EQ(address, sector);
  r.WriteFrames(sector + 65'535 - 16, 1);
  FrameHeader header;
  ASSERT_TRUE(FindFrameHeader(r.rig.link, address, header.bytes.data()));
  EXPECT_EQ(address, sector + 65'535 - 16);
  EXPECT_TRUE(IsFrameHeader(header));
}

TEST(NandCopy, ShortBoundaryWindowShowsItsTextAndCloses) {
  CopyRig r(CAMERA_NAND_PAGES);
  r.WriteFrames(0, 1);
  r.SetPointer(kNandSectorBytes * 2, false);
  r.chooser.range = {{0, 1}};
  r.prompts.onSaveDialog = [&] { r.rig.camera->SetDropReplyBytes(1); };
  const CopySummary s = r.Run(r.dir.File("x.bfk"));
  EXPECT_EQ(s.outcome, CopyOutcome::Failed);
  EXPECT_EQ(r.prompts.Texts(), std::vector<std::string>{"Read 64k-block error!"});
  EXPECT_EQ(s.result, kCopyResultOk);
}

TEST(NandCopy, FailureInsideTheChooserIsShownWhenItReturns) {
  CopyRig r(CAMERA_NAND_PAGES);
  r.SetPointer(kNandSectorBytes, false);
  r.chooser.look = {0, 1, 2};
  r.chooser.range = {{0, 1}};
  // Type, pointer and wrap flag are a command, a read and a queue check each; the 10th call
  // is the first window's request.
  r.rig.camera->FailCall(r.rig.camera->CallCount() + 10, ftstatus::kIoError);
  const uint64_t before = r.rig.camera->CallCount();
  const CopySummary s = r.Run(r.dir.File("x.bfk"));
  EXPECT_EQ(s.outcome, CopyOutcome::Failed);
  EXPECT_EQ(r.prompts.Texts(), std::vector<std::string>{"Ошибка ввода/вывода"});
  EXPECT_TRUE(r.prompts.saveRequests.empty());
  EXPECT_EQ(r.rig.camera->CallCount() - before, 10u + 1)
      << "later callbacks leave the link alone; then the purge";
}

TEST(NandCopy, CancelEndsAfterThatChunkAndSilenceEndsAsAFailure) {
  {
    CopyRig r(CAMERA_NAND_PAGES);
    r.WriteFrames(0, 2);
    r.SetPointer(5'000'000, false);
    r.chooser.range = {{0, 1}};
    CopySession& session = r.NewSession(r.dir.File("c.bfk"));
    r.prompts.onPump = [&] {
      if (r.prompts.pumps == 2) session.Cancel();
    };
    session.Run();
    const CopySummary s = session.Summary();
    EXPECT_EQ(s.outcome, CopyOutcome::Cancelled);
    EXPECT_EQ(s.result, kCopyResultOk);
    EXPECT_EQ(s.chunks, 2u);
    EXPECT_SAME_BYTES(ReadFile(r.dir.File("c.bfk")), r.LinearBytes(0, 2 * 524'289 - 1));
  }
  CopyRig r(CAMERA_NAND_PAGES);
  r.WriteFrames(0, 2);
  r.SetPointer(2'000'000, false);
  r.chooser.range = {{0, 0}};
  sim::SimCamera& camera = *r.rig.camera;
  r.prompts.onSaveDialog = [&] { camera.SilentAfterReadBytes(camera.BytesRead() + 65'535 + 1000); };
  const CopySummary s = r.Run(r.dir.File("s.bfk"));
  EXPECT_EQ(s.outcome, CopyOutcome::Failed);
  EXPECT_EQ(r.prompts.Texts(), std::vector<std::string>{kBadFlashReplyText});
  EXPECT_EQ(s.chunks, 0u);
  EXPECT_EQ(s.doneBytes, 0u);
  EXPECT_EQ(camera.Model().CommandCount(CMD_READ_FLASH), 2u) << "the window and one chunk";
  EXPECT_EQ(std::filesystem::file_size(r.dir.File("s.bfk")), 0u);
}

}  // namespace
}  // namespace bf::test
