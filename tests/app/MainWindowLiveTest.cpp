// The main window around a running live view: handlers nested in the live loop's event pump.
#include "MainWindowFixture.h"
#include "link/StatusText.h"
#include "picture/CBfkPlayer.h"

namespace bf::test {
namespace {

using namespace bf::ui;

constexpr int kLiveLocked[] = {IDC_SET_CLOCK, IDC_FLASH_SAVE, IDC_OPEN,       IDC_FLASH_ERASE,
                               IDC_ROTATE_0,  IDC_ROTATE_90,  IDC_ROTATE_180, IDC_ROTATE_270};

class MainWindowLive : public MainWindowTest {
 protected:
  // Runs a Start click; `during` runs at each pump of the loop with the pump's number and
  // returns true to press Stop.
  void RunLive(const std::function<bool(int round)>& during) {
    WhileLive([&](int round) {
      if (!during(round)) return false;
      Click(IDC_START_STOP);
      return true;
    });
  }
};

TEST_F(MainWindowLive, StartShowsFramesAndStopReturnsToIdle) {
  options.frameRateIndex = 7;
  Start();
  bool sawPicture = false;
  bool lockedWhileRunning = true;
  RunLive([&](int) {
    for (int id : kLiveLocked) lockedWhileRunning &= !W(id)->isEnabled();
    EXPECT_EQ(StartStopCaption(), "Стоп");
    if (window->PlayerWindow().HasPicture()) sawPicture = true;
    return sawPicture && IsFrameHeader(window->PlayerWindow().ShownHeader());
  });
  EXPECT_TRUE(sawPicture);
  EXPECT_TRUE(lockedWhileRunning);
  EXPECT_EQ(StartStopCaption(), "Старт");
  EXPECT_FALSE(B(IDC_START_STOP)->isChecked());
  EXPECT_FALSE(camera->Model().Streaming());
  for (int id : kLiveLocked) EXPECT_TRUE(W(id)->isEnabled()) << id;
  EXPECT_FALSE(window->PlayerWindow().HasPicture());  // cleared at the end
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(MainWindowLive, AutonomousAndExternalRecordingAreRefusedWhileStreaming) {
  Start();
  std::size_t mark = 0;
  RunLive([&](int pump) {
    if (pump == 1) {
      mark = backend->writes.size();
      Click(IDC_AUTONOMOUS);
      EXPECT_FALSE(B(IDC_AUTONOMOUS)->isChecked());
      Click(IDC_EXT_RECORDING);
      EXPECT_FALSE(B(IDC_EXT_RECORDING)->isChecked());
      EXPECT_EQ(backend->writes.size(), mark);  // nothing sent
      return true;
    }
    return false;
  });
  EXPECT_FALSE(backend->Sent(CMD_AUTONOMOUS_ON, mark));
  EXPECT_FALSE(backend->Sent(CMD_EXT_RECORDING_ON, mark));
  EXPECT_FALSE(camera->Model().Autonomous());
  EXPECT_FALSE(camera->Model().ExternalRecording());
}

TEST_F(MainWindowLive, LedsAndSettingsAreSentAtOnceDuringTheLiveView) {
  options.compression = 2;
  Start();
  bool ledsOffAtOnce = false;
  bool pendingSeen = false;
  bool pendingCleared = false;
  RunLive([&](int pump) {
    if (pump == 1) {
      Click(IDC_LEDS_OFF);
      ledsOffAtOnce = !camera->Model().LedsOn();
      const std::size_t cursorMark = prompts.busyCursor.size();
      KeyStep(S(IDC_COMPRESSION), Qt::Key_Down);
      pendingSeen = prompts.busyCursor.size() > cursorMark && prompts.busyCursor[cursorMark];
      EXPECT_EQ(camera->Model().Settings().compression, 3);
      return false;
    }
    // The busy cursor ends with the next header after an empty poll.
    if (!prompts.busyCursor.back()) pendingCleared = true;
    return pendingCleared;
  });
  EXPECT_TRUE(ledsOffAtOnce);
  EXPECT_TRUE(pendingSeen);
  EXPECT_TRUE(pendingCleared);
  ASSERT_FALSE(prompts.busyCursor.empty());
  EXPECT_FALSE(prompts.busyCursor.back());
}

TEST_F(MainWindowLive, SilentCameraEndsTheViewAfterTwelveSecondsWithDrainAndPurge) {
  options.motionDetector = false;
  Start();
  std::size_t mark = 0;
  uint64_t startMs = 0;
  RunLive([&](int pump) {
    if (pump == 1) {
      camera->SetMute(true);
      mark = backend->writes.size();
      startMs = clock.NowMs();
    }
    return false;  // never pressed: the view must end by itself
  });
  EXPECT_GE(clock.NowMs() - startMs, 12'000u - 400u);
  EXPECT_EQ(StartStopCaption(), "Старт");
  EXPECT_FALSE(B(IDC_START_STOP)->isChecked());
  EXPECT_FALSE(backend->Sent(CMD_STOP_STREAM, mark));
  ASSERT_FALSE(backend->purges.empty());
  EXPECT_EQ(backend->purges.back(), kPurgeRx | kPurgeTx);
  for (int id : kLiveLocked) EXPECT_TRUE(W(id)->isEnabled()) << id;
}

TEST_F(MainWindowLive, DetectorOnWaitsWithoutLimitUntilStop) {
  options.motionDetector = true;
  Start();
  uint64_t startMs = 0;
  bool stillRunning = true;
  RunLive([&](int pump) {
    if (pump == 1) {
      camera->SetMute(true);
      startMs = clock.NowMs();
    }
    stillRunning &= window->Camera().State().live.streamingFlag == 1;
    return clock.NowMs() - startMs > 60'000;
  });
  EXPECT_TRUE(stillRunning);
  EXPECT_TRUE(backend->Sent(CMD_STOP_STREAM));
  EXPECT_EQ(StartStopCaption(), "Старт");
}

TEST_F(MainWindowLive, LinkFailureEndsTheViewWithTheStatusText) {
  Start();
  RunLive([&](int pump) {
    if (pump == 1) camera->Unplug();
    return false;
  });
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(StartStopCaption(), "Старт");
  EXPECT_FALSE(B(IDC_START_STOP)->isChecked());
  EXPECT_EQ(window->Camera().State().live.streamingFlag, 0);
  for (int id : kLiveLocked) EXPECT_TRUE(W(id)->isEnabled()) << id;
}

TEST_F(MainWindowLive, FramesTheTableCannotDecodeStillLetStopThrough) {
  // A headers.dat that fits no camera (all zero bytes): no frame decodes, at the maximum rate.
  headers = JpegHeaderTable();
  options.frameRateIndex = 7;
  options.unplugAfterBytes = 20'000'000;  // ends a view that never lets Stop through
  Start();
  bool sawPicture = false;
  int framesShown = 0;
  RunLive([&](int) {
    sawPicture |= window->PlayerWindow().HasPicture();
    if (IsFrameHeader(window->PlayerWindow().ShownHeader())) ++framesShown;
    return framesShown >= 3;
  });
  EXPECT_FALSE(sawPicture);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_TRUE(backend->Sent(CMD_STOP_STREAM));
  EXPECT_EQ(StartStopCaption(), "Старт");
  for (int id : kLiveLocked) EXPECT_TRUE(W(id)->isEnabled()) << id;
}

TEST_F(MainWindowLive, StopAfterASettingsChangeAtFullRateEndsTheBusyCursor) {
  options.frameRateIndex = 7;
  Start();
  RunLive([&](int pump) {
    if (pump == 1) KeyStep(S(IDC_COMPRESSION), Qt::Key_Down);
    return pump == 5;
  });
  EXPECT_EQ(StartStopCaption(), "Старт");
  ASSERT_FALSE(prompts.busyCursor.empty());
  EXPECT_FALSE(prompts.busyCursor.back());
}

TEST_F(MainWindowLive, ClosingOnASlowLinkEndsWithinSeconds) {
  options.bytesPerSecond = 2000;
  options.frameRateIndex = 7;
  Start();
  uint64_t closedAt = 0;
  bool closed = false;
  uint64_t stopSentAt = 0;
  uint64_t lastReadAt = 0;
  backend->beforeRead = [&] {  // link thread
    if (stopSentAt == 0 && backend->Sent(CMD_STOP_STREAM)) stopSentAt = clock.NowMs();
    lastReadAt = clock.NowMs();
  };
  WhileLive([&](int) {
    if (!window->PlayerWindow().HasPicture()) return false;
    closed = true;
    clock.Advance(60'000);  // the camera has queued far more than a minute's worth meanwhile
    closedAt = clock.NowMs();
    window->close();
    return true;
  });
  ASSERT_TRUE(closed);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->result(), QDialog::Rejected);
  EXPECT_TRUE(backend->Sent(CMD_STOP_STREAM));
  backend->beforeRead = nullptr;
  // The stop goes out at the loop's next request point, and reading ends within seconds of it.
  EXPECT_LE(stopSentAt - closedAt, 5000u);
  EXPECT_LE(lastReadAt - stopSentAt, 5000u);
}

TEST_F(MainWindowLive, ClockButtonDoesNothingWhileTheButtonIsIn) {
  Start();
  Click(IDC_AUTONOMOUS);
  const std::size_t mark = backend->writes.size();
  Click(IDC_START_STOP);  // autonomous: stream command, no loop
  EXPECT_EQ(StartStopCaption(), "Стоп");
  EXPECT_TRUE(W(IDC_SET_CLOCK)->isEnabled());
  Click(IDC_SET_CLOCK);
  EXPECT_FALSE(backend->Sent(CMD_GET_CLOCK, mark));
  Click(IDC_START_STOP);
  EXPECT_TRUE(backend->Sent(CMD_STOP_STREAM, mark));
  EXPECT_EQ(StartStopCaption(), "Старт");
}

}  // namespace
}  // namespace bf::test
