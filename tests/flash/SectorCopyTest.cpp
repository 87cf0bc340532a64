// The type 0 copy end to end through the simulated camera: the worker thread, its zone walk,
// the file it leaves and every way it ends.
#include <gtest/gtest.h>

#include "CopyRig.h"
#include "flash/FlashReply.h"
#include "flash/SectorReadout.h"
#include "recordings/FrameIndex.h"

namespace bf::test {
namespace {

constexpr uint32_t kChunk = 124 * kSectorSize;

uint64_t At(uint32_t sector) {
  return uint64_t{sector} * kSectorSize;
}

// Cancels at the copying thread's k-th chunk, after a tick, so that exactly k chunks are copied.
void CancelAtChunk(CopyRig& r, std::size_t k) {
  r.log->At(k, [&r] {
    r.session->OnTick(CopyClock::TickSeconds);
    r.session->Cancel();
  });
}

TEST(SectorCopy, NotWrappedCopiesZoneByZoneUpToThePointer) {
  CopyRig r(CAMERA_SECTORS);
  r.WriteFrames(At(192), 3);
  r.WriteFiller(At(32'768), 10 * kSectorSize, 0x33);
  r.SetPointer(32'768 + 10, false);
  const std::string file = r.dir.File("zone.bfk");
  const CopySummary s = r.Run(file);

  EXPECT_EQ(s.outcome, CopyOutcome::Completed);
  EXPECT_TRUE(s.Complete());
  EXPECT_EQ(s.result, kCopyResultCancel) << "the sector copy always closes with 2";
  EXPECT_EQ(s.totalBytes, 32'010u * 512);
  EXPECT_EQ(s.doneBytes, s.totalBytes);
  EXPECT_EQ(r.host->tickStarts, std::vector<CopyClock>{CopyClock::TickSeconds});
  const auto chunks = r.log->Chunks();
  ASSERT_EQ(chunks.size(), 258u + 1 + 1);
  for (std::size_t i = 0; i < 258; ++i) {
    EXPECT_EQ(chunks[i].start, 192 + 124 * i);
    EXPECT_EQ(chunks[i].asked, kChunk);
  }
  EXPECT_EQ(chunks[258].start, 192u + 258 * 124);
  EXPECT_EQ(chunks[258].asked, 8u * 512) << "the last chunk of zone 0";
  EXPECT_EQ(chunks[259].start, 32'768u);
  EXPECT_EQ(chunks[259].asked, 10u * 512);

  const auto bytes = ReadFile(file);
  EXPECT_SAME_BYTES(bytes, r.SectorBytes(192, 32'778));
  const FrameIndex index = BuildFrameIndex(bytes);
  ASSERT_EQ(index.size(), 3u);
  EXPECT_EQ(index[0].offset, 0u);
  EXPECT_EQ(s.files, std::vector<std::string>{file});
  EXPECT_TRUE(r.prompts.shown.empty());
  ASSERT_EQ(r.prompts.saveRequests.size(), 1u);
  EXPECT_EQ(r.prompts.saveRequests[0].filter, "Brindle file (*.bfk)|*.bfk|All files (*.*)|*.*||");
  EXPECT_EQ(r.prompts.saveRequests[0].defaultExtension, "bfk");
  EXPECT_TRUE(r.prompts.saveRequests[0].confirmOverwrite);
  EXPECT_TRUE(r.prompts.saveRequests[0].hideReadOnly);
}

TEST(SectorCopy, WrappedFromZoneSevenGoesOnAtSector192) {
  CopyRig r(CAMERA_SECTORS);
  const uint32_t pointer = 7 * kZoneSectors + 100;
  const uint32_t frameSector = pointer + 512 + 3;  // the first probes find erased flash
  r.WriteFrames(At(frameSector), 2, 1'000);
  r.WriteFrames(At(192), 2, 2'000);
  r.SetPointer(pointer, true);
  const std::string file = r.dir.File("wrapped.bfk");
  const CopySummary s = r.Run(file);

  EXPECT_EQ(s.outcome, CopyOutcome::Completed);
  EXPECT_EQ(s.totalBytes, CountDataSectors(frameSector, pointer) * 512);
  const auto chunks = r.log->Chunks();
  ASSERT_FALSE(chunks.empty());
  EXPECT_EQ(chunks[0].start, frameSector);
  const auto zone7End =
      std::find_if(chunks.begin(), chunks.end(), [](const CopyChunk& c) { return c.start == 192; });
  ASSERT_NE(zone7End, chunks.end());
  const auto before = *(zone7End - 1);
  EXPECT_EQ(before.start + before.asked / 512, 7 * kZoneSectors + 32'000u);
  EXPECT_EQ(chunks.back().start + chunks.back().asked / 512, pointer);
  const auto bytes = ReadFile(file);
  EXPECT_SAME_BYTES(bytes, r.SectorBytes(frameSector, pointer));
  EXPECT_EQ(BuildFrameIndex(bytes).size(), 2u) << "the old frames, then erased flash";
}

TEST(SectorCopy, EmptyFlashWrongTypeAndSilentCamera) {
  {
    CopyRig r(CAMERA_SECTORS);
    const CopySummary s = r.Run(r.dir.File("x.bfk"));
    EXPECT_EQ(s.outcome, CopyOutcome::FlashEmpty);
    EXPECT_EQ(s.result, kCopyResultCancel);
    EXPECT_EQ(r.prompts.Texts(), std::vector<std::string>{"Флеш-память камеры пуста"});
    EXPECT_EQ(r.prompts.shown[0].icon, MessageIcon::None);
    EXPECT_TRUE(r.prompts.saveRequests.empty());
  }
  for (bool mute : {false, true}) {
    sim::SimOptions o;
    if (mute) {
      o.mute = true;
    } else {
      o.typeReply = 3;
    }
    CopyRig r(o);
    const CopySummary s = r.Run(r.dir.File("x.bfk"));
    EXPECT_EQ(s.outcome, CopyOutcome::WrongType);
    EXPECT_EQ(s.cameraType, mute ? 0xFF : 3);
    EXPECT_EQ(s.result, kCopyResultOk);
    EXPECT_EQ(r.prompts.Texts(),
              std::vector<std::string>{"Не возможно сохранить. Неправильный тип камеры."});
    EXPECT_EQ(r.prompts.shown[0].icon, MessageIcon::None);
    EXPECT_TRUE(r.prompts.saveRequests.empty());
  }
}

TEST(SectorCopy, PointerZeroOfASilentCameraIsAGeneralFailure) {
  sim::SimOptions o;
  o.silentAfterBytes = 1;  // the type comes, the pointer does not
  CopyRig r(o);
  const CopySummary s = r.Run(r.dir.File("x.bfk"));
  EXPECT_EQ(s.outcome, CopyOutcome::Failed);
  EXPECT_EQ(r.prompts.Texts(), std::vector<std::string>{"Out of memory."});
  EXPECT_EQ(r.prompts.shown[0].icon, MessageIcon::Warning);
  EXPECT_EQ(s.chunks, 0u);
  EXPECT_EQ(s.result, kCopyResultCancel);
}

TEST(SectorCopy, WrappedWithoutAFrameAfterThePointer) {
  CopyRig r(CAMERA_SECTORS);
  r.WriteFrames(At(192), 1);
  r.SetPointer(5'000, true);
  const std::string file = r.dir.File("none.bfk");
  const CopySummary s = r.Run(file);
  EXPECT_EQ(s.outcome, CopyOutcome::NoFrame);
  EXPECT_EQ(s.result, kCopyResultCancel);
  ASSERT_EQ(r.prompts.shown.size(), 1u);
  EXPECT_EQ(r.prompts.shown[0].text,
            "Не возможно сохранить. \nОшибка при чтении содержимого памяти");
  EXPECT_EQ(r.prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(r.rig.camera->BytesRead(), 1u + 4 + 1 + 256u * 512) << "256 probes of one sector";
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(std::filesystem::file_size(file), 0u);
}

TEST(SectorCopy, FindFirstFrameSectorStepsOverTheZoneGap) {
  CopyRig r(CAMERA_SECTORS);
  r.WriteFrames(At(32'768 + 3), 1);
  EXPECT_EQ(FindFirstFrameSector(r.rig.link, 32'100), std::optional<uint32_t>(32'771));
  EXPECT_EQ(FindFirstFrameSector(r.rig.link, 40'000), std::nullopt);
}

TEST(SectorCopy, CancelClosesAfterTheChunkUnderWay) {
  CopyRig r(CAMERA_SECTORS);
  r.WriteFrames(At(192), 4);
  r.SetPointer(192 + 2'000, false);
  CancelAtChunk(r, 5);
  const std::string file = r.dir.File("cancel.bfk");
  const CopySummary s = r.Run(file);
  EXPECT_EQ(s.outcome, CopyOutcome::Cancelled);
  EXPECT_EQ(s.result, kCopyResultCancel);
  EXPECT_EQ(s.chunks, 5u);
  EXPECT_EQ(s.doneBytes, 5 * kChunk);
  EXPECT_FALSE(s.Complete());
  const auto bytes = ReadFile(file);
  EXPECT_SAME_BYTES(bytes, r.SectorBytes(192, 192 + 5 * 124));
  EXPECT_EQ(BuildFrameIndex(bytes).size(), 4u);
  // The tick ran during the copy: one second, the speed of what was done by then.
  ASSERT_EQ(r.host->shown.size(), 1u);
  EXPECT_EQ(r.host->shown[0].elapsed, "00:01");
  EXPECT_EQ(r.host->shown[0].speed, std::to_string(5 * kChunk / 1024));
  EXPECT_EQ(r.host->shown[0].position, static_cast<int>(5.0 * kChunk / (2000.0 * 512) * 1000));
}

TEST(SectorCopy, ShortChunkEndsTheCopyBeforeItReachesTheFile) {
  CopyRig r(CAMERA_SECTORS);
  r.prompts.onSaveDialog = [&] { r.rig.camera->SetDropReplyBytes(100); };
  r.WriteFiller(At(192), 300 * kSectorSize, 0xAB);
  r.SetPointer(192 + 300, false);
  const std::string file = r.dir.File("short.bfk");
  const CopySummary s = r.Run(file);
  EXPECT_EQ(s.outcome, CopyOutcome::Failed);
  EXPECT_EQ(s.result, kCopyResultCancel);
  EXPECT_EQ(s.failure, kBadFlashReplyText);
  EXPECT_EQ(s.chunks, 0u);
  EXPECT_EQ(s.shortChunks, 1u);
  EXPECT_EQ(s.doneBytes, 0u) << "nothing counted that is not in the file";
  EXPECT_FALSE(s.Complete());
  EXPECT_EQ(r.rig.camera->Model().CommandCount(CMD_READ_FLASH), 1u) << "nothing asked after it";
  EXPECT_EQ(ReadFile(file).size(), 0u);
}

TEST(SectorCopy, CameraFallingSilentMidCopyEndsAsAFailure) {
  sim::SimOptions o;
  o.silentAfterBytes = 6 + 124 * 512 + 1000;
  CopyRig r(o);
  r.WriteFiller(At(192), 600 * kSectorSize, 0x11);
  r.SetPointer(192 + 600, false);
  const std::string file = r.dir.File("silent.bfk");
  const CopySummary s = r.Run(file);
  EXPECT_EQ(s.outcome, CopyOutcome::Failed);
  EXPECT_EQ(r.prompts.Texts(), std::vector<std::string>{kBadFlashReplyText});
  EXPECT_EQ(s.chunks, 1u);
  EXPECT_EQ(r.rig.camera->Model().CommandCount(CMD_READ_FLASH), 2u) << "none after the silence";
  EXPECT_SAME_BYTES(ReadFile(file), r.SectorBytes(192, 192 + 124));  // the one whole chunk
}

}  // namespace
}  // namespace bf::test
