// The main window's camera settings without a window: the presenter on the real link thread and
// link over the simulated camera on a virtual clock, its view a recorder, the test thread the
// GUI thread. Every setting is tried with the camera idle and while a live view streams.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "host/GuiThreadPrompts.h"
#include "host/PostedGuiQueue.h"
#include "link/CameraCommands.h"
#include "link/FTD2xx.h"
#include "link/LinkThread.h"
#include "link/StatusText.h"
#include "live/CameraSettingsPanel.h"
#include "sim/SimCamera.h"
#include "sim/VirtualClock.h"
#include "support/CallLogBackend.h"
#include "support/ScriptedPrompts.h"

namespace bf::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Writes = std::vector<Bytes>;

class RecordingView final : public CameraSettingsView {
 public:
  std::vector<CameraSettingsState> shown;
  int frames = 0;
  int clears = 0;

  void ShowCameraSettings(const CameraSettingsState& state) override { shown.push_back(state); }
  bool ShowFrame(const FrameHeader&, std::span<const uint8_t>) override {
    ++frames;
    return true;
  }
  void ClearDisplay() override { ++clears; }
  void InvalidatePictureArea() override {}
};

sim::SimOptions FastCamera() {
  sim::SimOptions options;
  options.frameRateIndex = 7;  // many frames per virtual second
  return options;
}

CameraStatus Status(uint8_t compression, bool colour, uint8_t rate, bool detector) {
  CameraStatus status;
  status.bytes = {
      0xFF,        0xFE,
      'J',         'P',
      'E',         'G',
      0,           0,
      0,           0,
      0,           0,
      compression, static_cast<uint8_t>(colour ? 0 : 1),
      rate,        static_cast<uint8_t>(detector ? CameraStatus::kMotionDetectorOn : 0)};
  return status;
}

class CameraSettingsPanelTest : public ::testing::Test {
 protected:
  CameraSettingsPanelTest()
      : camera(std::make_shared<sim::SimCamera>(FastCamera(), clock)),
        backend(std::make_shared<CallLogBackend>(camera)),
        link(backend, clock) {
    link.Open(0);
    // As the handshake leaves it: the detector off, so the live view waits 12 s for a header.
    panel.ApplyCameraStatus(Status(2, true, 7, false));
  }

  void TearDown() override {
    if (panel.State().Streaming() && !panel.State().live.autonomousFlag)
      panel.OnStartStopClicked(false);
    Settle();
  }

  // Runs the GUI thread's queue until `done`; false when the link thread has nothing more to
  // do and `done` still does not hold (a live view that ended, say), so no test hangs.
  bool PumpUntil(const std::function<bool()>& done) {
    for (;;) {
      if (done()) return true;
      if (thread.Idle()) {
        gui.Calls().RunAll();
        return done();
      }
      gui.Calls().WaitFor(std::chrono::milliseconds(5));
      gui.Calls().RunAll();
    }
  }
  // Until the link thread has done everything posted to it.
  void Settle() {
    PumpUntil([] { return false; });
    gui.Calls().RunAll();
  }
  // The operator starts the live view; returns once pictures arrive.
  void StartLiveView() {
    panel.OnStartStopClicked(true);
    ASSERT_TRUE(PumpUntil([this] { return view.frames >= 2; })) << "the live view ended";
  }
  // More pictures after those shown so far: the view went on.
  void MorePictures(int count) {
    const int before = view.frames;
    ASSERT_TRUE(PumpUntil([&] { return view.frames >= before + count; })) << "the view ended";
  }
  // The operator stops it; returns once the link thread is done.
  void StopLiveView() {
    panel.OnStartStopClicked(false);
    Settle();
  }
  Writes CommandsSince(std::size_t mark) const {
    Writes commands = backend->WritesSince(mark);
    // The handshake-free rig sends nothing but commands: each write is one command.
    return commands;
  }

  VirtualClock clock;
  std::shared_ptr<sim::SimCamera> camera;
  std::shared_ptr<CallLogBackend> backend;
  FTDClass link;
  ScriptedPrompts prompts;
  PostedGuiQueue gui;
  GuiThreadPrompts linkPrompts{prompts, gui};
  RecordingView view;
  LinkThread thread;
  CameraSettingsPanel panel{CameraSettingsPanel::Link{link, thread, gui, linkPrompts, clock}, view};
};

