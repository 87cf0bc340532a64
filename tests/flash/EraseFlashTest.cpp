// The flash erase on the simulated camera with a virtual clock: the question, the wait for the
// camera's answer up to its limit, the failure box and link failures.
#include "flash/EraseFlash.h"

#include <gtest/gtest.h>

#include <memory>

#include "host/TickSource.h"
#include "link/CameraCommands.h"
#include "link/FTD2xx.h"
#include "link/StatusText.h"
#include "sim/SimCamera.h"
#include "sim/SimOptions.h"
#include "sim/VirtualClock.h"
#include "support/CallLogBackend.h"
#include "support/ScriptedPrompts.h"

namespace bf::test {
namespace {

// Notes whether the busy cursor was on when each message was shown.
class CursorAwarePrompts : public ScriptedPrompts {
 public:
  bool busy = false;
  std::vector<bool> busyAtMessage;
  MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                            MessageButtons buttons) override {
    busyAtMessage.push_back(busy);
    return ScriptedPrompts::ShowMessage(text, caption, icon, buttons);
  }
  void SetBusyCursor(bool on) override {
    busy = on;
    ScriptedPrompts::SetBusyCursor(on);
  }
};

class EraseFlashTest : public ::testing::Test {
 protected:
  VirtualClock clock;
  sim::SimOptions options;
  std::shared_ptr<sim::SimCamera> camera;
  std::shared_ptr<CallLogBackend> log;
  std::unique_ptr<FTDClass> link;
  CursorAwarePrompts prompts;
  uint64_t startMs = 0;
  std::size_t callMark = 0;

  void Open() {
    options.prefillFrames = 4;
    camera = std::make_shared<sim::SimCamera>(options, clock);
    log = std::make_shared<CallLogBackend>(camera);
    link = std::make_unique<FTDClass>(log, clock);
    link->Open(0);
    startMs = clock.NowMs();
    callMark = log->calls.size();
  }
  EraseResult Erase() { return EraseFlash(*link, prompts); }
  uint64_t ElapsedMs() { return clock.NowMs() - startMs; }
  bool FlashErased() { return camera->Model().Flash().WritePosition() == 0; }
  // Every call after the question was a write of CMD_ERASE_FLASH followed by reads, and, once
  // the answer byte came, the queue count that shows nothing follows it.
  void ExpectOnlyTheEraseExchange(bool answered) {
    std::vector<std::string> calls = log->CallsSince(callMark);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "write");
    if (answered) {
      EXPECT_EQ(calls.back(), "queue");
      calls.pop_back();
    }
    for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_EQ(calls[i], "read") << i;
    ASSERT_EQ(log->writes.size(), 1u);
    EXPECT_EQ(log->writes[0], (std::vector<uint8_t>{CMD_ERASE_FLASH}));
  }
};

TEST_F(EraseFlashTest, AnswerOtherThanYesSendsNothing) {
  Open();
  for (MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Cancel, MessageAnswer::Ok}) {
    prompts.answers = {answer};
    EXPECT_EQ(Erase(), EraseResult::Declined);
  }
  EXPECT_TRUE(log->CallsSince(callMark).empty());
  EXPECT_FALSE(FlashErased());
  ASSERT_EQ(prompts.shown.size(), 3u);
  EXPECT_EQ(prompts.shown[0].text, "Вы действительно хотите стереть флеш-память?");
  EXPECT_EQ(prompts.shown[0].caption, "");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::None);
  EXPECT_EQ(prompts.shown[0].buttons, MessageButtons::YesNo);
  EXPECT_TRUE(prompts.busyCursor.empty());
}

TEST_F(EraseFlashTest, AnswerAfterFiftyNineSecondsEndsQuietly) {
  options.eraseMs = 59'000;
  Open();
  EXPECT_EQ(Erase(), EraseResult::Erased);
  EXPECT_GE(ElapsedMs(), 59'000u);
  EXPECT_LT(ElapsedMs(), 59'400u);
  EXPECT_EQ(prompts.shown.size(), 1u);  // the question only
  EXPECT_EQ(prompts.busyCursor, (std::vector<bool>{true, false}));
  EXPECT_TRUE(FlashErased());
  ExpectOnlyTheEraseExchange(true);
}

TEST_F(EraseFlashTest, WrongByteAtOnceShowsTheFailureAtOnce) {
  options.eraseMs = 0;
  options.eraseReply = 0x00;
  Open();
  EXPECT_EQ(Erase(), EraseResult::NotErased);
  EXPECT_LT(ElapsedMs(), 250u);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].text, "Не удалось стереть память.\nПроверьте подключена ли камера.");
  EXPECT_EQ(prompts.shown[1].caption, "Ошибка!");
  EXPECT_EQ(prompts.shown[1].icon, MessageIcon::Error);
  EXPECT_EQ(prompts.shown[1].buttons, MessageButtons::Ok);
  // The wait cursor lasts until the operation ends, the box included.
  EXPECT_EQ(prompts.busyAtMessage, (std::vector<bool>{false, true}));
  EXPECT_EQ(prompts.busyCursor, (std::vector<bool>{true, false}));
  EXPECT_FALSE(FlashErased());
}

