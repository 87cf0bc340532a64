// The flash erase under every fault on every device call: the erase command and each read of
// the wait for the camera's answer. The erase has no retry and no drain of its own.
#include <gtest/gtest.h>

#include <algorithm>

#include "FaultMatrix.h"
#include "flash/EraseFlash.h"
#include "link/StatusText.h"
#include "sim/VirtualClock.h"
#include "support/ScriptedPrompts.h"

namespace bf::test {
namespace {

constexpr uint32_t kEraseTakesMs = 1'500;  // a short erase: a handful of reads to wait through
constexpr uint64_t kCheckedFlashBytes = 64 * 1024;

// The flash holds a recording the erase is to remove.
void Record(sim::SimCamera& camera) {
  std::vector<uint8_t> recording(20'000);
  for (std::size_t i = 0; i < recording.size(); ++i) recording[i] = static_cast<uint8_t>(i * 7);
  camera.Model().Flash().Append(recording.data(), recording.size());
}

// Nothing recorded is left: the pointer back at the start, no wrap, the start of the data
// space reads as erased flash.
bool FlashErased(sim::SimCamera& camera) {
  const sim::SimFlash& flash = camera.Model().Flash();
  if (flash.WritePosition() != 0 || flash.Wrapped()) return false;
  const std::vector<uint8_t> start = camera.FlashBytes(flash.PhysicalOf(0), kCheckedFlashBytes);
  return std::all_of(start.begin(), start.end(), [](uint8_t b) { return b == 0xFF; });
}

bool IsStatusText(const std::string& text) {
  for (uint32_t code = 1; code <= 17; ++code) {
    if (text == StatusText(code)) return true;
  }
  return false;
}

struct EraseOutcome {
  EraseResult result = EraseResult::Declined;
  std::vector<std::string> problems;
  bool erased = false;
};

// One press of "Стереть" answered Yes, judged by what it reported and what it left.
EraseOutcome PressErase(FTD2xx& link, sim::SimCamera& camera) {
  ScriptedPrompts prompts;
  EraseOutcome out;
  out.result = EraseFlash(link, prompts);
  out.erased = FlashErased(camera);
  if (prompts.shown.empty() || prompts.shown.front().text != kEraseQuestion) {
    out.problems.push_back("the question was not asked first");
    return out;
  }
  const std::vector<ScriptedPrompts::Shown> after(prompts.shown.begin() + 1, prompts.shown.end());
  switch (out.result) {
    case EraseResult::Erased:
      if (!after.empty()) out.problems.push_back("a message after a successful erase");
      break;
    case EraseResult::NotErased:
      if (after.size() != 1 || after[0].text != kEraseFailedText ||
          after[0].caption != kEraseFailedCaption || after[0].icon != MessageIcon::Error) {
        out.problems.push_back("a failed erase must show its failure box, once");
      }
      break;
    case EraseResult::LinkFailed:
      if (after.size() != 1 || !IsStatusText(after[0].text) ||
          after[0].icon != MessageIcon::Error) {
        out.problems.push_back("a link failure must show its status text, once");
      }
      break;
    case EraseResult::Declined:
      out.problems.push_back("declined though the question was answered Yes");
      break;
  }
  // Back to idle: every busy cursor it put up has ended.
  const auto on = std::count(prompts.busyCursor.begin(), prompts.busyCursor.end(), true);
  const auto off = std::count(prompts.busyCursor.begin(), prompts.busyCursor.end(), false);
  if (on != off || (!prompts.busyCursor.empty() && prompts.busyCursor.back())) {
    out.problems.push_back("the busy cursor is still up");
  }
  return out;
}

MatrixRun RunErase(const std::optional<MatrixFault>& fault) {
  sim::SimOptions options;
  options.eraseMs = kEraseTakesMs;
  VirtualClock clock;
  auto camera = std::make_shared<sim::SimCamera>(options, clock);
  Record(*camera);
  FTDClass link(camera, clock);
  link.Open(0);
  MatrixRun run;
  const uint64_t base = camera->CallCount();
  if (fault) ArmMatrixFault(*camera, base, *fault);
  const EraseOutcome out = PressErase(link, *camera);
  run.calls = camera->CallCount() - base;
  run.hit = camera->FaultHitCall() != 0;
  run.hitCall = run.hit ? camera->FaultHitCall() - base : 0;
  // Success is what the operator is told: no failure box. Its output is the erased flash.
  run.succeeded = out.result == EraseResult::Erased;
  run.exact = out.erased;
  run.problems = out.problems;

  // The operator replugs the camera, reconnects, records again and erases once more; it must
  // find no trace of the earlier exchange.
  camera->Replug();
  link.Close();
  link.Open(0);
  Record(*camera);
  const EraseOutcome next = PressErase(link, *camera);
  run.nextSucceeded = next.result == EraseResult::Erased && next.erased && next.problems.empty();
  return run;
}

TEST(EraseFaultMatrix, EveryCallOfTheEraseAndItsWait) {
  const MatrixFigures figures = RunMatrix("erase", RunErase, {AllModes()});
  // The command and more than one read of the wait were all faulted.
  EXPECT_GT(figures.cleanCalls, 3u);
  EXPECT_GT(figures.injected, 0u);
  EXPECT_EQ(figures.survived, figures.injected);
  EXPECT_EQ(figures.wrongSuccesses, 0u);
  for (const std::string& line : figures.failures) ADD_FAILURE() << line;
}

}  // namespace
}  // namespace bf::test
