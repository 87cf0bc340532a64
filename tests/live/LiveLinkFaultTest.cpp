// The live view when the link misbehaves: a header that comes in pieces, one that never comes
// whole, and a camera unplugged while the Stop click nested in the loop talks to it.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/CameraCommands.h"
#include "link/StatusText.h"
#include "live/LiveTestRig.h"

namespace bf::test {
namespace {

using Bytes = std::vector<uint8_t>;
using sim::CallFault;

constexpr uint64_t kRunawayMs = 10 * 60 * 1000;

class LiveLinkFaultTest : public ::testing::Test {
 protected:
  explicit LiveLinkFaultTest(sim::SimOptions options = LiveRig::Defaults()) : rig(options) {
    rig.camera->Model().KeepStreamedRecords(true);
  }

  // Presses Stop from inside the loop's pump once `pictures` pictures are shown; a view still
  // running after kRunawayMs virtual ms is stopped as a failure instead of hanging the test.
  void StopAfter(std::size_t pictures, std::function<void()> beforeStop = {}) {
    const uint64_t start = rig.clock.NowMs();
    rig.prompts.onPump = [this, start, pictures, beforeStop] {
      if (!rig.host.buttonPushed || !rig.capture.LoopRunning()) return;
      const bool runaway = rig.clock.NowMs() - start > kRunawayMs;
      if (runaway) ADD_FAILURE() << "live view still running after " << kRunawayMs << " ms";
      if (rig.host.headers.size() < pictures && !runaway) return;
      if (beforeStop) beforeStop();
      rig.Click();
    };
  }

  // Header and payload of every picture shown, as the camera would have sent them.
  std::vector<Bytes> ShownRecords() const {
    std::vector<Bytes> records;
    for (std::size_t i = 0; i < rig.host.headers.size(); ++i) {
      Bytes r(rig.host.headers[i].bytes.begin(), rig.host.headers[i].bytes.end());
      r.insert(r.end(), rig.host.payloads[i].begin(), rig.host.payloads[i].end());
      records.push_back(std::move(r));
    }
    return records;
  }

  void ExpectIdle() {
    EXPECT_EQ(rig.host.state.streamingFlag, 0);
    EXPECT_FALSE(rig.host.buttonPushed);
    EXPECT_EQ(rig.host.buttonState, LiveViewState::Off);
    EXPECT_TRUE(rig.host.lockedEnabled);
    EXPECT_FALSE(rig.capture.LoopRunning());
  }

