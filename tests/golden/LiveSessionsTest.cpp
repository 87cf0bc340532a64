// The live view on the wire: settings changed and Stop clicked while frames stream in, the view
// ending by itself (silence, a bad header), a link failure, and the autonomous start and stop.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "golden/GoldenTrace.h"
#include "link/CommandSet.h"
#include "link/LinkThread.h"
#include "live/LiveCapture.h"
#include "live/LiveTestRig.h"

namespace bf::test {
namespace {

// What the operator does during the view: each step is posted to the link thread once the
// window has been handed `after` pictures, and the live loop takes it at its next request point,
// as it takes the window's requests.
struct Step {
  std::size_t after = 0;
  std::function<void()> action;
};

// The live view as the window runs it: the capture on a link thread of its own, the clicks and
// settings posted to it as requests.
class LiveSession {
 public:
  explicit LiveSession(GoldenRig& rig, uint32_t frameTimeout = kFrameTimeoutDetectorOff)
      : rig_(rig), capture_(*rig.link, host, rig.prompts, thread_, rig.clock) {
    host.state.frameTimeout = frameTimeout;
    host.onShow = [this] { PostDueSteps(); };  // link thread
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
    At(pictures, [this] { ClickOnLinkThread(); });
  }
  // The operator clicks Start/Stop: the request runs on the link thread; returns once the link
  // thread has nothing left to do (a view it starts has ended).
  void Click() {
    thread_.PostRequest([this] { ClickOnLinkThread(); });
    thread_.WaitIdle();
  }
  // The button toggles, then its handler runs.
  void ClickOnLinkThread() {
    host.buttonPushed = !host.buttonPushed;
    capture_.OnStartStopClicked();
  }

  ScriptedLiveHost host;

 private:
  void PostDueSteps() {
    while (next_ < steps_.size() && host.headers.size() >= steps_[next_].after) {
      thread_.PostRequest(steps_[next_++].action);
    }
  }

  GoldenRig& rig_;
  LinkThread thread_;
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
    live.ClickOnLinkThread();
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
