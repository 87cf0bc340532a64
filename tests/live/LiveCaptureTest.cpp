// The live view end to end: the real link over the simulated camera on a virtual clock, so the
// 12 s header timeout and minutes of waiting cost no real time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "frames/HeaderGenerator.h"
#include "frames/JpegInfo.h"
#include "frames/RebuildJpeg.h"
#include "link/CameraCommands.h"
#include "link/StatusText.h"
#include "live/LiveTestRig.h"

namespace bf::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Nothing in these tests should take this long in virtual time; if it does, the loop is
// stopped so that the test fails instead of hanging.
constexpr uint64_t kRunawayMs = 30 * 60 * 1000;

Bytes HeaderBytes(uint16_t recordLength, uint8_t compression = 1) {
  const FrameHeader h = FrameHeader::Make(recordLength, 1'700'000'000, compression, 0, 3, 0);
  return Bytes(h.bytes.begin(), h.bytes.end());
}

class LiveCaptureTest : public ::testing::Test {
 protected:
  explicit LiveCaptureTest(sim::SimOptions options = LiveRig::Defaults()) : rig(options) {}

  // Runs `onPump` on every pump of the loop, with a runaway guard that stops the view.
  void OnPump(std::function<void()> step) {
    const uint64_t start = rig.clock.NowMs();
    rig.prompts.onPump = [this, start, step] {
      if (rig.clock.NowMs() - start > kRunawayMs && rig.host.buttonPushed) {
        ADD_FAILURE() << "live view still running after " << kRunawayMs << " virtual ms";
        rig.Click();
        return;
      }
      step();
    };
  }

  // Bytes read from the link between two call indices.
  uint64_t BytesReadBetween(int from, int to) const {
    uint64_t total = 0;
    for (int i = from; i < to; ++i) {
      const auto& c = rig.backend->log[static_cast<std::size_t>(i)];
      if (c.name == "read") total += c.result;
    }
    return total;
  }

  LiveRig rig;
};

TEST_F(LiveCaptureTest, ShowsStreamedFramesUntilAStopClickNestedInTheLoop) {
  bool nestedSawLoop = false;
  OnPump([&] {
    if (rig.host.headers.size() >= 5 && rig.host.buttonPushed) {
      nestedSawLoop = rig.capture.LoopRunning();
      rig.Click();  // runs inside the loop's pump
      EXPECT_EQ(rig.host.buttonState, LiveViewState::Off);
      EXPECT_EQ(rig.host.clears, 1);  // the nested click's own ending
    }
  });

  rig.Click();

  EXPECT_TRUE(nestedSawLoop);
  EXPECT_FALSE(rig.capture.LoopRunning());
  ASSERT_EQ(rig.host.headers.size(), 5u);  // the loop ends at its next check
  const JpegHeaderTable table = GenerateHeaderTable({320, 240});
  for (std::size_t i = 0; i < rig.host.headers.size(); ++i) {
    const FrameHeader& h = rig.host.headers[i];
    EXPECT_TRUE(IsFrameHeader(h));
    EXPECT_EQ(h.Compression(), 2);
    EXPECT_EQ(h.Monochrome(), 0);
    EXPECT_EQ(h.FrameRateIndex(), 7);
    ASSERT_EQ(rig.host.payloads[i].size(), PayloadLength(h));
    const JpegInfo info = DecodeCheckJpeg(RebuildJpeg(table, h, rig.host.payloads[i]));
    EXPECT_TRUE(info.ok) << info.error;
    EXPECT_EQ(info.width, 320);
    EXPECT_EQ(info.height, 240);
  }
  EXPECT_EQ(rig.backend->BytesSince(0), (Bytes{CMD_START_STREAM, CMD_STOP_STREAM}));
  EXPECT_FALSE(rig.camera->Model().Streaming());
  // The start click finishes with drain, purge and the idle state.
  EXPECT_EQ(rig.backend->log.back().name, "purge");
  EXPECT_EQ(rig.backend->log.back().arg, 3u);
  EXPECT_EQ(rig.host.clears, 2);
  EXPECT_EQ(rig.host.invalidations, 2);
  EXPECT_TRUE(rig.host.lockedEnabled);
  EXPECT_FALSE(rig.host.buttonPushed);
  EXPECT_TRUE(rig.prompts.shown.empty());
}

TEST_F(LiveCaptureTest, UndecodableFramesAtFullRateStillLetAStopClickThrough) {
  // Frames that keep coming but never decode (a table that does not match the camera): the
  // window must stay responsive all the same.
  rig.host.showResult = false;
  rig.host.onShow = [this] {
    if (rig.host.headers.size() > 200 && rig.host.state.streamingFlag != 0) {
      ADD_FAILURE() << "no event was dispatched while 200 frames arrived";
      rig.host.state.streamingFlag = 0;
    }
  };
  OnPump([&] {
    if (rig.host.headers.size() >= 5 && rig.host.buttonPushed) rig.Click();
  });

  rig.Click();

  EXPECT_EQ(rig.host.headers.size(), 5u);
  EXPECT_EQ(rig.backend->BytesSince(0), (Bytes{CMD_START_STREAM, CMD_STOP_STREAM}));
  EXPECT_EQ(rig.host.buttonState, LiveViewState::Off);
  EXPECT_FALSE(rig.host.buttonPushed);
}

class SilentCameraTest : public LiveCaptureTest {
 protected:
  SilentCameraTest() : LiveCaptureTest(Muted()) {}
  static sim::SimOptions Muted() {
    sim::SimOptions options = LiveRig::Defaults();
    options.mute = true;
    return options;
  }
};

TEST_F(SilentCameraTest, DetectorOffEndsTheViewAfterTwelveSecondsWithoutAFrame) {
  OnPump([] {});
  const uint64_t start = rig.clock.NowMs();

  rig.Click();

  const uint64_t elapsed = rig.clock.NowMs() - start;
  EXPECT_GE(elapsed, kFrameTimeoutDetectorOff);
  EXPECT_LT(elapsed, kFrameTimeoutDetectorOff + 2000);
  EXPECT_TRUE(rig.prompts.shown.empty());
  EXPECT_EQ(rig.host.buttonState, LiveViewState::Off);
  EXPECT_FALSE(rig.host.buttonPushed);  // popped out by WriteControls
  EXPECT_EQ(rig.host.state.streamingFlag, 0);
  // No stop command: the camera is drained by queue count, drained, then purged both ways.
  EXPECT_EQ(rig.backend->BytesSince(0), (Bytes{CMD_START_STREAM}));
  const int queue = rig.backend->Find("queue");
  const int purge = rig.backend->Find("purge");
  ASSERT_GE(queue, 0);
  ASSERT_GT(purge, queue);
  EXPECT_EQ(rig.backend->log[static_cast<std::size_t>(purge)].arg, 3u);
  EXPECT_TRUE(rig.host.headers.empty());
  EXPECT_EQ(rig.host.clears, 1);
  EXPECT_TRUE(rig.host.lockedEnabled);
}

TEST_F(SilentCameraTest, DetectorOnWaitsWithoutLimitUntilTheStopClick) {
  rig.host.state.frameTimeout = kFrameTimeoutUnlimited;
  const uint64_t start = rig.clock.NowMs();
  OnPump([&] {
    if (rig.clock.NowMs() - start > 10 * 60 * 1000 && rig.host.buttonPushed) rig.Click();
  });

  rig.Click();

  EXPECT_GT(rig.clock.NowMs() - start, 10u * 60 * 1000);
  EXPECT_EQ(rig.backend->BytesSince(0), (Bytes{CMD_START_STREAM, CMD_STOP_STREAM}));
  EXPECT_TRUE(rig.prompts.shown.empty());
  EXPECT_EQ(rig.host.buttonState, LiveViewState::Off);
}

TEST_F(SilentCameraTest, NoTimeoutBeforeTheHandshakeEndsTheViewAtTheFirstEmptyPoll) {
  rig.host.state.frameTimeout = 0;
  OnPump([] {});
  rig.Click();
  EXPECT_EQ(rig.prompts.pumps, 0);
  EXPECT_EQ(rig.host.buttonState, LiveViewState::Off);
  EXPECT_FALSE(rig.host.buttonPushed);
}

TEST_F(SilentCameraTest, EmptyPayloadIsDiscardedAndAShortPayloadIsZeroFilled) {
  bool pushed = false;
  OnPump([&] {
    if (pushed) return;
    pushed = true;
    Bytes records = HeaderBytes(0x0010);  // no payload: the pass is discarded
    const Bytes partial = HeaderBytes(16 + 100);
    records.insert(records.end(), partial.begin(), partial.end());
    records.insert(records.end(), 40, 0xAB);  // only 40 of the 100 announced bytes arrive
    rig.camera->Model().Output().PushBytes(records);
  });

  rig.Click();  // ends by the 12 s timeout after the two records

  ASSERT_EQ(rig.host.headers.size(), 1u);
  EXPECT_EQ(rig.host.headers[0].RecordLength(), 116);
  const Bytes& payload = rig.host.payloads[0];
  ASSERT_EQ(payload.size(), 100u);
  EXPECT_TRUE(
      std::all_of(payload.begin(), payload.begin() + 40, [](uint8_t b) { return b == 0xAB; }));
  EXPECT_TRUE(std::all_of(payload.begin() + 40, payload.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(SilentCameraTest, LengthBelowSixteenAsksForAlmostSixtyFourKilobytes) {
  bool pushed = false;
  OnPump([&] {
    if (pushed) return;
    pushed = true;
    Bytes record = HeaderBytes(0x0005);
    record.insert(record.end(), 10, 0x11);
    rig.camera->Model().Output().PushBytes(record);
  });
  rig.Click();
  ASSERT_EQ(rig.host.payloads.size(), 1u);
  EXPECT_EQ(rig.host.payloads[0].size(), 65525u);
  EXPECT_EQ(rig.host.payloads[0][9], 0x11);
  EXPECT_EQ(rig.host.payloads[0][10], 0);
}

class BadHeaderTest : public LiveCaptureTest {
 protected:
  BadHeaderTest() : LiveCaptureTest(WithGarbage()) {}
  static sim::SimOptions WithGarbage() {
    sim::SimOptions options = LiveRig::Defaults();
    options.garbageBeforeFrame = 3;
    options.garbageBytes = 100;
    options.maxFps = 1000;  // fast enough that the byte limit, not the time limit, ends the drain
    return options;
  }
};

TEST_F(BadHeaderTest, EndsTheViewThenResynchronisesDrainsAtMostAMegabyteAndPurges) {
  OnPump([] {});

  rig.Click();

  EXPECT_EQ(rig.host.headers.size(), 2u);
  EXPECT_TRUE(rig.prompts.shown.empty());
  EXPECT_EQ(rig.host.buttonState, LiveViewState::Off);
  EXPECT_FALSE(rig.host.buttonPushed);
  EXPECT_EQ(rig.backend->BytesSince(0), (Bytes{CMD_START_STREAM}));
  EXPECT_TRUE(rig.host.lockedEnabled);
  EXPECT_EQ(rig.host.clears, 1);

  // The camera never stopped streaming, so the drain ends by its byte limit: more than
  // 1,000,000 bytes, plus at most the last chunk.
  const auto& calls = rig.backend->log;
  int lastQueue = -1;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].name == "queue") lastQueue = static_cast<int>(i);
  }
  ASSERT_GE(lastQueue, 0);
  EXPECT_EQ(calls[static_cast<std::size_t>(lastQueue)].result, 0u);
  const int purge = rig.backend->Find("purge", static_cast<std::size_t>(lastQueue));
  ASSERT_GT(purge, lastQueue);
  EXPECT_EQ(calls.back().name, "purge");
  const uint64_t drained = BytesReadBetween(lastQueue + 1, purge);
  EXPECT_GT(drained, LiveCapture::kDrainLimit);
  EXPECT_LE(drained, LiveCapture::kDrainLimit + LiveCapture::kDrainChunk);
}

class SlowLinkTest : public LiveCaptureTest {
 protected:
  SlowLinkTest() : LiveCaptureTest(TwoKilobytesASecond()) {}
  static sim::SimOptions TwoKilobytesASecond() {
    sim::SimOptions options = LiveRig::Defaults();
    options.bytesPerSecond = 2000;
    return options;
  }
};

TEST_F(SlowLinkTest, StopEndsTheClickWithinSecondsThoughBytesStillTrickleIn) {
  // Not reading for a while lets the camera queue up frames that take minutes to come through.
  uint64_t stoppedAt = 0;
  uint64_t inFlightAtStop = 0;
  OnPump([&] {
    if (!rig.host.headers.empty() && rig.host.buttonPushed) {
      rig.clock.Advance(30'000);
      inFlightAtStop = rig.camera->Model().Output().Size();
      stoppedAt = rig.clock.NowMs();
      rig.Click();
    }
  });

  rig.Click();

  ASSERT_GT(stoppedAt, 0u);
  EXPECT_EQ(rig.backend->BytesSince(0), (Bytes{CMD_START_STREAM, CMD_STOP_STREAM}));
  EXPECT_LE(rig.clock.NowMs() - stoppedAt, LiveCapture::kDrainTimeLimitMs + 1000);
  EXPECT_GT(inFlightAtStop, 100'000u);  // almost a minute's worth at this speed
  EXPECT_EQ(rig.backend->log.back().name, "purge");
}

TEST_F(SlowLinkTest, BadHeaderResynchronisesAndDrainsWithinSeconds) {
  bool injected = false;
  uint64_t lastShownAt = 0;
  rig.host.onShow = [&] { lastShownAt = rig.clock.NowMs(); };
  OnPump([&] {
    if (!rig.host.headers.empty() && !injected) {
      rig.camera->InjectGarbage(100);  // after the frames already queued
      injected = true;
    }
  });

  rig.Click();

  ASSERT_TRUE(injected);
  EXPECT_EQ(rig.host.buttonState, LiveViewState::Off);
  EXPECT_EQ(rig.backend->BytesSince(0), (Bytes{CMD_START_STREAM}));  // the camera still streams
  // After the last frame before the garbage, resynchronising and draining have a few seconds
  // each, though the camera keeps sending.
  EXPECT_LE(rig.clock.NowMs() - lastShownAt, 2 * LiveCapture::kDrainTimeLimitMs + 1000);
  EXPECT_EQ(rig.backend->log.back().name, "purge");
}

class SlowCameraTest : public LiveCaptureTest {
 protected:
  SlowCameraTest() : LiveCaptureTest(OneFramePerSecond()) {}
  static sim::SimOptions OneFramePerSecond() {
    sim::SimOptions options = LiveRig::Defaults();
    options.frameRateIndex = 3;
    return options;
  }
};

TEST_F(SlowCameraTest, SettingsChangeKeepsTheBusyCursorUntilTheNextHeader) {
  bool changed = false;
  std::size_t shownAtChange = 0;
  std::size_t shownWhenCursorEnded = 0;
  OnPump([&] {
    if (!changed && rig.host.headers.size() == 1) {
      // What the compression slider's handler does while the view runs.
      const uint8_t command[2] = {CMD_SET_COMPRESSION, 4};
      rig.link.Write(command, 2);
      rig.capture.MarkSettingsPending();
      changed = true;
      shownAtChange = rig.host.headers.size();
    }
    if (changed && shownWhenCursorEnded == 0 && rig.host.state.settingsPending == 0) {
      shownWhenCursorEnded = rig.host.headers.size();
    }
    if (rig.host.headers.size() >= 3 && rig.host.buttonPushed) rig.Click();
  });

  rig.Click();

  // Handler shows it; the loop re-shows it once after the first pump; the next header ends it.
  EXPECT_EQ(rig.prompts.busyCursor, (std::vector<bool>{true, true, false}));
  EXPECT_EQ(rig.host.state.settingsPending, 0);
  EXPECT_EQ(shownWhenCursorEnded, shownAtChange + 1);
  ASSERT_GE(rig.host.headers.size(), 3u);
  EXPECT_EQ(rig.host.headers[0].Compression(), 2);
  EXPECT_EQ(rig.host.headers.back().Compression(), 4);
  EXPECT_EQ(rig.backend->BytesSince(0),
            (Bytes{CMD_START_STREAM, CMD_SET_COMPRESSION, 4, CMD_STOP_STREAM}));
}

TEST_F(LiveCaptureTest, BusyCursorStaysWhileHeadersArriveWithoutAnEmptyPollThenEndsWithTheView) {
  // At the maximum rate every header arrives within the first read of its pass, so nothing
  // proves yet that the camera has taken the new setting; the Stop click, handled after a
  // frame, must still take the cursor away.
  bool changed = false;
  bool busyWhileRunning = true;
  OnPump([&] {
    if (!changed) {
      rig.capture.MarkSettingsPending();  // what the compression handler does
      changed = true;
      return;
    }
    busyWhileRunning &= !rig.prompts.busyCursor.empty() && rig.prompts.busyCursor.back();
    if (rig.host.headers.size() >= 4 && rig.host.buttonPushed) rig.Click();
  });

  rig.Click();

  EXPECT_TRUE(busyWhileRunning);
  EXPECT_EQ(rig.host.state.settingsPending, 1);
  ASSERT_FALSE(rig.prompts.busyCursor.empty());
  EXPECT_FALSE(rig.prompts.busyCursor.back());
}

TEST_F(LiveCaptureTest, LinkFailureWithASettingPendingEndsTheBusyCursor) {
  OnPump([&] {
    if (rig.host.headers.size() == 2 && rig.host.state.settingsPending == 0) {
      rig.capture.MarkSettingsPending();
      rig.camera->Unplug();
    }
  });

  rig.Click();

  ASSERT_EQ(rig.prompts.shown.size(), 1u);
  ASSERT_FALSE(rig.prompts.busyCursor.empty());
  EXPECT_FALSE(rig.prompts.busyCursor.back());
}

TEST_F(LiveCaptureTest, SettingChangeWithoutALoopLeavesNoBusyCursor) {
  rig.host.autonomousChecked = true;
  rig.Click();  // the camera runs on its own; nothing reads its frames
  ASSERT_EQ(rig.host.buttonState, LiveViewState::Running);

  rig.capture.MarkSettingsPending();

  EXPECT_EQ(rig.host.state.settingsPending, 1);
  EXPECT_TRUE(rig.prompts.busyCursor.empty() || !rig.prompts.busyCursor.back());
}

TEST_F(LiveCaptureTest, LinkFailureMidStreamReportsAndRestoresTheIdleControls) {
  std::size_t callsAtUnplug = 0;
  OnPump([&] {
    if (rig.host.headers.size() == 2 && callsAtUnplug == 0) {
      rig.camera->Unplug();
      callsAtUnplug = rig.backend->log.size();
    }
  });

  rig.Click();

  ASSERT_EQ(rig.prompts.shown.size(), 1u);
  EXPECT_EQ(rig.prompts.shown[0].text, StatusText(rig.link.GetStatusCode()));
  EXPECT_FALSE(rig.prompts.shown[0].text.empty());
  EXPECT_EQ(rig.prompts.shown[0].caption, "");
  EXPECT_EQ(rig.prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(rig.prompts.shown[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(rig.host.state.streamingFlag, 0);
  EXPECT_FALSE(rig.host.buttonPushed);
  EXPECT_EQ(rig.host.buttonState, LiveViewState::Off);
  EXPECT_TRUE(rig.host.lockedEnabled);
  EXPECT_FALSE(rig.capture.LoopRunning());
  // Neither drained nor purged after the failure.
  for (std::size_t i = callsAtUnplug; i < rig.backend->log.size(); ++i) {
    EXPECT_NE(rig.backend->log[i].name, "purge");
  }
  EXPECT_EQ(rig.backend->log.size(), callsAtUnplug + 1);  // the one failing read
}

TEST_F(LiveCaptureTest, AutonomousModeSendsTheCommandsAndReadsNothing) {
  rig.host.autonomousChecked = true;

  rig.Click();
  EXPECT_EQ(rig.host.buttonState, LiveViewState::Running);
  EXPECT_TRUE(rig.host.buttonPushed);
  rig.Click();

  EXPECT_EQ(rig.host.buttonState, LiveViewState::Off);
  EXPECT_EQ(rig.backend->BytesSince(0), (Bytes{CMD_START_STREAM, CMD_STOP_STREAM}));
  EXPECT_EQ(rig.backend->Count("read"), 0);
  EXPECT_EQ(rig.backend->Count("purge"), 0);
  EXPECT_EQ(rig.host.lockCalls, 0);
  EXPECT_EQ(rig.host.clears, 0);
}

TEST_F(LiveCaptureTest, FailedStartCommandLeavesTheCaptionAndReportsTheStatus) {
  rig.camera->FailCall(rig.camera->CallCount() + 1, ftstatus::kIoError);
  rig.Click();
  ASSERT_EQ(rig.prompts.shown.size(), 1u);
  EXPECT_EQ(rig.prompts.shown[0].text, StatusText(ftstatus::kIoError));
  EXPECT_EQ(rig.host.buttonState, LiveViewState::Off);
  EXPECT_FALSE(rig.host.buttonPushed);
  EXPECT_EQ(rig.backend->Count("read"), 0);
}

}  // namespace
}  // namespace bf::test
