// The live view on the wire: settings changed and Stop clicked while frames stream in, the view
// ending by itself (silence, a bad header), a link failure, and the autonomous start and stop.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "golden/GoldenTrace.h"
#include "link/CommandSet.h"
#include "live/LiveCapture.h"
#include "live/LiveTestRig.h"

namespace bf::test {
namespace {

// What the operator does during the view, each step once the window has shown `after`
// pictures; the steps run where the view takes the window's input, in order.
struct Step {
  std::size_t after = 0;
  std::function<void()> action;
};

class LiveSession {
 public:
  explicit LiveSession(GoldenRig& rig, uint32_t frameTimeout = kFrameTimeoutDetectorOff)
      : rig_(rig), capture_(*rig.link, host, rig.prompts, rig.prompts, rig.clock) {
    host.state.frameTimeout = frameTimeout;
    rig_.prompts.onPump = [this] { RunDueSteps(); };
  }

  void At(std::size_t pictures, std::function<void()> action) {
    steps_.push_back({pictures, std::move(action)});
  }
  void Compression(std::size_t pictures, uint8_t level) {
    At(pictures, [this, level] {
      RunGuarded(rig_.prompts,
                 [&] { SendCommandWithValue(*rig_.link, CMD_SET_COMPRESSION, level); });
      capture_.MarkSettingsPending();
    });
  }
  void Colour(std::size_t pictures) {
    At(pictures, [this] {
      capture_.MarkSettingsPending();
      RunGuarded(rig_.prompts, [&] { SendCommand(*rig_.link, CMD_SET_COLOUR); });
    });
  }
  void LedsOff(std::size_t pictures) {
    At(pictures,
       [this] { RunGuarded(rig_.prompts, [&] { SendCommand(*rig_.link, CMD_LEDS_OFF); }); });
  }
  void StopClick(std::size_t pictures) {
    At(pictures, [this] { Click(); });
  }
  // The operator clicks Start/Stop: the button toggles, then its handler runs.
  void Click() {
    host.buttonPushed = !host.buttonPushed;
    capture_.OnStartStopClicked();
  }

  ScriptedLiveHost host;

 private:
  void RunDueSteps() {
    while (next_ < steps_.size() && host.headers.size() >= steps_[next_].after) {
      steps_[next_++].action();
    }
  }

  GoldenRig& rig_;
  LiveCapture capture_;
  std::vector<Step> steps_;
  std::size_t next_ = 0;
};

sim::SimOptions Fast() {
  sim::SimOptions options;
  options.frameRateIndex = 7;
  return options;
}

TEST(GoldenLive, SettingsAndStopWhileStreaming) {
  GoldenRig rig(Fast());
  rig.OpenLink();
  LiveSession live(rig);
  live.Compression(2, 4);
  live.Colour(4);
  live.LedsOff(5);
  live.StopClick(7);
  live.Click();
  EXPECT_GE(live.host.headers.size(), 7u);
  EXPECT_EQ(live.host.buttonState, LiveViewState::Off);
  EXPECT_TRUE(rig.prompts.shown.empty());
  ExpectGoldenTrace("live_settings_stop", rig.TraceLines());
}

TEST(GoldenLive, DetectorOnWaitsUntilStop) {
  sim::SimOptions options;
  options.motionDetector = true;
  options.motionIntervalMs = 1000;
  GoldenRig rig(options);
  rig.OpenLink();
  LiveSession live(rig, kFrameTimeoutUnlimited);
  live.StopClick(3);
  live.Click();
  EXPECT_EQ(live.host.buttonState, LiveViewState::Off);
  ExpectGoldenTrace("live_detector_stop", rig.TraceLines());
}

TEST(GoldenLive, SilentCameraEndsTheView) {
  GoldenRig rig(Fast());
  rig.OpenLink();
  LiveSession live(rig);
  live.At(3, [&] { rig.camera->SetMute(true); });
  live.Click();
  EXPECT_EQ(live.host.buttonState, LiveViewState::Off);
  EXPECT_FALSE(live.host.buttonPushed);
  ExpectGoldenTrace("live_silence", rig.TraceLines());
}

TEST(GoldenLive, BadHeaderEndsTheView) {
  sim::SimOptions options = Fast();
  options.garbageBeforeFrame = 4;
  GoldenRig rig(options);
  rig.OpenLink();
  LiveSession live(rig);
  live.Click();
  EXPECT_EQ(live.host.headers.size(), 3u);
  EXPECT_EQ(live.host.buttonState, LiveViewState::Off);
  ExpectGoldenTrace("live_bad_header", rig.TraceLines());
}

TEST(GoldenLive, UnpluggedWhileStreaming) {
  GoldenRig rig(Fast());
  rig.OpenLink();
  LiveSession live(rig);
  live.At(2, [&] { rig.camera->Unplug(); });
  live.Click();
  EXPECT_EQ(rig.prompts.shown.size(), 1u);
  EXPECT_TRUE(live.host.lockedEnabled);
  ExpectGoldenTrace("live_unplugged", rig.TraceLines());
}

TEST(GoldenLive, StopClickMeetsDeadLink) {
  GoldenRig rig(Fast());
  rig.OpenLink();
  LiveSession live(rig);
  live.At(2, [&] {
    rig.camera->ArmFault(rig.camera->CallCount() + 1, sim::CallFault::Fail);
    live.Click();
  });
  live.Click();
  EXPECT_EQ(rig.prompts.shown.size(), 1u);
  EXPECT_EQ(live.host.buttonState, LiveViewState::Off);
  ExpectGoldenTrace("live_stop_fails", rig.TraceLines());
}

TEST(GoldenLive, AutonomousStartAndStop) {
  GoldenRig rig(Fast());
  rig.OpenLink();
  LiveSession live(rig);
  live.host.autonomousChecked = true;
  live.Click();
  EXPECT_EQ(live.host.buttonState, LiveViewState::Running);
  live.Click();
  EXPECT_EQ(live.host.buttonState, LiveViewState::Off);
  EXPECT_TRUE(live.host.headers.empty());
  ExpectGoldenTrace("live_autonomous", rig.TraceLines());
}

}  // namespace
}  // namespace bf::test
