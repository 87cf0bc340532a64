// The player group's handlers end to end: panel, player and a virtual timer.
#include "recordings/PlayerPanel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "RecordingFixture.h"
#include "recordings/ExportFrame.h"
#include "sim/VirtualClock.h"
#include "sim/VirtualPlaybackTimer.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace bf {
namespace {

class FakePanelView final : public PlayerPanelView {
 public:
  PlayerGroupState group;  // as last shown
  bool cameraControls = true;
  bool linkOk = true;
  int invalidations = 0;

  void ShowPlayerGroup(const PlayerGroupState& state) override { group = state; }
  void EnableCameraControls(bool on) override { cameraControls = on; }
  bool LinkStatusOk() override { return linkOk; }
  void InvalidatePictureArea() override { ++invalidations; }
};

class PlayerGroup : public ::testing::Test {
 protected:
  PlayerGroup() {
    // Position messages are queued to the GUI thread and handled once the step is over.
    display.onPosition = [this](uint32_t p) { queued.push_back(p); };
  }

  // Drives the timer, handling each step's position message after the step, as the GUI would.
  void RunAll() {
    while (timer.Pending() > 0) {
      timer.RunUntil(NextDue());
      Deliver();
    }
  }
  void RunFor(uint64_t ms) {
    timer.RunFor(ms);
    Deliver();
  }
  uint64_t NextDue() {
    // The virtual timer fires one event per due time here; stepping 1 ms at a time is cheap.
    return clock.NowMs() + 1;
  }
  void Deliver() {
    std::vector<uint32_t> batch;
    batch.swap(queued);
    for (uint32_t p : batch) panel.OnPlayerPosition(p);
  }

  std::string Write(const std::string& name, const std::vector<uint32_t>& stamps) {
    return dir.Write(name, test::RecordingWithTimestamps(stamps));
  }

  test::TempDir dir;
  VirtualClock clock;
  VirtualPlaybackTimer timer{clock};
  test::ScriptedPrompts prompts;
  test::RecordingDisplay display;
  MemorySettingsStore settings;
  FakePanelView view;
  std::vector<uint32_t> queued;
  Player player{display, timer, prompts};
  PlayerPanel panel{player, view, prompts, settings};
};

TEST_F(PlayerGroup, LoadSetsUpTheSliderAndShowsNothingYet) {
  std::vector<uint32_t> stamps(45, 7);
  EXPECT_EQ(panel.LoadRecording(Write("a.bfk", stamps)), 45u);
  EXPECT_TRUE(view.group.controlsOn);
  EXPECT_EQ(view.group.sliderMax, 44u);
  EXPECT_EQ(view.group.sliderPage, 2u);
  EXPECT_EQ(view.group.sliderPosition, 0u);
  EXPECT_TRUE(display.shown.empty());
  EXPECT_TRUE(prompts.shown.empty());

  EXPECT_EQ(panel.LoadRecording(""), 0u);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(PlayerGroup, UnusableFilesSayTheFileIsEmpty) {
  const std::vector<uint8_t> erasedFirst(64, 0xFF);
  EXPECT_EQ(panel.LoadRecording(dir.Write("ff.bfk", erasedFirst)), 0u);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Файл пустой");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::None);
  EXPECT_FALSE(view.group.controlsOn);

  // A zero-length file holds nothing to read: the system error box, then "Файл пустой".
  prompts.shown.clear();
  EXPECT_EQ(panel.LoadRecording(dir.Write("zero.bfk", {})), 0u);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[0].caption, "Error");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Information);
  EXPECT_FALSE(prompts.shown[0].text.empty());
  EXPECT_EQ(prompts.shown[1].text, "Файл пустой");
}

