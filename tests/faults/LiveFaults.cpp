// The live view under every fault on every device call: stopped by a click after a few
// pictures (with the drain that follows), and ended by a damaged stream (resynchronisation).
#include <gtest/gtest.h>

#include <algorithm>

#include "FaultMatrix.h"
#include "live/LiveCapture.h"
#include "sim/VirtualClock.h"
#include "support/ScriptedPrompts.h"

namespace bf::test {
namespace {

// The main window reduced to what the live view touches.
class WindowHost final : public LiveViewHost {
 public:
  LiveState state;
  bool pushed = false;
  LiveViewState button = LiveViewState::Off;
  bool lockedEnabled = true;
  std::vector<std::vector<uint8_t>> shownRecords;  // header and payload of every picture shown

  LiveState& State() override { return state; }
  void ReadControls() override { state.streamingFlag = pushed ? 1 : 0; }
  void WriteControls() override { pushed = state.streamingFlag != 0; }
  LiveViewState ButtonState() override { return button; }
  void SetButtonState(LiveViewState s) override { button = s; }
  void EnableLiveLockedControls(bool on) override { lockedEnabled = on; }
  bool ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) override {
    std::vector<uint8_t> record(header.bytes.begin(), header.bytes.end());
    record.insert(record.end(), payload.begin(), payload.end());
    shownRecords.push_back(std::move(record));
    return true;
  }
  void ClearDisplay() override {}
  void InvalidatePictureArea() override {}

  bool Idle() const {
    return state.streamingFlag == 0 && !pushed && button == LiveViewState::Off && lockedEnabled;
  }
};

struct LiveScene {
  uint32_t garbageBeforeFrame = 0;  // damaged stream: garbage in front of this picture
  // A view that ends on a damaged stream sends no stop command, so its drain reads what the
  // camera goes on streaming: at one picture a second it ends after the first silence.
  uint8_t frameRateIndex = 7;
};

constexpr int kPicturesBeforeStop = 3;
constexpr uint64_t kGiveUpMs = 120'000;

struct LiveOutcome {
  bool idle = false;
  int messages = 0;
  int wrongPictures = 0;
  int pictures = 0;
  bool ended = true;
};

// One press of Start, a press of Stop after kPicturesBeforeStop pictures (from inside the
// loop's event pump, as the window gets it).
LiveOutcome RunLiveView(FTD2xx& link, sim::SimCamera& camera, VirtualClock& clock) {
  WindowHost host;
  host.state.frameTimeout = kFrameTimeoutDetectorOff;
  ScriptedPrompts prompts;
  LiveCapture capture(link, host, prompts, prompts, clock);
  const uint64_t start = clock.NowMs();
  LiveOutcome out;
  bool stopped = false;
  auto maybeStop = [&] {
    const bool enough = host.shownRecords.size() >= kPicturesBeforeStop;
    const bool tooLong = clock.NowMs() - start > kGiveUpMs;
    if (stopped || !capture.LoopRunning() || !(enough || tooLong)) return;
    if (tooLong && !enough) out.ended = false;
    stopped = true;
    host.pushed = false;
    capture.OnStartStopClicked();
  };
  prompts.onPump = maybeStop;
  host.pushed = true;
  capture.OnStartStopClicked();
  out.idle = host.Idle();
  out.messages = static_cast<int>(prompts.shown.size());
  out.pictures = static_cast<int>(host.shownRecords.size());
  const auto& sent = camera.Model().StreamedRecords();
  for (const auto& record : host.shownRecords) {
    if (std::find(sent.begin(), sent.end(), record) == sent.end()) ++out.wrongPictures;
  }
  return out;
}

MatrixRun RunLive(const LiveScene& scene, const std::optional<MatrixFault>& fault) {
  sim::SimOptions options;
  options.frameRateIndex = scene.frameRateIndex;
  options.garbageBeforeFrame = scene.garbageBeforeFrame;
  VirtualClock clock;
  auto camera = std::make_shared<sim::SimCamera>(options, clock);
  camera->Model().KeepStreamedRecords(true);
  FTDClass link(camera, clock);
  link.Open(0);
  MatrixRun run;
  const uint64_t base = camera->CallCount();
  if (fault) ArmMatrixFault(*camera, base, *fault);
  const LiveOutcome out = RunLiveView(link, *camera, clock);
  run.calls = camera->CallCount() - base;
  run.hit = camera->FaultHitCall() != 0;
  run.hitCall = run.hit ? camera->FaultHitCall() - base : 0;
  // The live view "succeeds" when it ran to the stop click without a message; its output are
  // the pictures it showed, each of which must be one the camera sent.
  run.succeeded = out.messages == 0;
  run.exact = out.wrongPictures == 0;
  if (!out.idle) run.problems.push_back("the window is not back to idle");
  if (!out.ended) run.problems.push_back("the live view never ended");
  if (out.messages > 1) run.problems.push_back("more than one message");
  if (out.wrongPictures > 0 && !run.succeeded) {
    run.problems.push_back(std::to_string(out.wrongPictures) + " pictures the camera never sent");
  }

  camera->Replug();
  camera->InjectGarbageBeforeFrame(0, 0);  // the damage was a one-off
  link.Close();
  link.Open(0);
  const LiveOutcome next = RunLiveView(link, *camera, clock);
  run.nextSucceeded = next.idle && next.messages == 0 && next.pictures >= 1 &&
                      next.wrongPictures == 0 && next.ended;
  return run;
}

void ExpectAllSurvived(const MatrixFigures& figures) {
  EXPECT_GT(figures.injected, 0u);
  EXPECT_EQ(figures.survived, figures.injected);
  EXPECT_EQ(figures.wrongSuccesses, 0u);
  for (const std::string& line : figures.failures) ADD_FAILURE() << line;
}

TEST(LiveFaultMatrix, StoppedByAClick) {
  const LiveScene scene;
  ExpectAllSurvived(
      RunMatrix("live", [&](const auto& f) { return RunLive(scene, f); }, {AllModes()}));
}

TEST(LiveFaultMatrix, FaultsInsideTheDrainAfterStop) {
  const LiveScene scene;
  MatrixPlan plan{AllModes()};
  plan.afterStop = true;
  ExpectAllSurvived(RunMatrix(
      "live-drain", [&](const auto& f) { return RunLive(scene, f); }, plan));
}

TEST(LiveFaultMatrix, DamagedStreamResynchronises) {
  LiveScene scene;
  scene.garbageBeforeFrame = 2;
  scene.frameRateIndex = 3;
  ExpectAllSurvived(
      RunMatrix("live-resync", [&](const auto& f) { return RunLive(scene, f); }, {AllModes()}));
}

}  // namespace
}  // namespace bf::test
