// The live view against replies no well-behaved camera gives, played by the scripted device.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "live/LiveCapture.h"
#include "live/LiveTestRig.h"
#include "sim/ScriptedBackend.h"
#include "sim/VirtualClock.h"

namespace bf::test {
namespace {

struct ScriptedLiveRig {
  explicit ScriptedLiveRig(const std::vector<uint8_t>& script)
      : backend(std::make_shared<sim::ScriptedBackend>(script, clock)),
        link(backend, clock),
        capture(link, host, prompts, prompts, clock) {
    link.Open(0);
    host.state.frameTimeout = kFrameTimeoutDetectorOff;
  }
  void Click() {
    host.buttonPushed = !host.buttonPushed;
    capture.OnStartStopClicked();
  }

  VirtualClock clock;
  std::shared_ptr<sim::ScriptedBackend> backend;
  FTDClass link;
  ScriptedLiveHost host;
  ScriptedPrompts prompts;
  LiveCapture capture;
};

TEST(LiveReplies, AHugeQueueCountAfterABadHeaderIsThrownAwayInBoundedPieces) {
  // Open, timeouts, the start command, a header in the wrong byte order, then a queue count of
  // 200 MB that never comes (the device falls silent).
  const std::vector<uint8_t> bad = {0xFE, 0xFF, 'J', 'P', 'E', 'G', 0, 0x20,
                                    0,    0,    0,   0,   0,   0,   0, 0};
  sim::ScriptWriter script;
  script.Ok().Ok().Ok().Read(16, bad).QueueCount(200'000'000);
  ScriptedLiveRig rig(script.Bytes());

  rig.Click();

  EXPECT_LE(rig.backend->LargestReadAsked(), LiveCapture::kDrainChunk)
      << "a read sized by the device's queue count";
  EXPECT_EQ(rig.backend->DeadCalls(), 0u) << "the view ended while the device was still silent";
  EXPECT_EQ(rig.host.buttonState, LiveViewState::Off);
  EXPECT_FALSE(rig.host.buttonPushed);
  EXPECT_TRUE(rig.host.lockedEnabled);
  EXPECT_TRUE(rig.prompts.shown.empty());
}

TEST(LiveReplies, QueuedBytesBehindABadHeaderAreReadUntilTheQueueIsEmpty) {
  // 100,000 bytes really are waiting: they go in pieces, and the count is asked again after each.
  const std::vector<uint8_t> bad(16, 0x00);
  sim::ScriptWriter script;
  script.Ok().Ok().Ok().Read(16, bad).QueueArrival(100'000, 0x5A);
  ScriptedLiveRig rig(script.Bytes());

  rig.Click();

  EXPECT_EQ(rig.backend->Queued(), 0u);
  EXPECT_LE(rig.backend->LargestReadAsked(), LiveCapture::kDrainChunk);
  EXPECT_EQ(rig.host.buttonState, LiveViewState::Off);
  EXPECT_TRUE(rig.prompts.shown.empty());
}

}  // namespace
}  // namespace bf::test
