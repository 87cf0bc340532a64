// The clock flow on the simulated camera: the read, the dialog's part and the write on the wire.
#include "clock/SetClockFlow.h"

#include <gtest/gtest.h>

#include <memory>

#include "clock/CameraClock.h"
#include "host/TickSource.h"
#include "link/CameraCommands.h"
#include "link/StatusText.h"
#include "sim/SimCamera.h"
#include "sim/SimOptions.h"
#include "sim/VirtualClock.h"
#include "support/CallLogBackend.h"
#include "support/ScriptedPrompts.h"

namespace bf::test {
namespace {

using Bytes = std::vector<uint8_t>;

class SetClockFlowTest : public ::testing::Test {
 protected:
  VirtualClock clock;
  sim::SimOptions options;  // clock 1245067200, 2009-06-15 12:00:00 UTC
  std::shared_ptr<sim::SimCamera> camera;
  std::shared_ptr<CallLogBackend> log;
  std::unique_ptr<FTDClass> link;
  ScriptedPrompts prompts;
  std::size_t writeMark = 0;
  std::optional<UtcSeconds> dialogGot;

  void Open() {
    camera = std::make_shared<sim::SimCamera>(options, clock);
    log = std::make_shared<CallLogBackend>(camera);
    link = std::make_unique<FTDClass>(log, clock);
    link->Open(0);
    writeMark = log->writes.size();
  }
  // Runs the flow with a dialog that answers `answer` (nothing = Cancel).
  void Run(std::optional<UtcSeconds> answer) {
    RunSetClockFlow(*link, prompts, [&](UtcSeconds shown) {
      dialogGot = shown;
      return answer;
    });
  }
  uint32_t CameraClock() { return camera->Model().ClockValue(clock.NowMs()); }
};

TEST_F(SetClockFlowTest, OkWritesTheChosenTimeLeastSignificantByteFirst) {
  options.clock = 1'000;
  Open();
  Run(UtcSeconds{1'245'067'200});
  EXPECT_EQ(dialogGot, 1'000);
  const std::vector<Bytes> writes = log->WritesSince(writeMark);
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0], Bytes{CMD_GET_CLOCK});
  EXPECT_EQ(writes[1], Bytes{CMD_SET_CLOCK});
  EXPECT_EQ(writes[2], (Bytes{0xC0, 0x37, 0x36, 0x4A}));  // one separate 4-byte write
  EXPECT_EQ(CameraClock(), 1'245'067'200u);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(SetClockFlowTest, ValuesPast2038AreZeroExtendedAndSentUnchanged) {
  options.clock = 0xFFFFFFF0;
  Open();
  Run(UtcSeconds{0xFFFFFFFF});
  EXPECT_EQ(dialogGot, UtcSeconds{0xFFFFFFF0});  // not sign-extended into 1969
  EXPECT_EQ(log->writes.back(), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(CameraClock(), 0xFFFFFFFFu);
}

TEST_F(SetClockFlowTest, CancelSendsNothingAfterTheRead) {
  Open();
  Run(std::nullopt);
  EXPECT_EQ(dialogGot, 1'245'067'200);
  EXPECT_EQ(log->WritesSince(writeMark), std::vector<Bytes>{Bytes{CMD_GET_CLOCK}});
  EXPECT_EQ(CameraClock(), 1'245'067'200u);
}

TEST_F(SetClockFlowTest, ReplyInTwoPartsIsCompletedBeforeTheDialogOpens) {
  // The read waits out its timeout with half the reply; the other half follows.
  Open();
  camera->ArmFault(camera->CallCount() + 2, sim::CallFault::TimeoutHalf);
  Run(std::nullopt);
  EXPECT_NE(camera->FaultHitCall(), 0u);
  EXPECT_EQ(dialogGot, 1'245'067'200);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(SetClockFlowTest, ShortReplyIsReportedAndTheDialogNeverOpens) {
  // Only C0 37 arrive: 0x37C0 would be a time in January 1970, and OK would send it.
  Open();
  camera->SetDropReplyBytes(2);
  const uint64_t before = clock.NowMs();
  Run(UtcSeconds{42});
  EXPECT_FALSE(dialogGot);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text,
            "Не удалось прочитать время камеры.\nПроверьте подключена ли камера.");
  EXPECT_EQ(prompts.shown[0].caption, "Ошибка!");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(log->WritesSince(writeMark), std::vector<Bytes>{Bytes{CMD_GET_CLOCK}});
  EXPECT_EQ(CameraClock(), 1'245'067'200u);
  // The read and the wait for the rest, each bounded by 200 ms without a byte.
  EXPECT_LE(clock.NowMs() - before, 800u);
}

TEST_F(SetClockFlowTest, SilentCameraIsReportedAndTheDialogNeverOpens) {
  options.mute = true;
  Open();
  Run(UtcSeconds{42});
  EXPECT_FALSE(dialogGot);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].caption, "Ошибка!");
  EXPECT_EQ(log->WritesSince(writeMark), std::vector<Bytes>{Bytes{CMD_GET_CLOCK}});
}

TEST_F(SetClockFlowTest, ClockNeverSetOpensTheDialogAtZero) {
  // A whole reply of zeros is a real time (1970-01-01 00:00:00 UTC), not a missing one.
  options.clock = 0;
  Open();
  Run(std::nullopt);
  EXPECT_EQ(dialogGot, 0);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(SetClockFlowTest, FailedReadNeverOpensTheDialog) {
  Open();
  camera->FailCall(camera->CallCount() + 2, ftstatus::kIoError);  // the read after the command
  Run(UtcSeconds{5});
  EXPECT_FALSE(dialogGot);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, StatusText(ftstatus::kIoError));
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(prompts.shown[0].caption, "");
}

TEST_F(SetClockFlowTest, FailedWriteLeavesTheOldTime) {
  Open();
  // GET_CLOCK write, its read, then the SET_CLOCK code write fails.
  camera->FailCall(camera->CallCount() + 3, 17);
  Run(UtcSeconds{42});
  EXPECT_TRUE(dialogGot);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, StatusText(17));
  EXPECT_EQ(CameraClock(), 1'245'067'200u);
}

TEST_F(SetClockFlowTest, ReadReportsHowManyBytesCame) {
  Open();
  uint32_t count = 0;
  EXPECT_EQ(ReadCameraClock(*link, &count), 1'245'067'200u);
  EXPECT_EQ(count, 4u);
  camera->SetDropReplyBytes(3);
  EXPECT_EQ(ReadCameraClock(*link, &count), 0xC0u);
  EXPECT_EQ(count, 1u);
}

}  // namespace
}  // namespace bf::test