TEST_F(PlayerGroup, ChooseRecordingRemembersTheFolderWithItsSeparator) {
  const std::string file = Write("day1.bfk", {1, 2});
  settings.WriteString("Settings", "Path", "/somewhere/else/");
  prompts.openFiles.push_back(file);
  panel.ChooseRecording();
  ASSERT_EQ(prompts.openRequests.size(), 1u);
  EXPECT_EQ(prompts.openRequests[0].initialDirectory, "/somewhere/else/");
  EXPECT_EQ(prompts.openRequests[0].filter, "Brindle file (*.bfk)|*.bfk|All files (*.*)|*.*||");
  EXPECT_EQ(prompts.openRequests[0].defaultExtension, "bfk");
  // The folder as the chosen name spells it, with its own separator kept at the end.
  const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
  EXPECT_EQ(settings.ReadString("Settings", "Path", ""), dir.Path().string() + separator);
  EXPECT_EQ(player.Count(), 2u);

  // Cancelled: nothing stored, nothing opened.
  settings.WriteString("Settings", "Path", "/kept/");
  panel.ChooseRecording();
  EXPECT_EQ(settings.ReadString("Settings", "Path", ""), "/kept/");

  EXPECT_EQ(FolderOfChosenFile("D:\\rec\\day1"), "D:\\rec\\");
  EXPECT_EQ(FolderOfChosenFile("/rec/day1.bfk"), "/rec/");
}

TEST_F(PlayerGroup, LikeOriginalRunToTheEndGivesTheCameraControlsBack) {
  panel.LoadRecording(Write("a.bfk", {100, 100, 100, 101, 105}));
  panel.LoadSettings();  // defaults: 10 fps, like original
  panel.OnPlay();
  EXPECT_FALSE(view.cameraControls);
  EXPECT_EQ(display.clears, 1);
  EXPECT_EQ(view.invalidations, 1);
  RunAll();
  // The run ends one past the last frame; the thumb stops at the end of its range 0..4.
  EXPECT_EQ(player.Position(), 5u);
  EXPECT_EQ(view.group.sliderPosition, 4u);
  EXPECT_TRUE(view.cameraControls);
}

TEST_F(PlayerGroup, CameraControlsComeBackOnlyWithAWorkingLink) {
  panel.LoadRecording(Write("a.bfk", {1, 2, 3}));
  view.linkOk = false;
  panel.OnPlay();
  RunAll();
  EXPECT_FALSE(view.cameraControls);
  panel.OnBegin();
  panel.OnPlay();
  panel.OnStop();
  EXPECT_FALSE(view.cameraControls);
  view.linkOk = true;
  panel.OnStop();
  EXPECT_TRUE(view.cameraControls);
}

TEST_F(PlayerGroup, PlayerFpsOutsideTheRangeIsClampedWhenPlayIsPressed) {
  panel.LoadRecording(Write("a.bfk", {1, 2, 3, 4}));
  settings.WriteInt("Settings", "Player fps", 0);
  settings.WriteInt("Settings", "Like original", 0);
  panel.LoadSettings();
  EXPECT_TRUE(view.group.RateSpinEnabled());
  panel.OnPlay();
  EXPECT_EQ(view.group.rate, 1);
  EXPECT_EQ(player.FrameDelay(), 1000u);
  panel.OnStop();

  settings.WriteInt("Settings", "Player fps", 35);
  panel.LoadSettings();
  panel.OnBegin();
  panel.OnPlay();
  EXPECT_EQ(view.group.rate, 20);
  EXPECT_EQ(player.FrameDelay(), 50u);
  panel.SaveSettings();
  EXPECT_EQ(settings.ReadInt("Settings", "Player fps", -1), 20);
  EXPECT_EQ(settings.ReadInt("Settings", "Like original", -1), 0);
}

TEST_F(PlayerGroup, PlayAfterTheEndClearsThePictureAndStartsNothing) {
  panel.LoadRecording(Write("a.bfk", {1, 2}));
  panel.OnPlay();
  RunAll();
  const std::size_t shown = display.shown.size();
  panel.OnPlay();
  EXPECT_EQ(display.clears, 2);
  EXPECT_EQ(display.shown.size(), shown);
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_TRUE(view.cameraControls);
  panel.OnEnd();
  EXPECT_EQ(view.group.sliderPosition, 1u);
  panel.OnPlay();
  EXPECT_TRUE(player.IsPlaying());
}

TEST_F(PlayerGroup, NavigationButtonsMoveTheSliderOnlyToFramesThatExist) {
  panel.LoadRecording(Write("a.bfk", {1, 2, 3, 4, 5, 6, 7}));
  panel.OnEnd();
  EXPECT_EQ(view.group.sliderPosition, 6u);
  EXPECT_EQ(display.shown.back().header.Timestamp(), 7u);
  panel.OnNext();
  EXPECT_EQ(view.group.sliderPosition, 6u);
  panel.OnPrevious();
  EXPECT_EQ(view.group.sliderPosition, 5u);
  panel.OnSliderMoved(2);
  EXPECT_EQ(player.Position(), 2u);
  panel.OnBegin();
  EXPECT_EQ(view.group.sliderPosition, 0u);
  panel.OnPrevious();
  EXPECT_EQ(view.group.sliderPosition, 0u);
  EXPECT_EQ(player.Position(), 0u);
}

