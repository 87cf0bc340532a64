// The start-up status handshake under every fault on every device call: a camera that answers
// at once, and one still streaming from an earlier run (the retries with their drains).
#include <gtest/gtest.h>

#include "FaultMatrix.h"
#include "link/CommandSet.h"
#include "link/StatusHandshake.h"
#include "sim/VirtualClock.h"
#include "support/ScriptedPrompts.h"

namespace bf::test {
namespace {

// What the camera's status record holds in the bytes the window takes its controls from.
bool StatusMatchesCamera(const CameraStatus& status, sim::CameraModel& model) {
  const auto& s = model.Settings();
  return status.IsValid() && status.Compression() == s.compression &&
         status.Colour() == !s.monochrome && status.FrameRateIndex() == s.frameRateIndex &&
         status.MotionDetectorOn() == s.motionDetector;
}

// The closing commands of a successful handshake reached the camera.
bool CameraLeftReady(sim::CameraModel& model) {
  return model.LedsOn() && !model.ExternalRecording() && !model.Autonomous();
}

struct HandshakeScene {
  bool streaming = false;  // the camera still streams from an earlier run
  uint32_t notReady = 0;   // status replies that say "not ready" first
};

MatrixRun RunHandshake(const HandshakeScene& scene, const std::optional<MatrixFault>& fault) {
  sim::SimOptions options;
  options.frameRateIndex = 7;
  options.compression = 3;
  options.monochrome = true;
  options.notReadyQueries = scene.notReady;
  VirtualClock clock;
  auto camera = std::make_shared<sim::SimCamera>(options, clock);
  if (scene.streaming) {
    // An earlier run left the stream on and the LEDs off: the handshake must put both right.
    FTD2xx earlier(camera, clock);
    earlier.Open(0);
    SendCommand(earlier, CMD_LEDS_OFF);
    SendCommand(earlier, CMD_START_STREAM);
    // Between two pictures, so that the first status reply is not queued behind one (a frame
    // header would pass for a status record: it starts with the same marker and settings).
    clock.Advance(510);
    earlier.GetQueueStatus();  // the pictures so far are in the bridge (the reset drops them)
    earlier.Close();
  }
  FTDClass link(camera, clock);
  ScriptedPrompts prompts;
  MatrixRun run;
  const uint64_t base = camera->CallCount();
  if (fault) ArmMatrixFault(*camera, base, *fault);
  int applied = 0;
  const auto status = RunStatusHandshake(link, prompts, clock, [&](const CameraStatus& s) {
    ++applied;
    if (!StatusMatchesCamera(s, camera->Model())) run.problems.push_back("applied a wrong status");
  });
  run.calls = camera->CallCount() - base;
  run.hit = camera->FaultHitCall() != 0;
  run.hitCall = run.hit ? camera->FaultHitCall() - base : 0;
  run.succeeded = status.has_value();
  run.exact = run.succeeded && StatusMatchesCamera(*status, camera->Model()) &&
              CameraLeftReady(camera->Model()) && applied == 1;
  if (!run.succeeded && prompts.shown.size() != 1) {
    run.problems.push_back("a failed handshake must say so once, said it " +
                           std::to_string(prompts.shown.size()) + " times");
  }
  if (run.succeeded && !prompts.shown.empty()) run.problems.push_back("a message on success");

  // The person replugs the camera and starts the program again.
  camera->Replug();
  ScriptedPrompts again;
  const auto next = RunStatusHandshake(link, again, clock, {});
  run.nextSucceeded = next.has_value() && StatusMatchesCamera(*next, camera->Model()) &&
                      CameraLeftReady(camera->Model());
  return run;
}

void ExpectAllSurvived(const MatrixFigures& figures) {
  EXPECT_GT(figures.injected, 0u);
  EXPECT_EQ(figures.survived, figures.injected);
  EXPECT_EQ(figures.wrongSuccesses, 0u);
  EXPECT_EQ(figures.bytesLost, 0u);
  for (const std::string& line : figures.failures) ADD_FAILURE() << line;
}

TEST(HandshakeFaultMatrix, ReadyCamera) {
  const HandshakeScene scene;
  ExpectAllSurvived(
      RunMatrix("handshake", [&](const auto& f) { return RunHandshake(scene, f); }, {AllModes()}));
}

TEST(HandshakeFaultMatrix, StreamingCameraNotReadyAtFirst) {
  HandshakeScene scene;
  scene.streaming = true;
  scene.notReady = 1;
  ExpectAllSurvived(RunMatrix("handshake-streaming",
                              [&](const auto& f) { return RunHandshake(scene, f); }, {AllModes()}));
}

TEST(HandshakeFaultMatrix, FaultsInsideTheRetries) {
  HandshakeScene scene;
  scene.streaming = true;
  scene.notReady = 2;
  MatrixPlan plan{AllModes()};
  plan.afterStop = true;
  ExpectAllSurvived(RunMatrix(
      "handshake-retry", [&](const auto& f) { return RunHandshake(scene, f); }, plan));
}

}  // namespace
}  // namespace bf::test
