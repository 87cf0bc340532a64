// The three flash copies on the wire, each plain, over a wrapped flash and cancelled after a few
// chunks, and a copy that loses the camera halfway.
#include <gtest/gtest.h>

#include <atomic>
#include <optional>

#include "flash/CopySession.h"
#include "flash/RangeChooser.h"
#include "golden/GoldenTrace.h"

namespace bf::test {
namespace {

class CopyWindow final : public CopyDialogHost {
 public:
  void StartTicks(CopyClock) override {}
  void StopTicks() override {}
  void ShowProgress(const CopyDisplay&) override {}
  void CloseDialog(int) override { ++closes; }

  int closes = 0;
};

// Looks at the first sector's header, then picks the range.
class FixedRange final : public RangeChooser {
 public:
  FixedRange(uint8_t first, uint8_t last) : first_(first), last_(last) {}
  std::optional<SectorRange> ChooseRange(uint8_t, bool, const SectorHeaderLookup& lookup) override {
    lookup(first_);
    return SectorRange{first_, last_};
  }

 private:
  uint8_t first_;
  uint8_t last_;
};

// Cancels the copy once `after` chunks have come.
class CancelAfter final : public CopyProgressSink {
 public:
  explicit CancelAfter(uint32_t after) : after_(after) {}
  void OnChunk(const CopyChunk&) override {
    if (after_ != 0 && ++seen_ == after_ && session != nullptr) session->Cancel();
  }
  CopySession* session = nullptr;

 private:
  uint32_t after_;
  std::atomic<uint32_t> seen_{0};
};

struct CopyRun {
  uint8_t firstSector = 0;
  uint8_t lastSector = 0;
  uint32_t cancelAfter = 0;
  std::function<void(GoldenRig&)> beforeCopy;
};

CopySummary RunCopy(GoldenRig& rig, const CopyRun& run) {
  rig.OpenLink();
  if (run.beforeCopy) run.beforeCopy(rig);
  rig.prompts.saveFiles.push_back(rig.Folder() + "/copy.bfk");
  CopyWindow window;
  FixedRange range(run.firstSector, run.lastSector);
  CancelAfter cancel(run.cancelAfter);
  CopyServices services{*rig.link, rig.prompts, window, range, &cancel, {}};
  services.readCameraClock = true;
  CopySession session(services);
  cancel.session = &session;
  session.Run();
  EXPECT_EQ(window.closes, 1);
  return session.Summary();
}

sim::SimOptions Camera(CameraType type, bool wrapped) {
  sim::SimOptions options;
  options.type = type;
  options.prefillFrames = 12;
  options.prefillWrapped = wrapped;
  return options;
}

TEST(GoldenCopy, SectorsPlain) {
  GoldenRig rig(Camera(CAMERA_SECTORS, false));
  EXPECT_TRUE(RunCopy(rig, {}).Complete());
  ExpectGoldenTrace("copy_sectors", rig.TraceLines());
}

TEST(GoldenCopy, SectorsWrapped) {
  GoldenRig rig(Camera(CAMERA_SECTORS, true));
  EXPECT_TRUE(RunCopy(rig, {}).Complete());
  ExpectGoldenTrace("copy_sectors_wrapped", rig.TraceLines());
}

TEST(GoldenCopy, SectorsCancelled) {
  GoldenRig rig(Camera(CAMERA_SECTORS, true));
  EXPECT_EQ(RunCopy(rig, {0, 0, 3, {}}).outcome, CopyOutcome::Cancelled);
  ExpectGoldenTrace("copy_sectors_cancel", rig.TraceLines());
}

TEST(GoldenCopy, PackedPlain) {
  GoldenRig rig(Camera(CAMERA_PACKED_PAGES, false));
  EXPECT_TRUE(RunCopy(rig, {}).Complete());
  ExpectGoldenTrace("copy_packed", rig.TraceLines());
}

TEST(GoldenCopy, PackedWrapped) {
  GoldenRig rig(Camera(CAMERA_PACKED_PAGES, true));
  EXPECT_TRUE(RunCopy(rig, {}).Complete());
  ExpectGoldenTrace("copy_packed_wrapped", rig.TraceLines());
}

TEST(GoldenCopy, PackedCancelled) {
  GoldenRig rig(Camera(CAMERA_PACKED_PAGES, true));
  EXPECT_EQ(RunCopy(rig, {0, 0, 3, {}}).outcome, CopyOutcome::Cancelled);
  ExpectGoldenTrace("copy_packed_cancel", rig.TraceLines());
}

TEST(GoldenCopy, NandPlain) {
  GoldenRig rig(Camera(CAMERA_NAND_PAGES, false));
  EXPECT_TRUE(RunCopy(rig, {0, 0, 0, {}}).Complete());
  ExpectGoldenTrace("copy_nand", rig.TraceLines());
}

TEST(GoldenCopy, NandPastTheEnd) {
  GoldenRig rig(Camera(CAMERA_NAND_PAGES, true));
  const CopySummary summary = RunCopy(rig, {255, 0, 0, {}});
  EXPECT_EQ(summary.files.size(), 2u) << summary.failure;
  ExpectGoldenTrace("copy_nand_wrapped", rig.TraceLines());
}

TEST(GoldenCopy, NandCancelled) {
  GoldenRig rig(Camera(CAMERA_NAND_PAGES, true));
  EXPECT_EQ(RunCopy(rig, {255, 0, 3, {}}).outcome, CopyOutcome::Cancelled);
  ExpectGoldenTrace("copy_nand_cancel", rig.TraceLines());
}

TEST(GoldenCopy, PackedUnpluggedHalfway) {
  GoldenRig rig(Camera(CAMERA_PACKED_PAGES, true));
  const CopySummary summary = RunCopy(
      rig, {0, 0, 0, [](GoldenRig& r) { r.camera->UnplugAfterCalls(r.camera->CallCount() + 30); }});
  EXPECT_EQ(summary.outcome, CopyOutcome::Failed);
  ExpectGoldenTrace("copy_packed_unplugged", rig.TraceLines());
}

TEST(GoldenCopy, SectorsUnpluggedHalfway) {
  GoldenRig rig(Camera(CAMERA_SECTORS, true));
  const CopySummary summary = RunCopy(
      rig, {0, 0, 0, [](GoldenRig& r) { r.camera->UnplugAfterCalls(r.camera->CallCount() + 30); }});
  EXPECT_EQ(summary.outcome, CopyOutcome::Failed);
  ExpectGoldenTrace("copy_sectors_unplugged", rig.TraceLines());
}

}  // namespace
}  // namespace bf::test
