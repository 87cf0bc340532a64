// The clock flow under every fault on every device call: the clock read behind the dialog and
// the write of the new time, with an operator who sets a new time and one who only looks and
// presses OK. The flow has no retry and no drain of its own.
#include <gtest/gtest.h>

#include "FaultMatrix.h"
#include "clock/SetClockFlow.h"
#include "sim/VirtualClock.h"
#include "support/ScriptedPrompts.h"

namespace bf::test {
namespace {

constexpr uint32_t kCameraTime = 1'245'067'200;  // 2009-06-15 12:00:00 UTC
constexpr uint32_t kNewTime = 1'700'000'000;     // 2023-11-14 22:13:20 UTC

enum class Operator {
  SetsNewTime,    // picks another date and time and presses OK
  KeepsShownTime  // looks at the camera's time and presses OK unchanged
};

struct ClockOutcome {
  bool dialogOpened = false;
  bool shownRight = false;  // the dialog showed the camera's own time
  UtcSeconds sent = 0;      // what OK asked to send
  int messages = 0;
  std::vector<std::string> problems;
};

ClockOutcome PressSetClock(FTD2xx& link, sim::SimCamera& camera, VirtualClock& clock,
                           Operator person) {
  ScriptedPrompts prompts;
  ClockOutcome out;
  const uint32_t before = camera.Model().ClockValue(clock.NowMs());
  RunSetClockFlow(link, prompts, [&](UtcSeconds shown) -> std::optional<UtcSeconds> {
    out.dialogOpened = true;
    // The camera's clock may tick on between its reply and the dialog.
    const uint32_t now = camera.Model().ClockValue(clock.NowMs());
    out.shownRight = shown >= UtcSeconds{before} && shown <= UtcSeconds{now};
    out.sent = person == Operator::SetsNewTime ? UtcSeconds{kNewTime} : shown;
    return out.sent;
  });
  out.messages = static_cast<int>(prompts.shown.size());
  if (out.messages > 1) out.problems.push_back("more than one message");
  for (const auto& shown : prompts.shown) {
    if (shown.icon != MessageIcon::Error) out.problems.push_back("a message without the icon");
  }
  if (!prompts.busyCursor.empty() && prompts.busyCursor.back()) {
    out.problems.push_back("the busy cursor is still up");
  }
  return out;
}

MatrixRun RunClock(Operator person, const std::optional<MatrixFault>& fault) {
  sim::SimOptions options;
  options.clock = kCameraTime;
  VirtualClock clock;
  auto camera = std::make_shared<sim::SimCamera>(options, clock);
  FTDClass link(camera, clock);
  link.Open(0);
  MatrixRun run;
  const uint64_t base = camera->CallCount();
  const uint32_t oldTime = camera->Model().ClockValue(clock.NowMs());
  if (fault) ArmMatrixFault(*camera, base, *fault);
  const ClockOutcome out = PressSetClock(link, *camera, clock, person);
  run.calls = camera->CallCount() - base;
  run.hit = camera->FaultHitCall() != 0;
  run.hitCall = run.hit ? camera->FaultHitCall() - base : 0;
  const uint32_t cameraNow = camera->Model().ClockValue(clock.NowMs());
  // Success is a flow that ended without a message. Exactly right: the dialog showed the
  // camera's time and the camera now holds exactly what OK sent.
  run.succeeded = out.messages == 0;
  run.exact = out.dialogOpened && out.shownRight && UtcSeconds{cameraNow} == out.sent;
  run.problems = out.problems;
  if (!run.succeeded) {
    // A failed flow leaves the camera's time alone or sets exactly the new value: never one
    // made of a reply cut short.
    const uint32_t elapsed = static_cast<uint32_t>(clock.NowMs() / 1000);
    const bool untouched = cameraNow >= oldTime && cameraNow <= oldTime + elapsed;
    if (!untouched && UtcSeconds{cameraNow} != out.sent) {
      run.problems.push_back("the camera was left with a time nobody chose");
    }
    if (out.dialogOpened && !out.shownRight) {
      run.problems.push_back("the dialog showed a time the camera does not have");
    }
  }

  // The operator replugs the camera, reconnects and sets the clock again. Replugging takes a
  // while: long enough for the camera to drop a command whose argument bytes never came.
  camera->Replug();
  clock.Advance(2'000);
  link.Close();
  link.Open(0);
  const ClockOutcome next = PressSetClock(link, *camera, clock, Operator::SetsNewTime);
  run.nextSucceeded = next.messages == 0 && next.dialogOpened && next.shownRight &&
                      UtcSeconds{camera->Model().ClockValue(clock.NowMs())} == UtcSeconds{kNewTime};
  return run;
}

void ExpectAllSurvived(const MatrixFigures& figures) {
  EXPECT_EQ(figures.cleanCalls, 4u);  // command, reply, command, value
  EXPECT_GT(figures.injected, 0u);
  EXPECT_EQ(figures.survived, figures.injected);
  EXPECT_EQ(figures.wrongSuccesses, 0u);
  for (const std::string& line : figures.failures) ADD_FAILURE() << line;
}

TEST(ClockFaultMatrix, OperatorSetsANewTime) {
  ExpectAllSurvived(RunMatrix(
      "clock", [](const auto& f) { return RunClock(Operator::SetsNewTime, f); }, {AllModes()}));
}

TEST(ClockFaultMatrix, OperatorKeepsTheShownTime) {
  ExpectAllSurvived(RunMatrix("clock-keep",
                              [](const auto& f) { return RunClock(Operator::KeepsShownTime, f); },
                              {AllModes()}));
}

}  // namespace
}  // namespace bf::test