  LiveRig rig;
};

// The first header read waits out its timeout with half a header, or returns one byte short at
// once: the rest is on its way, and the picture must be the one the camera sent.
class HeaderInPiecesTest : public LiveLinkFaultTest,
                           public ::testing::WithParamInterface<CallFault> {};

TEST_P(HeaderInPiecesTest, IsCompletedBeforeThePictureIsCut) {
  const uint64_t firstCall = rig.backend->log.size();
  rig.camera->ArmFault(rig.camera->CallCount() + 2, GetParam());  // 1: the start command
  StopAfter(3);

  rig.Click();

  ASSERT_NE(rig.camera->FaultHitCall(), 0u);
  ASSERT_GE(rig.backend->log.size(), firstCall + 2);
  const auto& headerRead = rig.backend->log[firstCall + 1];
  EXPECT_EQ(headerRead.name, "read");
  EXPECT_EQ(headerRead.arg, 16u);
  EXPECT_GT(headerRead.result, 0u);  // the fault took the header apart
  EXPECT_LT(headerRead.result, 16u);
  ASSERT_EQ(rig.host.headers.size(), 3u);
  const auto& sent = rig.camera->Model().StreamedRecords();
  const std::vector<Bytes> shown = ShownRecords();
  ASSERT_GE(sent.size(), shown.size());
  for (std::size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(shown[i], sent[i]) << i;
  EXPECT_TRUE(rig.prompts.shown.empty());
  EXPECT_EQ(rig.backend->BytesSince(0), (Bytes{CMD_START_STREAM, CMD_STOP_STREAM}));
  ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(HalfOrOneShort, HeaderInPiecesTest,
                         ::testing::Values(CallFault::TimeoutHalf, CallFault::ShortRead));

TEST_F(LiveLinkFaultTest, HeaderThatNeverArrivesWholeEndsTheViewAsABadHeader) {
  // After one whole picture the camera hangs eight bytes into the next header. Those eight
  // bytes with the previous header's tail behind them look like a header; the view must not
  // take them for one (and then wait 12 s for a payload that cannot come), but end at once as
  // on a damaged stream.
  uint64_t hungAt = 0;
  rig.host.onShow = [&] {
    if (rig.host.headers.size() == 1) {
      rig.camera->SilentAfterReadBytes(rig.camera->BytesRead() + 8);
      hungAt = rig.clock.NowMs();
    }
  };
  StopAfter(100);  // never reached: the view ends by itself

  rig.Click();

  ASSERT_NE(hungAt, 0u);
  EXPECT_EQ(rig.host.headers.size(), 1u);
  EXPECT_EQ(ShownRecords().front(), rig.camera->Model().StreamedRecords().front());
  EXPECT_TRUE(rig.prompts.shown.empty());
  EXPECT_EQ(rig.backend->BytesSince(0), (Bytes{CMD_START_STREAM}));  // ended without a stop click
  // Resynchronised (the queue count), drained and purged, well inside the header timeout.
  EXPECT_GE(rig.backend->Count("queue"), 1);
  EXPECT_EQ(rig.backend->log.back().name, "purge");
  EXPECT_LT(rig.clock.NowMs() - hungAt, uint64_t{kFrameTimeoutDetectorOff});
  ExpectIdle();
}

TEST_F(LiveLinkFaultTest, UnplugDuringTheNestedStopClickIsReportedOnceAndTheLinkLeftAlone) {
  std::size_t callsAtStop = 0;
  StopAfter(3, [&] {
    rig.camera->Unplug();
    callsAtStop = rig.backend->log.size();
  });

  rig.Click();

  ASSERT_NE(callsAtStop, 0u);
  ASSERT_EQ(rig.prompts.shown.size(), 1u);
  EXPECT_EQ(rig.prompts.shown[0].text, StatusText(ftstatus::kIoError));
  EXPECT_EQ(rig.prompts.shown[0].icon, MessageIcon::Error);
  // The failing stop command was the last call: no drain, no purge on the dead link.
  ASSERT_EQ(rig.backend->log.size(), callsAtStop + 1);
  EXPECT_EQ(rig.backend->log.back().name, "write");
  EXPECT_NE(rig.backend->log.back().status, ftstatus::kOk);
  ExpectIdle();
  // The outer click still ends the view: the display is cleared and the area repainted.
  EXPECT_EQ(rig.host.clears, 1);
  EXPECT_EQ(rig.host.invalidations, 1);

  // Replugged and opened again, the next view runs and ends normally.
  rig.camera->Replug();
  rig.link.Close();
  rig.link.Open(0);
  const std::size_t before = rig.host.headers.size();
  StopAfter(before + 2);
  rig.Click();
  EXPECT_EQ(rig.host.headers.size(), before + 2);
  EXPECT_EQ(rig.prompts.shown.size(), 1u);
  EXPECT_EQ(rig.backend->log.back().name, "purge");
  ExpectIdle();
}

TEST_F(LiveLinkFaultTest, FailedStopCommandInTheNestedClickIsReportedOnce) {
  // One failed call, the device still there: the same single message and no drain, and the
  // window idle, so that the next click sends a start command again.
  StopAfter(2, [&] { rig.camera->FailCall(rig.camera->CallCount() + 1, ftstatus::kIoError); });

  rig.Click();

  ASSERT_EQ(rig.prompts.shown.size(), 1u);
  EXPECT_EQ(rig.prompts.shown[0].text, StatusText(ftstatus::kIoError));
  EXPECT_EQ(rig.backend->Count("purge"), 0);
  ExpectIdle();
  EXPECT_EQ(rig.host.clears, 1);
}

}  // namespace
}  // namespace bf::test