// One control's event: what it sends with the camera idle and while the live view streams
// (nothing: refused then), and what the controls show afterwards.
struct SettingCase {
  std::string name;
  std::function<void(CameraSettingsPanel&)> act;
  Writes idle;
  Writes streaming;
  std::function<void(const CameraSettingsState&, bool streaming)> check;
};

void PrintTo(const SettingCase& c, std::ostream* out) {
  *out << c.name;
}

std::vector<SettingCase> SettingCases() {
  using P = CameraSettingsPanel;
  using S = CameraSettingsState;
  return {
      {"FrameRate",
       [](P& p) { p.OnFrameRateSelected(5); },
       {{CMD_SET_FRAME_RATE, 5}},
       {{CMD_SET_FRAME_RATE, 5}},
       [](const S& s, bool) { EXPECT_EQ(s.frameRateIndex, 5); }},
      {"Monochrome",
       [](P& p) { p.OnColourSelected(0); },
       {{CMD_SET_MONOCHROME}},
       {{CMD_SET_MONOCHROME}},
       [](const S& s, bool) { EXPECT_EQ(s.colourIndex, 0); }},
      {"Colour",
       [](P& p) { p.OnColourSelected(1); },
       {{CMD_SET_COLOUR}},
       {{CMD_SET_COLOUR}},
       [](const S& s, bool) { EXPECT_EQ(s.colourIndex, 1); }},
      {"Compression",
       [](P& p) { p.OnCompressionScrollEnded(3); },
       {{CMD_SET_COMPRESSION, 3}},
       {{CMD_SET_COMPRESSION, 3}},
       [](const S& s, bool) { EXPECT_EQ(s.compression, 3); }},
      {"DetectorOn",
       [](P& p) { p.OnDetectorOn(); },
       {{CMD_MOTION_DETECT_ON}},
       {{CMD_MOTION_DETECT_ON}},
       [](const S& s, bool) {
         EXPECT_EQ(s.live.frameTimeout, kFrameTimeoutUnlimited);
         EXPECT_TRUE(s.DetectorOnChecked());
         EXPECT_TRUE(s.SensitivityEnabled());
       }},
      {"DetectorOff",
       [](P& p) { p.OnDetectorOff(); },
       {{CMD_MOTION_DETECT_OFF}},
       {{CMD_MOTION_DETECT_OFF}},
       [](const S& s, bool) {
         EXPECT_EQ(s.live.frameTimeout, kFrameTimeoutDetectorOff);
         EXPECT_TRUE(s.DetectorOffChecked());
         EXPECT_FALSE(s.SensitivityEnabled());
       }},
      // The slider's left end is 0%: position 1 sends 4.
      {"Sensitivity",
       [](P& p) { p.OnSensitivityScrollEnded(1); },
       {{CMD_SET_SENSITIVITY, 4}},
       {{CMD_SET_SENSITIVITY, 4}},
       [](const S& s, bool) { EXPECT_EQ(s.sensitivity, 1); }},
      {"AutonomousOn",
       [](P& p) { p.OnAutonomousClicked(true); },
       {{CMD_AUTONOMOUS_ON}},
       {},
       [](const S& s, bool streaming) { EXPECT_EQ(s.live.autonomousFlag, streaming ? 0 : 1); }},
      {"AutonomousOff",
       [](P& p) { p.OnAutonomousClicked(false); },
       {{CMD_AUTONOMOUS_OFF}},
       {},
       [](const S& s, bool) { EXPECT_EQ(s.live.autonomousFlag, 0); }},
      {"LedsOff",
       [](P& p) { p.OnLedsOffClicked(true); },
       {{CMD_LEDS_OFF}},
       {{CMD_LEDS_OFF}},
       [](const S& s, bool) { EXPECT_TRUE(s.ledsOff); }},
      {"LedsOn",
       [](P& p) { p.OnLedsOffClicked(false); },
       {{CMD_LEDS_ON}},
       {{CMD_LEDS_ON}},
       [](const S& s, bool) { EXPECT_FALSE(s.ledsOff); }},
      {"ExtRecordingOn",
       [](P& p) { p.OnExtRecordingClicked(true); },
       {{CMD_EXT_RECORDING_ON}},
       {},
       [](const S& s, bool streaming) { EXPECT_EQ(s.extRecording, !streaming); }},
      {"ExtRecordingOff",
       [](P& p) { p.OnExtRecordingClicked(false); },
       {{CMD_EXT_RECORDING_OFF}},
       {},
       [](const S& s, bool) { EXPECT_FALSE(s.extRecording); }},
      {"Rotation",
       [](P& p) { p.OnRotationSelected(2); },
       {},
       {},
       [](const S& s, bool) { EXPECT_EQ(s.rotation, 2); }},
  };
}