TEST_F(PlayerGroup, ModeButtonsAndSpinDriveTheRateMessage) {
  panel.LoadRecording(Write("a.bfk", {1, 1, 1, 1, 1, 1, 1, 1}));
  panel.LoadSettings();
  panel.OnPlay();  // like original: the whole second spread over 8 frames
  EXPECT_EQ(player.FrameDelay(), 125u);
  panel.OnRateSpinEnd(4);  // ignored while "Как в оригинале" is selected
  EXPECT_TRUE(player.LikeOriginal());
  panel.OnOtherRateSelected();
  EXPECT_TRUE(view.group.RateSpinEnabled());
  EXPECT_FALSE(player.LikeOriginal());
  EXPECT_EQ(player.GroupSize(), 10u);
  panel.OnRateSpinEnd(4);
  EXPECT_EQ(view.group.rate, 4);
  EXPECT_EQ(player.GroupSize(), 4u);
  RunFor(125);  // the pending event keeps its delay; the next step uses the new rate
  EXPECT_EQ(player.FrameDelay(), 250u);
  panel.OnLikeOriginalSelected();
  EXPECT_FALSE(view.group.RateSpinEnabled());
  EXPECT_TRUE(player.LikeOriginal());
  EXPECT_EQ(player.GroupSize(), 4u);
}

// The group's state is everything the window draws, so it must follow each handler on its own:
// nothing is read back from the controls.
TEST_F(PlayerGroup, StateHoldsWhatTheGroupShows) {
  settings.WriteInt("Settings", "Player fps", 0);
  settings.WriteInt("Settings", "Like original", 0);
  panel.LoadSettings();
  EXPECT_EQ(view.group.rate, 0);
  EXPECT_FALSE(view.group.likeOriginal);
  EXPECT_FALSE(view.group.RateSpinEnabled());  // no recording yet
  EXPECT_EQ(view.group.sliderMax, 1u);

  ASSERT_EQ(panel.LoadRecording(Write("a.bfk", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10})), 10u);
  EXPECT_TRUE(view.group.RateSpinEnabled());
  // The thumb stays where the operator dragged it, frame or no frame there.
  panel.OnSliderMoved(7);
  EXPECT_EQ(view.group.sliderPosition, 7u);
  EXPECT_EQ(player.Position(), 7u);
  // Positions past the range put the thumb at its end.
  panel.OnPlayerPosition(40);
  EXPECT_EQ(view.group.sliderPosition, 9u);
  EXPECT_EQ(panel.ExportRate(), 1u);  // the stored 0, within 1..20
  panel.OnRateSpinEnd(3);
  EXPECT_EQ(view.group.rate, 3);
  EXPECT_EQ(panel.ExportRate(), 3u);
  panel.OnLikeOriginalSelected();
  EXPECT_FALSE(view.group.RateSpinEnabled());
  EXPECT_EQ(panel.ExportRate(), 0u);
  EXPECT_EQ(view.group, panel.State());

  // A file that fails to open leaves the group as it stood.
  const PlayerGroupState before = view.group;
  EXPECT_EQ(panel.LoadRecording(dir.Write("ff.bfk", std::vector<uint8_t>(64, 0xFF))), 0u);
  EXPECT_EQ(view.group, before);
  panel.EnableControls(false);
  EXPECT_FALSE(view.group.controlsOn);
  EXPECT_FALSE(view.group.RateSpinEnabled());
}

TEST_F(PlayerGroup, OpeningDuringARunAppliesTheStopEffects) {
  panel.LoadRecording(Write("a.bfk", {1, 2, 3, 4}));
  panel.OnPlay();
  EXPECT_FALSE(view.cameraControls);
  panel.LoadRecording(Write("b.bfk", {5, 6}));
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_TRUE(view.cameraControls);
  EXPECT_EQ(view.group.sliderMax, 1u);
}