TEST_F(EraseFlashTest, AnswerWithMoreBytesBehindItIsNotTakenAsDone) {
  // Bytes that keep coming after the one-byte answer show the camera is sending something
  // else; its 0x80 proves nothing, so the operator is told the erase did not succeed.
  options.eraseMs = 0;
  Open();
  camera->ArmFault(camera->CallCount() + 2, sim::CallFault::ExtraBytes);  // the answer's read
  EXPECT_EQ(Erase(), EraseResult::NotErased);
  EXPECT_NE(camera->FaultHitCall(), 0u);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].text, "Не удалось стереть память.\nПроверьте подключена ли камера.");
  EXPECT_EQ(prompts.busyCursor, (std::vector<bool>{true, false}));
  ExpectOnlyTheEraseExchange(true);
}

TEST_F(EraseFlashTest, SilentCameraIsGivenUpAfterAboutSixtyPointTwoSeconds) {
  options.mute = true;
  Open();
  EXPECT_EQ(Erase(), EraseResult::NotErased);
  // The last read begins at 60 s and runs out its 200 ms read timeout.
  EXPECT_GE(ElapsedMs(), 60'200u);
  EXPECT_LT(ElapsedMs(), 60'400u);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].caption, "Ошибка!");
  EXPECT_EQ(prompts.busyCursor, (std::vector<bool>{true, false}));
  ExpectOnlyTheEraseExchange(false);
}

TEST_F(EraseFlashTest, ByteDuringTheLastReadStillCounts) {
  // The read that begins at the 60 s mark is the last one, and its byte is taken.
  options.eraseMs = 60'100;
  Open();
  EXPECT_EQ(Erase(), EraseResult::Erased);
  EXPECT_EQ(prompts.shown.size(), 1u);

  // One that would come after it is not waited for.
  options.eraseMs = 60'300;
  Open();
  EXPECT_EQ(Erase(), EraseResult::NotErased);
  EXPECT_LT(ElapsedMs(), 60'300u);
}

TEST_F(EraseFlashTest, TickCounterWrappingDuringTheWaitChangesNothing) {
  // The 32-bit tick count wraps 30 s into the wait.
  clock.Set((uint64_t{1} << 32) - 30'000);
  options.eraseMs = 59'000;
  Open();
  EXPECT_EQ(Erase(), EraseResult::Erased);
  EXPECT_GE(ElapsedMs(), 59'000u);
  EXPECT_EQ(prompts.shown.size(), 1u);

  // A fresh camera that never answers, with the wrap again in the middle of the wait.
  clock.Set((uint64_t{1} << 32) - 30'000);
  options.mute = true;
  Open();
  EXPECT_EQ(Erase(), EraseResult::NotErased);
  EXPECT_GE(ElapsedMs(), 60'200u);
  EXPECT_LT(ElapsedMs(), 60'400u);
}

TEST_F(EraseFlashTest, LinkFailureOnTheCommandShowsItsOwnTextOnly) {
  Open();
  camera->FailCall(camera->CallCount() + 1, ftstatus::kIoError);
  EXPECT_EQ(Erase(), EraseResult::LinkFailed);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].text, StatusText(ftstatus::kIoError));
  EXPECT_EQ(prompts.shown[1].caption, "");
  EXPECT_EQ(prompts.shown[1].icon, MessageIcon::Error);
  EXPECT_TRUE(prompts.busyCursor.empty());  // the cursor comes only after the command
  EXPECT_FALSE(FlashErased());
}

TEST_F(EraseFlashTest, LinkFailureDuringTheWaitEndsItAtOnce) {
  options.eraseMs = 30'000;
  Open();
  camera->UnplugAfterCalls(camera->CallCount() + 10);
  EXPECT_EQ(Erase(), EraseResult::LinkFailed);
  EXPECT_LT(ElapsedMs(), 3'000u);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].text, StatusText(ftstatus::kIoError));
  // The cursor is back before the failure is shown.
  EXPECT_EQ(prompts.busyAtMessage, (std::vector<bool>{false, false}));
  EXPECT_EQ(prompts.busyCursor, (std::vector<bool>{true, false}));
}

TEST_F(EraseFlashTest, WaitingHookSeesTheTimeSinceTheCommand) {
  options.eraseMs = 1'000;
  Open();
  std::vector<uint32_t> seen;
  EraseOptions hooks;
  hooks.ask = false;
  hooks.waiting = [&](uint32_t ms) { seen.push_back(ms); };
  EXPECT_EQ(EraseFlash(*link, prompts, hooks), EraseResult::Erased);
  EXPECT_TRUE(prompts.shown.empty());  // no question with ask = false
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), 200u);
  for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);
  EXPECT_LE(seen.back(), 1'000u);
}

}  // namespace
}  // namespace bf::test
