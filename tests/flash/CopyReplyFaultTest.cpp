// Replies of the wrong length during a copy, for each camera type: a chunk cut short, bytes
// after a chunk, bytes left in front of the next one, a camera that falls silent mid-reply or
// before the next chunk. Each ends as a failure with its message, a file that holds exactly the
// whole chunks before it, nothing asked after it, and a next copy after a replug that is exact.
// Answers that only pause are read whole and the copy is exact.
#include <gtest/gtest.h>

#include "CopyRig.h"
#include "flash/FlashReply.h"
#include "link/CameraCommands.h"

namespace bf::test {
namespace {

constexpr uint32_t kPagedChunk = 524'289;
constexpr uint64_t kNandFirstFrame = 1'000;
constexpr uint32_t kNandPointer = 2'000'000;

// A copy of four chunks (the last one short) per camera type.
void Prepare(CopyRig& r, CameraType type) {
  switch (type) {
    case CAMERA_SECTORS:
      r.WriteFrames(uint64_t{192} * kSectorSize, 40);
      r.SetPointer(192 + 400, false);
      break;
    case CAMERA_PACKED_PAGES:
      r.WriteFrames(0, 40);
      r.SetPointer(MakePackedAddress(1000, 0), false);
      break;
    case CAMERA_NAND_PAGES:
      r.WriteFrames(kNandFirstFrame, 40);
      r.SetPointer(kNandPointer, false);  // its sector is the end sector: no trailer search
      r.chooser.range = {{0, 0}};
      break;
  }
}

// What the whole copy holds, and its first chunk.
std::vector<uint8_t> WholeCopy(CopyRig& r, CameraType type) {
  switch (type) {
    case CAMERA_SECTORS:
      return r.SectorBytes(192, 192 + 400);
    case CAMERA_PACKED_PAGES:
      return r.LinearBytes(0, 1000 * kPageSize - 1);
    case CAMERA_NAND_PAGES:
      break;
  }
  return r.LinearBytes(kNandFirstFrame, kNandPointer);
}
std::vector<uint8_t> FirstChunk(CopyRig& r, CameraType type) {
  switch (type) {
    case CAMERA_SECTORS:
      return r.SectorBytes(192, 192 + 124);
    case CAMERA_PACKED_PAGES:
      return r.LinearBytes(0, kPagedChunk - 1);
    case CAMERA_NAND_PAGES:
      break;
  }
  return r.LinearBytes(kNandFirstFrame, kNandFirstFrame + kPagedChunk - 1);
}
// Requests that are not chunks: the NAND start sector's search window.
uint64_t SearchWindows(CameraType type) {
  return type == CAMERA_NAND_PAGES ? 1 : 0;
}
int ResultOf(CameraType type) {
  return type == CAMERA_SECTORS ? kCopyResultCancel : kCopyResultOk;
}

void ExpectNextCopyAfterReplugIsExact(CopyRig& r, CameraType type) {
  // A new camera, as far as these faults go.
  r.rig.camera->SetDropReplyBytes(0);
  r.rig.camera->SetMute(false);
  r.rig.camera->Replug();
  r.Fresh();
  r.rig.clock.Advance(1000);
  r.rig.link.Close();
  r.rig.link.Open(0);
  const std::string file = r.dir.File("next.bfk");
  const CopySummary s = r.Run(file);
  EXPECT_TRUE(s.Complete());
  EXPECT_TRUE(r.prompts.shown.empty());
  EXPECT_SAME_BYTES(ReadFile(file), WholeCopy(r, type));
}

// What the camera does wrong, armed right after the first chunk has been written (on the
// copying thread; the camera's controls may be used from any thread between device calls).
enum class ReplyFault {
  ShortChunk,         // every later reply lacks its last 100 bytes
  ExtraAfterChunk,    // seven bytes follow the second chunk's reply
  BytesBeforeChunk,   // seven stray bytes wait before the second request is sent
  SilentMidReply,     // the camera stops 1000 bytes into the second chunk
  SilentBeforeChunk,  // the camera is gone once the second request's code byte is out
};

void Arm(sim::SimCamera& camera, ReplyFault fault) {
  switch (fault) {
    case ReplyFault::ShortChunk:
      camera.SetDropReplyBytes(100);
      break;
    case ReplyFault::ExtraAfterChunk:
      camera.ArmFaultAfterCommand(CMD_READ_FLASH, 1, sim::CallFault::ExtraBytes);
      break;
    case ReplyFault::BytesBeforeChunk:
      camera.InjectGarbage(7);
      break;
    case ReplyFault::SilentMidReply:
      camera.SilentAfterReadBytes(camera.BytesRead() + 1000);
      break;
    case ReplyFault::SilentBeforeChunk:
      camera.ArmFaultAfterCommand(CMD_READ_FLASH, 1, sim::CallFault::Silence);
      break;
  }
}

const char* Name(ReplyFault fault) {
  switch (fault) {
    case ReplyFault::ShortChunk:
      return "ShortChunk";
    case ReplyFault::ExtraAfterChunk:
      return "ExtraAfterChunk";
    case ReplyFault::BytesBeforeChunk:
      return "BytesBeforeChunk";
    case ReplyFault::SilentMidReply:
      return "SilentMidReply";
    case ReplyFault::SilentBeforeChunk:
      return "SilentBeforeChunk";
  }
  return "?";
}

const char* Name(CameraType type) {
  switch (type) {
    case CAMERA_SECTORS:
      return "Sectors";
    case CAMERA_PACKED_PAGES:
      return "PackedPages";
    case CAMERA_NAND_PAGES:
      break;
  }
  return "NandPages";
}

class CopyReplyFault : public ::testing::TestWithParam<std::tuple<CameraType, ReplyFault>> {};

TEST_P(CopyReplyFault, EndsAsAFailureWithTheWholeChunksBeforeIt) {
  const auto [type, fault] = GetParam();
  CopyRig r(type);
  Prepare(r, type);
  sim::SimCamera& camera = *r.rig.camera;
  r.log->At(1, [&camera, fault = fault] { Arm(camera, fault); });
  const std::string file = r.dir.File("fault.bfk");
  const CopySummary s = r.Run(file);

  EXPECT_EQ(s.outcome, CopyOutcome::Failed);
  EXPECT_FALSE(s.Complete());
  EXPECT_EQ(s.result, ResultOf(type));
  EXPECT_EQ(s.failure, kBadFlashReplyText);
  ASSERT_EQ(r.prompts.shown.size(), 1u);
  EXPECT_EQ(r.prompts.shown[0].text, kBadFlashReplyText);
  EXPECT_EQ(r.prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(s.chunks, 1u);
  EXPECT_EQ(s.doneBytes, FirstChunk(r, type).size()) << "only what is in the file is counted";
  EXPECT_EQ(camera.Model().CommandCount(CMD_READ_FLASH), SearchWindows(type) + 2)
      << "nothing is asked after the bad reply";
  EXPECT_SAME_BYTES(ReadFile(file), FirstChunk(r, type));
  EXPECT_EQ(s.files, std::vector<std::string>{file});
  EXPECT_EQ(r.rig.link.GetQueueStatus(), 0u) << "the rest of the bad reply was dropped";

  ExpectNextCopyAfterReplugIsExact(r, type);
}

INSTANTIATE_TEST_SUITE_P(
    AllTypes, CopyReplyFault,
    ::testing::Combine(::testing::Values(CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES),
                       ::testing::Values(ReplyFault::ShortChunk, ReplyFault::ExtraAfterChunk,
                                         ReplyFault::BytesBeforeChunk, ReplyFault::SilentMidReply,
                                         ReplyFault::SilentBeforeChunk)),
    [](const auto& p) {
      return std::string(Name(std::get<0>(p.param))) + "_" + Name(std::get<1>(p.param));
    });

class CopyReplyEdges : public ::testing::TestWithParam<CameraType> {};

// A reply that comes in two parts (the driver returns early, or the first part only after a
// whole read timeout) is still one whole reply.
TEST_P(CopyReplyEdges, AChunkOrAnAnswerThatPausesIsReadWhole) {
  const CameraType type = GetParam();
  for (sim::CallFault pause : {sim::CallFault::ShortRead, sim::CallFault::TimeoutHalf}) {
    for (uint8_t command : {CMD_GET_FLASH_POINTER, CMD_READ_FLASH}) {
      SCOPED_TRACE(std::string(pause == sim::CallFault::ShortRead ? "early return" : "timeout") +
                   " on the reply to command " + std::to_string(command));
      CopyRig r(type);
      Prepare(r, type);
      sim::SimCamera& camera = *r.rig.camera;
      if (command == CMD_READ_FLASH) {
        r.log->At(1, [&camera, pause] { camera.ArmFaultAfterCommand(CMD_READ_FLASH, 1, pause); });
      } else {
        camera.ArmFaultAfterCommand(command, 1, pause);
      }
      const std::string file = r.dir.File("pause.bfk");
      const CopySummary s = r.Run(file);
      EXPECT_NE(camera.FaultHitCall(), 0u) << "the pause happened";
      EXPECT_TRUE(s.Complete());
      EXPECT_TRUE(r.prompts.shown.empty());
      EXPECT_SAME_BYTES(ReadFile(file), WholeCopy(r, type));
    }
  }
}

// Answers before the copy: the camera type, the pointer and the wrap flag. One that brings
// more than it should, or comes only after its read gave up, ends the copy before a file is
// asked for.
TEST_P(CopyReplyEdges, AnswerOfTheWrongLengthEndsTheCopyBeforeTheFile) {
  const CameraType type = GetParam();
  const std::pair<uint8_t, sim::CallFault> cases[] = {
      {CMD_GET_CAMERA_TYPE, sim::CallFault::ExtraBytes},
      {CMD_GET_FLASH_POINTER, sim::CallFault::ExtraBytes},
      {CMD_GET_WRAP_FLAG, sim::CallFault::ExtraBytes},
      {CMD_GET_WRAP_FLAG, sim::CallFault::TimeoutHalf},  // one byte: half is none, then it comes
  };
  for (const auto& [command, fault] : cases) {
    SCOPED_TRACE("command " + std::to_string(command));
    CopyRig r(type);
    Prepare(r, type);
    r.rig.camera->ArmFaultAfterCommand(command, 1, fault);
    const CopySummary s = r.Run(r.dir.File("answer.bfk"));
    EXPECT_EQ(s.outcome, CopyOutcome::Failed);
    EXPECT_EQ(r.prompts.Texts(), std::vector<std::string>{kBadFlashReplyText});
    EXPECT_TRUE(r.prompts.saveRequests.empty());
    EXPECT_TRUE(r.chooser.calls == 0) << "no range offered from a doubtful pointer";
    EXPECT_EQ(r.rig.camera->Model().CommandCount(CMD_READ_FLASH), 0u);
    EXPECT_EQ(r.rig.link.GetQueueStatus(), 0u);
    ExpectNextCopyAfterReplugIsExact(r, type);
  }
}

// The drain after a failed copy failing as well: the failure shown stays the copy's own, the
// bytes it would have dropped are taken for the next copy's answers, which fails cleanly in
// turn and drains them, and the copy after that is exact without a replug.
TEST_P(CopyReplyEdges, DrainFailingAfterABadReplyLeavesTheNextCopiesSound) {
  const CameraType type = GetParam();
  uint64_t calls = 0;
  {
    CopyRig r(type);
    Prepare(r, type);
    sim::SimCamera& camera = *r.rig.camera;
    r.log->At(1, [&camera] { Arm(camera, ReplyFault::ExtraAfterChunk); });
    const uint64_t base = camera.CallCount();
    ASSERT_EQ(r.Run(r.dir.File("a.bfk")).outcome, CopyOutcome::Failed);
    calls = camera.CallCount() - base;
  }
  CopyRig r(type);
  Prepare(r, type);
  sim::SimCamera& camera = *r.rig.camera;
  r.log->At(1, [&camera] { Arm(camera, ReplyFault::ExtraAfterChunk); });
  camera.FailCall(camera.CallCount() + calls, ftstatus::kIoError);  // its last call: the drain
  const std::string file = r.dir.File("b.bfk");
  const CopySummary s = r.Run(file);
  EXPECT_EQ(s.outcome, CopyOutcome::Failed);
  EXPECT_EQ(r.prompts.Texts(), std::vector<std::string>{kBadFlashReplyText});
  EXPECT_SAME_BYTES(ReadFile(file), FirstChunk(r, type));
  EXPECT_EQ(r.rig.link.GetQueueStatus(), sim::kExtraReplyBytes) << "the drain did fail";

  r.Fresh();
  const CopySummary stale = r.Run(r.dir.File("c.bfk"));
  EXPECT_EQ(stale.outcome, CopyOutcome::Failed);
  EXPECT_EQ(r.prompts.Texts(), std::vector<std::string>{kBadFlashReplyText});
  EXPECT_TRUE(r.prompts.saveRequests.empty());

  r.Fresh();
  const std::string last = r.dir.File("d.bfk");
  EXPECT_TRUE(r.Run(last).Complete());
  EXPECT_TRUE(r.prompts.shown.empty());
  EXPECT_SAME_BYTES(ReadFile(last), WholeCopy(r, type));
}

INSTANTIATE_TEST_SUITE_P(AllTypes, CopyReplyEdges,
                         ::testing::Values(CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES),
                         [](const auto& p) { return std::string(Name(p.param)); });

}  // namespace
}  // namespace bf::test
