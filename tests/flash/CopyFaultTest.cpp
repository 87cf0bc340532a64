// Every device call of each flow failing once, and the device unplugging from it on; file
// failures. Each must end with the right message, a file holding exactly the chunks reported,
// and a next copy that succeeds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <iterator>

#include "CopyRig.h"
#include "link/FTDException.h"
#include "link/StatusText.h"
#include "support/MissingFolderText.h"
#include "support/WindowsFiles.h"

namespace bf::test {
namespace {

constexpr uint32_t P(uint32_t page, uint32_t column) {
  return MakePackedAddress(page, column);
}

// The bytes the file must hold: each reported chunk's first bytes as the camera holds them
// (type 0 chunks at their full length, what did not arrive as zeros).
std::vector<uint8_t> ExpectedFile(CopyRig& r, CameraType type) {
  std::vector<uint8_t> out;
  for (const CopyChunk& c : r.log->Chunks()) {
    uint64_t address = c.start;
    if (type == CAMERA_SECTORS) address *= kSectorSize;
    if (type == CAMERA_PACKED_PAGES) address = PackedToLinear(c.start);
    auto bytes = r.rig.camera->FlashBytes(address, c.asked);
    if (type == CAMERA_SECTORS) {
      std::fill(bytes.begin() + c.received, bytes.end(), 0);
    } else {
      bytes.resize(c.received);
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

void ExpectNextCopySucceeds(CopyRig& r, CameraType type, const std::string& file) {
  r.Fresh();
  r.rig.clock.Advance(1000);  // the person reads the message and starts again
  if (r.rig.link.GetStatusCode() != 0) {
    r.rig.link.Close();
    r.rig.link.Open(0);
  }
  const CopySummary s = r.Run(file);
  EXPECT_EQ(s.outcome, CopyOutcome::Completed);
  EXPECT_TRUE(s.Complete());
  EXPECT_SAME_BYTES(ReadFile(file), ExpectedFile(r, type));
  EXPECT_TRUE(r.prompts.shown.empty());
}

class CopyFaultSweep : public ::testing::TestWithParam<CameraType> {};

TEST_P(CopyFaultSweep, EveryCallFailingOnceAndAsAnUnplug) {
  const CameraType type = GetParam();
  uint64_t calls = 0;
  {
    CopyRig r(type);
    PrepareSmallCopy(r, type);
    const uint64_t before = r.rig.camera->CallCount();
    const CopySummary s = r.Run(r.dir.File("clean.bfk"));
    ASSERT_EQ(s.outcome, CopyOutcome::Completed);
    calls = r.rig.camera->CallCount() - before;
  }
  ASSERT_GT(calls, 10u);
  for (bool unplug : {false, true}) {
    for (uint64_t n = 1; n <= calls; ++n) {
      SCOPED_TRACE((unplug ? "unplug from call " : "fail call ") + std::to_string(n));
      CopyRig r(type);
      PrepareSmallCopy(r, type);
      const uint64_t base = r.rig.camera->CallCount();
      if (unplug) {
        r.rig.camera->UnplugAfterCalls(base + n - 1);
      } else {
        r.rig.camera->FailCall(base + n, ftstatus::kIoError);
      }
      const std::string file = r.dir.File("fault.bfk");
      const CopySummary s = r.Run(file);
      if (s.outcome == CopyOutcome::Failed) {
        ASSERT_FALSE(r.prompts.shown.empty());
        EXPECT_EQ(r.prompts.shown.back().text, StatusText(ftstatus::kIoError));
        EXPECT_EQ(r.prompts.shown.back().icon, MessageIcon::Error);
        EXPECT_EQ(s.failure, StatusText(ftstatus::kIoError));
      } else {
        // A failed read of a reply looks like silence: the flow goes on without it.
        EXPECT_FALSE(unplug);
        EXPECT_NE(s.outcome, CopyOutcome::Running);
      }
      if (std::filesystem::exists(file)) {
        EXPECT_SAME_BYTES(ReadFile(file), ExpectedFile(r, type));
      }
      if (unplug) r.rig.camera->Replug();
      ExpectNextCopySucceeds(r, type, r.dir.File("next.bfk"));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, CopyFaultSweep,
                         ::testing::Values(CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES));

// Fails the k-th write with a full disk (or the open itself).
class FailingOutput final : public CopyOutput {
 public:
  FailingOutput(int failWrite, bool failOpen, int* commits)
      : failWrite_(failWrite), failOpen_(failOpen), commits_(commits) {}
  uint32_t Open(const std::string& path) override {
    path_ = path;
    return failOpen_ ? EACCES : 0;
  }
  uint32_t Write(std::span<const uint8_t> bytes) override {
    if (error_ == 0 && ++writes_ == failWrite_) error_ = ENOSPC;
    if (error_ == 0) written_ += bytes.size();
    return error_;
  }
  uint32_t Commit() override {
    ++*commits_;
    return error_;
  }
  const std::string& Path() const override { return path_; }
  uint64_t BytesWritten() const override { return written_; }

 private:
  int failWrite_;
  bool failOpen_;
  int* commits_;
  int writes_ = 0;
  uint32_t error_ = 0;
  uint64_t written_ = 0;
  std::string path_;
};

class CopyFileFaults : public ::testing::TestWithParam<CameraType> {};

TEST_P(CopyFileFaults, DiskFullEndsTheCopyWithItsFileError) {
  const CameraType type = GetParam();
  CopyRig r(type);
  PrepareSmallCopy(r, type);
  int commits = 0;
  r.makeOutput = [&] { return std::make_unique<FailingOutput>(2, false, &commits); };
  const CopySummary s = r.Run("/rec/full.bfk");
  EXPECT_EQ(s.outcome, CopyOutcome::Failed);
  EXPECT_FALSE(s.Complete());
  EXPECT_EQ(r.prompts.Texts(),
            std::vector<std::string>{"Disk full while accessing /rec/full.bfk."});
  EXPECT_EQ(r.prompts.shown[0].icon, MessageIcon::Warning);
  EXPECT_EQ(r.prompts.shown[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(commits, 1);
  EXPECT_TRUE(s.files.empty()) << "a failed file is never reported as written";
  EXPECT_EQ(s.chunks, 1u) << "the chunk whose write failed is not counted, and none follows";
}

// The file is written behind the copy: a chunk's write runs while the next one is asked for and
// received, and its failure is found when that one is handed over, or at the end for the last.
// Whichever chunk the disk fills on, the copy fails with the file's error, the counts hold only
// the chunks before it, at most the one request already out follows it, and the link is left
// clean for the next copy.
TEST_P(CopyFileFaults, DiskFullOnAnyChunkCountsOnlyTheChunksBeforeIt) {
  const CameraType type = GetParam();
  uint64_t requestsOfWholeCopy = 0;
  uint32_t chunksOfWholeCopy = 0;
  {
    CopyRig r(type);
    PrepareSmallCopy(r, type);
    const CopySummary s = r.Run(r.dir.File("whole.bfk"));
    ASSERT_TRUE(s.Complete()) << s.failure;
    requestsOfWholeCopy = r.rig.camera->Model().CommandCount(CMD_READ_FLASH);
    chunksOfWholeCopy = s.chunks;
  }
  ASSERT_GE(chunksOfWholeCopy, 3u);
  // The first, one in the middle, and the last, which no later hand-over finds.
  for (const uint32_t full : {1u, 2u, chunksOfWholeCopy}) {
    SCOPED_TRACE("disk full on chunk " + std::to_string(full));
    CopyRig r(type);
    PrepareSmallCopy(r, type);
    int commits = 0;
    r.makeOutput = [&] {
      return std::make_unique<FailingOutput>(static_cast<int>(full), false, &commits);
    };
    const CopySummary s = r.Run("/rec/full.bfk");
    EXPECT_EQ(s.outcome, CopyOutcome::Failed);
    EXPECT_EQ(r.prompts.Texts(),
              std::vector<std::string>{"Disk full while accessing /rec/full.bfk."});
    EXPECT_EQ(commits, 1);
    EXPECT_TRUE(s.files.empty());
    EXPECT_EQ(s.chunks, full - 1);
    EXPECT_EQ(s.bytesReceived, (full - 1) * CopyChunkBytes(type));
    EXPECT_EQ(s.bytesAsked, (full - 1) * CopyChunkBytes(type));
    EXPECT_EQ(s.shortChunks, 0u);
    const uint64_t unsent = chunksOfWholeCopy - std::min(full + 1, chunksOfWholeCopy);
    EXPECT_EQ(r.rig.camera->Model().CommandCount(CMD_READ_FLASH), requestsOfWholeCopy - unsent);
    r.makeOutput = {};  // the disk has room again
    ExpectNextCopySucceeds(r, type, r.dir.File("next.bfk"));
  }
}

TEST_P(CopyFileFaults, FileThatCannotBeCreatedStopsBeforeAnyCopy) {
  const CameraType type = GetParam();
  CopyRig r(type);
  PrepareSmallCopy(r, type);
  int commits = 0;
  r.makeOutput = [&] { return std::make_unique<FailingOutput>(0, true, &commits); };
  const CopySummary s = r.Run("/rec/locked.bfk");
  EXPECT_EQ(s.outcome, CopyOutcome::Failed);
  EXPECT_EQ(r.prompts.Texts(), std::vector<std::string>{"Access to /rec/locked.bfk was denied."});
  EXPECT_EQ(r.prompts.shown[0].icon, MessageIcon::Warning);
  EXPECT_EQ(s.chunks, 0u);
  EXPECT_TRUE(r.host->tickStarts.empty()) << "no copy, no ticks";
}

#ifdef _WIN32
// The real writer over a target that another program holds open without delete sharing, so it
// cannot be renamed over. Opened before the copy: refused at once. Opened once the first chunk
// is written: the copy ends failed when the file is put in place. Either way the old bytes stay,
// no temporary is left and the copy never counts as done.
class HolderAfterFirstChunk final : public CopyOutput {
 public:
  explicit HolderAfterFirstChunk(std::unique_ptr<HeldOpenFile>& holder)
      : real_(MakeReplacingCopyOutput()), holder_(holder) {}
  uint32_t Open(const std::string& path) override { return real_->Open(path); }
  uint32_t Write(std::span<const uint8_t> bytes) override {
    const uint32_t e = real_->Write(bytes);
    if (!holder_) {
      holder_ = std::make_unique<HeldOpenFile>(real_->Path(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE);
    }
    return e;
  }
  uint32_t Commit() override { return real_->Commit(); }
  const std::string& Path() const override { return real_->Path(); }
  uint64_t BytesWritten() const override { return real_->BytesWritten(); }

 private:
  std::unique_ptr<CopyOutput> real_;
  std::unique_ptr<HeldOpenFile>& holder_;
};

bool IsHeldOpenText(const std::string& text, const std::string& file) {
  return text == "A sharing violation occurred while accessing " + file + "." ||
         text == "Access to " + file + " was denied.";
}

TEST_P(CopyFileFaults, TargetHeldOpenByAnotherProgramThroughTheRealWriter) {
  const CameraType type = GetParam();
  const std::vector<uint8_t> old(3000, 0x5A);
  {
    CopyRig r(type);
    PrepareSmallCopy(r, type);
    const std::string file = r.dir.File("held.bfk");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(old.data()), static_cast<std::streamsize>(old.size()));
    HeldOpenFile holder(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(holder.IsOpen()) << holder.Error();
    const CopySummary s = r.Run(file);
    EXPECT_EQ(s.outcome, CopyOutcome::Failed);
    ASSERT_EQ(r.prompts.Texts().size(), 1u);
    EXPECT_TRUE(IsHeldOpenText(r.prompts.Texts()[0], file)) << r.prompts.Texts()[0];
    EXPECT_EQ(s.chunks, 0u) << "refused before any copy";
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(r.dir.Path()), {}), 1);
  }
  {
    CopyRig r(type);
    PrepareSmallCopy(r, type);
    const std::string file = r.dir.File("held.bfk");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(old.data()), static_cast<std::streamsize>(old.size()));
    std::unique_ptr<HeldOpenFile> holder;
    r.makeOutput = [&] { return std::make_unique<HolderAfterFirstChunk>(holder); };
    const CopySummary s = r.Run(file);
    ASSERT_TRUE(holder && holder->IsOpen());
    EXPECT_EQ(s.outcome, CopyOutcome::Failed);
    EXPECT_FALSE(s.Complete());
    EXPECT_TRUE(s.files.empty()) << "a file that is not in place is never reported as written";
    ASSERT_EQ(r.prompts.Texts().size(), 1u);
    EXPECT_TRUE(IsHeldOpenText(r.prompts.Texts()[0], file)) << r.prompts.Texts()[0];
    holder.reset();
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(r.dir.Path()), {}), 1)
        << "the temporary is removed";
  }
}
#else
TEST_P(CopyFileFaults, DevFullThroughTheRealWriter) {
  const CameraType type = GetParam();
  CopyRig r(type);
  PrepareSmallCopy(r, type);
  const CopySummary s = r.Run("/dev/full");
  EXPECT_EQ(s.outcome, CopyOutcome::Failed);
  EXPECT_EQ(r.prompts.Texts(), std::vector<std::string>{"Disk full while accessing /dev/full."});
  EXPECT_EQ(s.chunks, 0u);
}
#endif

TEST_P(CopyFileFaults, MissingFolderIsReportedAtOnce) {
  const CameraType type = GetParam();
  CopyRig r(type);
  PrepareSmallCopy(r, type);
  const std::string file = r.dir.File("no/such/folder.bfk");
  const CopySummary s = r.Run(file);
  EXPECT_EQ(s.outcome, CopyOutcome::Failed);
  EXPECT_EQ(r.prompts.Texts(), std::vector<std::string>{MissingFolderText(file)});
  EXPECT_EQ(s.chunks, 0u);
}

INSTANTIATE_TEST_SUITE_P(AllTypes, CopyFileFaults,
                         ::testing::Values(CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES));

TEST(CopyFileFaults, RecordingOpenInThePlayerKeepsItsBytesUntilTheCopyEnds) {
  CopyRig r(CAMERA_PACKED_PAGES);
  r.WriteFrames(0, 2);
  r.SetPointer(P(900, 0), false);
  const std::string file = r.dir.File("open.bfk");
  { std::ofstream(file, std::ios::binary) << std::string(5000, 'x'); }
  std::uintmax_t sizeDuringCopy = 0;
  CopySession& session = r.NewSession(file);
  r.prompts.onPump = [&] { sizeDuringCopy = std::filesystem::file_size(file); };
  session.Run();
  EXPECT_EQ(sizeDuringCopy, 5000u) << "the old recording is not truncated under its view";
  EXPECT_EQ(std::filesystem::file_size(file), 900u * 2048);
}

}  // namespace
}  // namespace bf::test