// Another program cutting the open recording short, or writing over it, while the player
// steps, plays and exports. Reading the lost bytes from a mapping used to kill the program.
class RecordingChangedOnDisk : public PlayerGroup {
 protected:
  RecordingChangedOnDisk() { EXPECT_TRUE(LoadJpegHeaderTableFromFile(BF_HEADERS_DAT, table)); }

  int ChangeMessages() const {
    int n = 0;
    for (const test::ScriptedPrompts::Shown& m : prompts.shown) {
      if (m.text == kRecordingChangedText) {
        EXPECT_EQ(m.icon, MessageIcon::Error);
        ++n;
      }
    }
    return n;
  }
  static constexpr uint64_t kRecord = 1016;  // the fixture's record size

  JpegHeaderTable table;
};

#ifdef _WIN32
// Windows keeps others from cutting, writing or replacing the open recording (it is shared for
// reading only), so what the player would see elsewhere cannot happen: every attempt fails,
// and playing, stepping and exporting go on over the bytes that were indexed.
TEST_F(RecordingChangedOnDisk, OtherProgramsCannotChangeItWhilePlayingAndTheRunGoesOn) {
  const std::string path = Write("a.bfk", {1, 2, 3, 4, 5, 6, 7, 8});
  const std::vector<uint8_t> before = test::ReadAll(path);
  ASSERT_EQ(panel.LoadRecording(path), 8u);
  panel.OnOtherRateSelected();
  panel.OnPlay();
  RunFor(150);
  std::error_code ec;
  std::filesystem::resize_file(path, 3 * kRecord + 500, ec);
  EXPECT_TRUE(ec) << "cut while open";
  {
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    EXPECT_FALSE(out.is_open()) << "written over while open";
  }
  const std::string other = Write("b.bfk", {9});
  EXPECT_EQ(MoveFileExA(other.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING), 0)
      << "replaced while open";
  RunAll();
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_TRUE(view.cameraControls);
  EXPECT_EQ(display.Stamps(), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(ChangeMessages(), 0);
  EXPECT_EQ(test::ReadAll(path), before);

  panel.OnEnd();
  prompts.saveFiles.push_back(dir.File("last.jpg"));
  panel.OnExport(table);
  EXPECT_EQ(test::ReadAll(dir.File("last.jpg")).size(), 698u + 1000u + 16u);
  EXPECT_EQ(ChangeMessages(), 0);
}
#else
TEST_F(RecordingChangedOnDisk, CutWhilePlayingStopsTheRunAndTellsOnce) {
  const std::string path = Write("a.bfk", {1, 2, 3, 4, 5, 6, 7, 8});
  ASSERT_EQ(panel.LoadRecording(path), 8u);
  panel.OnOtherRateSelected();  // 10 frames per second
  panel.OnPlay();
  EXPECT_FALSE(view.cameraControls);
  RunFor(150);                                            // frames 1 and 2 are on screen by now
  std::filesystem::resize_file(path, 3 * kRecord + 500);  // frame 4 cut, 5 to 8 gone
  RunAll();
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_EQ(timer.Pending(), 0u);
  EXPECT_TRUE(view.cameraControls);
  EXPECT_EQ(display.Stamps(), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(display.clears, 2);  // Play's own clear, then nothing for the missing frame
  EXPECT_EQ(view.group.sliderPosition, 4u);
  EXPECT_EQ(ChangeMessages(), 1);

  // Stepping over the cut shows nothing there and the intact frames as before.
  panel.OnEnd();
  EXPECT_EQ(view.group.sliderPosition, 7u);
  EXPECT_EQ(display.clears, 3);
  panel.OnBegin();
  EXPECT_EQ(display.shown.back().header.Timestamp(), 1u);
  panel.OnSliderMoved(5);
  panel.OnNext();
  panel.OnPrevious();
  panel.OnSliderMoved(2);
  EXPECT_EQ(display.shown.back().header.Timestamp(), 3u);
  EXPECT_EQ(display.shown.size(), 5u);

  // An intact frame still exports; a missing one is not on display.
  prompts.saveFiles.push_back(dir.File("third.jpg"));
  panel.OnExport(table);
  EXPECT_EQ(test::ReadAll(dir.File("third.jpg")).size(), 698u + 1000u + 16u);
  panel.OnSliderMoved(4);
  prompts.saveFiles.push_back(dir.File("gone.jpg"));
  panel.OnExport(table);
  EXPECT_FALSE(std::filesystem::exists(dir.File("gone.jpg")));
  EXPECT_EQ(prompts.shown.back().text, kNothingToExportText);

  // Playing again runs up to the cut and ends there with the Stop effects, and no new word.
  panel.OnBegin();
  panel.OnPlay();
  EXPECT_FALSE(view.cameraControls);
  RunAll();
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_TRUE(view.cameraControls);
  EXPECT_EQ(display.Stamps().back(), 3u);
  EXPECT_EQ(ChangeMessages(), 1);
}

TEST_F(RecordingChangedOnDisk, FrameOnDisplayGoneBeforeExportWritesNothing) {
  const std::string path = Write("a.bfk", {1, 2, 3});
  ASSERT_EQ(panel.LoadRecording(path), 3u);
  panel.OnNext();
  std::filesystem::resize_file(path, 0);  // emptied by another program
  prompts.saveFiles.push_back(dir.File("still.jpg"));
  panel.OnExport(table);
  EXPECT_TRUE(prompts.saveRequests.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("still.jpg")));
  EXPECT_EQ(display.clears, 1);
  EXPECT_EQ(ChangeMessages(), 1);
  EXPECT_FALSE(player.ShownEntry().has_value());

  // Play finds its first frame missing: nothing starts and nothing is left armed.
  panel.OnPlay();
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_EQ(timer.Pending(), 0u);
  EXPECT_TRUE(view.cameraControls);
  EXPECT_EQ(ChangeMessages(), 1);

  // The next recording is told about on its own.
  const std::string next = Write("b.bfk", {4, 5});
  ASSERT_EQ(panel.LoadRecording(next), 2u);
  std::filesystem::resize_file(next, kRecord);
  panel.OnEnd();
  EXPECT_EQ(ChangeMessages(), 2);
}

TEST_F(RecordingChangedOnDisk, WrittenOverInPlaceIsNotShownAsTheIndexedFrame) {
  const std::string path = Write("a.bfk", {1, 2, 3});
  ASSERT_EQ(panel.LoadRecording(path), 3u);
  {
    // Same length, other content: a record now starts at the second frame's payload.
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    std::vector<uint8_t> other;
    test::AppendRecord(other, {.recordLength = 2032, .timestamp = 9});
    out.seekp(static_cast<std::streamoff>(kRecord - 16));
    out.write(reinterpret_cast<const char*>(other.data()), 2032);
    ASSERT_TRUE(out.good());
  }
  panel.OnBegin();  // its payload's last 16 bytes changed, its header did not
  EXPECT_EQ(display.shown.size(), 1u);
  panel.OnNext();
  EXPECT_EQ(display.shown.size(), 1u);
  EXPECT_EQ(display.clears, 1);
  EXPECT_EQ(ChangeMessages(), 1);
  panel.OnNext();  // the third header was written over too
  EXPECT_EQ(display.shown.size(), 1u);
  EXPECT_EQ(ChangeMessages(), 1);
}
#endif  // _WIN32

}  // namespace
}  // namespace bf

namespace bf {
namespace {

// A store that reads like an empty one and refuses every write (a read-only settings file).
class RefusingStore final : public SettingsStore {
 public:
  int ReadInt(const std::string&, const std::string&, int defaultValue) override {
    return defaultValue;
  }
  bool WriteInt(const std::string&, const std::string&, int) override { return false; }
  std::string ReadString(const std::string&, const std::string&,
                         const std::string& defaultValue) override {
    return defaultValue;
  }
  bool WriteString(const std::string&, const std::string&, const std::string&) override {
    return false;
  }
};

TEST(PlayerSettings, ARefusedSaveIsReportedNotTakenForSuccess) {
  VirtualClock clock;
  VirtualPlaybackTimer timer(clock);
  test::RecordingDisplay display;
  ScriptedPrompts prompts;
  Player player(display, timer, prompts);
  FakePanelView view;
  MemorySettingsStore good;
  RefusingStore refusing;

  PlayerPanel saving(player, view, prompts, good);
  saving.LoadSettings();
  EXPECT_TRUE(saving.SaveSettings());
  PlayerPanel refused(player, view, prompts, refusing);
  refused.LoadSettings();
  EXPECT_FALSE(refused.SaveSettings());
}

}  // namespace
}  // namespace bf