class SettingTest : public CameraSettingsPanelTest,
                    public ::testing::WithParamInterface<SettingCase> {};

TEST_P(SettingTest, SendsWhileIdle) {
  const SettingCase& c = GetParam();
  panel.EnableCameraControls(true);
  const std::size_t mark = backend->WriteCount();
  c.act(panel);
  Settle();
  EXPECT_EQ(CommandsSince(mark), c.idle);
  c.check(panel.State(), false);
  ASSERT_FALSE(view.shown.empty());
  c.check(view.shown.back(), false);  // what the view was last given is the state
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_P(SettingTest, SendsBetweenReadsOrIsRefusedWhileStreaming) {
  const SettingCase& c = GetParam();
  panel.EnableCameraControls(true);
  const std::size_t mark = backend->WriteCount();
  StartLiveView();
  c.act(panel);
  // The view goes on after the setting: it was taken between two reads.
  MorePictures(2);
  StopLiveView();
  Writes expected{{CMD_START_STREAM}};
  expected.insert(expected.end(), c.streaming.begin(), c.streaming.end());
  expected.push_back({CMD_STOP_STREAM});
  EXPECT_EQ(CommandsSince(mark), expected);
  c.check(panel.State(), true);
  c.check(view.shown.back(), true);
  EXPECT_TRUE(prompts.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(EachSetting, SettingTest, ::testing::ValuesIn(SettingCases()),
                         [](const auto& param) { return param.param.name; });

TEST_F(CameraSettingsPanelTest, AStatusSetsTheFieldsAndSendsNothing) {
  panel.OnSensitivityScrollEnded(3);
  panel.OnLedsOffClicked(true);
  panel.OnExtRecordingClicked(true);
  Settle();
  const std::size_t mark = backend->WriteCount();
  panel.ApplyCameraStatus(Status(4, true, 6, true));
  Settle();
  EXPECT_TRUE(CommandsSince(mark).empty());
  const CameraSettingsState& s = panel.State();
  EXPECT_EQ(s.compression, 4);
  EXPECT_EQ(s.colourIndex, 1);
  EXPECT_EQ(s.frameRateIndex, 6);
  EXPECT_EQ(s.live.frameTimeout, kFrameTimeoutUnlimited);
  EXPECT_EQ(s.sensitivity, 0);  // the handshake then sends 5, the left end
  EXPECT_FALSE(s.ledsOff);
  EXPECT_FALSE(s.extRecording);
  EXPECT_FALSE(s.SensitivityEnabled());  // until the camera controls come on
  panel.EnableCameraControls(true);
  EXPECT_TRUE(view.shown.back().SensitivityEnabled());

  panel.OnSensitivityScrollEnded(2);
  panel.ApplyCameraStatus(Status(0, false, 1, false));
  EXPECT_EQ(panel.State().colourIndex, 0);
  EXPECT_EQ(panel.State().live.frameTimeout, kFrameTimeoutDetectorOff);
  EXPECT_EQ(panel.State().sensitivity, 2);  // the detector off leaves the slider where it was
  EXPECT_FALSE(view.shown.back().SensitivityEnabled());
}

TEST_F(CameraSettingsPanelTest, TheLiveViewLocksTheJobsAndTheCameraGroupUnlocksThemAgain) {
  panel.EnableCameraControls(true);
  ASSERT_TRUE(view.shown.back().jobsOn && view.shown.back().openOn);
  StartLiveView();
  EXPECT_EQ(view.shown.back().liveView, LiveViewState::Running);
  EXPECT_FALSE(view.shown.back().jobsOn);
  EXPECT_FALSE(view.shown.back().openOn);
  // Playback started and stopped meanwhile switches the camera group: the later switch decides
  // for the jobs, but "Открыть..." stays locked by the live view.
  panel.EnableCameraControls(false);
  panel.EnableCameraControls(true);
  EXPECT_TRUE(view.shown.back().jobsOn);
  EXPECT_FALSE(view.shown.back().openOn);
  StopLiveView();
  const CameraSettingsState& s = view.shown.back();
  EXPECT_EQ(s.liveView, LiveViewState::Off);
  EXPECT_FALSE(s.Streaming());
  EXPECT_TRUE(s.jobsOn);
  EXPECT_TRUE(s.openOn);
  EXPECT_GE(view.clears, 1);
}

TEST_F(CameraSettingsPanelTest, CompressionWhileStreamingHoldsTheBusyCursorUntilTheNextHeader) {
  panel.EnableCameraControls(true);
  // A frame a second: the header after the change comes after empty polls.
  panel.OnFrameRateSelected(3);
  StartLiveView();
  panel.OnCompressionScrollEnded(1);
  MorePictures(2);
  StopLiveView();
  ASSERT_GE(prompts.busyCursor.size(), 2u);
  EXPECT_TRUE(prompts.busyCursor.front());
  EXPECT_FALSE(prompts.busyCursor.back());
  EXPECT_EQ(panel.LinkLiveState().settingsPending, 0);

  // Without a live view nothing would end the cursor: it is not shown, the change waits.
  const std::size_t cursorCalls = prompts.busyCursor.size();
  panel.OnColourSelected(0);
  Settle();
  EXPECT_EQ(prompts.busyCursor.size(), cursorCalls);
  EXPECT_EQ(panel.LinkLiveState().settingsPending, 1);
}

TEST_F(CameraSettingsPanelTest, AutonomousStartSendsButReadsNothing) {
  panel.EnableCameraControls(true);
  panel.OnAutonomousClicked(true);
  panel.OnStartStopClicked(true);
  Settle();
  EXPECT_EQ(panel.State().liveView, LiveViewState::Running);
  EXPECT_EQ(view.frames, 0);
  // Closing leaves the camera recording on its own.
  const std::size_t mark = backend->WriteCount();
  panel.StopStreamForClose();
  Settle();
  EXPECT_TRUE(CommandsSince(mark).empty());
  // Its next click stops it.
  panel.OnStartStopClicked(false);
  Settle();
  EXPECT_EQ(CommandsSince(mark), (Writes{{CMD_STOP_STREAM}}));
  EXPECT_EQ(panel.State().liveView, LiveViewState::Off);
}

TEST_F(CameraSettingsPanelTest, ClosingStopsARunningLiveViewOnce) {
  panel.EnableCameraControls(true);
  const std::size_t mark = backend->WriteCount();
  StartLiveView();
  panel.StopStreamForClose();
  EXPECT_FALSE(view.shown.back().Streaming());  // the button pops out at once
  Settle();
  EXPECT_EQ(CommandsSince(mark), (Writes{{CMD_START_STREAM}, {CMD_STOP_STREAM}}));
  EXPECT_EQ(panel.State().liveView, LiveViewState::Off);
  EXPECT_FALSE(panel.LoopRunning());
}

TEST_F(CameraSettingsPanelTest, AFailedSettingIsShownAndTheControlKeepsItsNewState) {
  panel.EnableCameraControls(true);
  camera->FailCall(camera->CallCount() + 1, ftstatus::kIoError);
  panel.OnDetectorOn();
  Settle();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, StatusText(ftstatus::kIoError));
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_FALSE(camera->Model().Settings().motionDetector);
  EXPECT_TRUE(view.shown.back().DetectorOnChecked());
  EXPECT_TRUE(view.shown.back().SensitivityEnabled());
}

}  // namespace
}  // namespace bf::test
