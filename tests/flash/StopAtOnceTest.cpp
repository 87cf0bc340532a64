// Stopping a copy at once on a slow link: the chunk under way is given up within one library
// read instead of arriving whole first, and the copy ends as cancelled with the chunks before it.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "CopyRig.h"

namespace bf::test {
namespace {

// Passes every call to the camera and tells the test after each read.
class ReadWatch final : public D2xxBackend {
 public:
  explicit ReadWatch(std::shared_ptr<D2xxBackend> inner) : inner_(std::move(inner)) {}
  std::function<void(uint32_t got)> afterRead;  // on the thread that reads

  FtStatus Open(uint32_t index, FtHandle* handle) override { return inner_->Open(index, handle); }
  FtStatus Close(FtHandle h) override { return inner_->Close(h); }
  FtStatus Read(FtHandle h, void* buffer, uint32_t count, uint32_t* read) override {
    const FtStatus status = inner_->Read(h, buffer, count, read);
    if (afterRead) afterRead(*read);
    return status;
  }
  FtStatus Write(FtHandle h, const void* buffer, uint32_t count, uint32_t* written) override {
    return inner_->Write(h, buffer, count, written);
  }
  FtStatus ResetDevice(FtHandle h) override { return inner_->ResetDevice(h); }
  FtStatus Purge(FtHandle h, uint32_t mask) override { return inner_->Purge(h, mask); }
  FtStatus SetTimeouts(FtHandle h, uint32_t r, uint32_t w) override {
    return inner_->SetTimeouts(h, r, w);
  }
  FtStatus GetQueueStatus(FtHandle h, uint32_t* rx) override {
    return inner_->GetQueueStatus(h, rx);
  }
  FtStatus SetEventNotification(FtHandle h, uint32_t mask, void* p) override {
    return inner_->SetEventNotification(h, mask, p);
  }
  FtStatus GetStatus(FtHandle h, uint32_t* rx, uint32_t* tx, uint32_t* ev) override {
    return inner_->GetStatus(h, rx, tx, ev);
  }

 private:
  std::shared_ptr<D2xxBackend> inner_;
};

class StopAtOnce : public ::testing::TestWithParam<CameraType> {};

TEST_P(StopAtOnce, TheChunkUnderWayIsGivenUpAndTheWholeOnesAreKept) {
  const CameraType type = GetParam();
  for (bool existing : {false, true}) {
    SCOPED_TRACE(existing ? "over an existing file" : "into a new name");
    CopyRig r(type);
    PrepareSmallCopy(r, type);
    r.rig.link.Close();
    auto watch = std::make_shared<ReadWatch>(r.rig.camera);
    FTD2xx link(watch, r.rig.clock);
    link.Open(0);

    const std::string file = r.dir.File("slow.bfk");
    if (existing) std::ofstream(file) << "an earlier copy";
    r.prompts.saveFiles = {file};
    CopyServices services{link, r.prompts, *r.host, r.chooser, r.log.get(), {}};
    services.requests = &r.prompts;
    CopySession session(services);
    // After the first whole chunk the link slows to 2 kB/s; the second Ctrl-C comes as soon as
    // the next chunk has begun to arrive.
    std::atomic<bool> slow{false};
    std::atomic<bool> stopped{false};
    std::atomic<uint64_t> stoppedAtMs{0};
    r.log->At(1, [&] {
      r.rig.camera->SetBytesPerSecond(2000);
      slow = true;
    });
    watch->afterRead = [&](uint32_t got) {
      if (slow && got > 0 && !stopped.exchange(true)) {
        stoppedAtMs = r.rig.clock.NowMs();
        session.StopAtOnce();
      }
    };
    session.Run();
    ASSERT_TRUE(stopped) << static_cast<int>(session.Summary().outcome) << " "
                         << session.Summary().failure << " " << session.Summary().chunks;

    const CopySummary s = session.Summary();
    EXPECT_EQ(s.outcome, CopyOutcome::Cancelled);
    EXPECT_TRUE(s.failure.empty()) << s.failure;
    EXPECT_EQ(s.chunks, 1u);
    EXPECT_EQ(s.shortChunks, 0u) << "a chunk given up is no short reply";
    // Given up within one library read, not after the rest of the chunk (half a minute and
    // more at this speed).
    EXPECT_LE(r.rig.clock.NowMs() - stoppedAtMs, 2 * FTD2xx::kOpenTimeoutMs);
    ASSERT_EQ(r.log->Chunks().size(), 1u);
    const CopyChunk c = r.log->Chunks()[0];
    uint64_t address = c.start;
    if (type == CAMERA_SECTORS) address *= kSectorSize;
    if (type == CAMERA_PACKED_PAGES) address = PackedToLinear(c.start);
    const std::string kept = existing ? r.dir.File("slow.partial.bfk") : file;
    EXPECT_SAME_BYTES(ReadFile(kept), r.rig.camera->FlashBytes(address, c.received));
    if (existing) {
      const auto old = ReadFile(file);
      EXPECT_EQ(std::string(old.begin(), old.end()), "an earlier copy");
    }
  }
}

TEST(StopAtOnceInASearch, TheBoundaryWindowIsGivenUpToo) {
  for (CameraType type : {CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES}) {
    SCOPED_TRACE(type);
    CopyRig r(type);
    if (type == CAMERA_PACKED_PAGES) {
      // Wrapped: the first frame is looked for in the 128 KiB block after the pointer's.
      r.WriteFrames(PackedToLinear(MakePackedAddress(64, 100)), 3);
      r.SetPointer(MakePackedAddress(10, 0), true);
    } else {
      PrepareSmallCopy(r, type);  // the start sector's first 64 KiB are searched for a frame
    }
    r.rig.link.Close();
    auto watch = std::make_shared<ReadWatch>(r.rig.camera);
    FTD2xx link(watch, r.rig.clock);
    link.Open(0);
    const std::string file = r.dir.File("search.bfk");
    r.prompts.saveFiles = {file};
    CopyServices services{link, r.prompts, *r.host, r.chooser, r.log.get(), {}};
    services.requests = &r.prompts;
    CopySession session(services);
    std::atomic<bool> slow{false};
    std::atomic<bool> stopped{false};
    uint64_t stoppedAtMs = 0;
    r.prompts.onSaveDialog = [&] {
      r.rig.camera->SetBytesPerSecond(2000);
      slow = true;
    };
    watch->afterRead = [&](uint32_t got) {
      if (slow && got > 0 && !stopped.exchange(true)) {
        stoppedAtMs = r.rig.clock.NowMs();
        session.StopAtOnce();
      }
    };
    session.Run();
    ASSERT_TRUE(stopped);
    const CopySummary s = session.Summary();
    EXPECT_EQ(s.outcome, CopyOutcome::Cancelled);
    EXPECT_EQ(s.chunks, 0u);
    EXPECT_TRUE(r.prompts.shown.empty()) << r.prompts.shown.front().text;
    EXPECT_LE(r.rig.clock.NowMs() - stoppedAtMs, 2 * FTD2xx::kOpenTimeoutMs)
        << "not after the rest of the window (half a minute and more)";
    EXPECT_EQ(ReadFile(file).size(), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, StopAtOnce,
                         ::testing::Values(CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES));

}  // namespace
}  // namespace bf::test
