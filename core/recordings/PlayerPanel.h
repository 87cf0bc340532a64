#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "frames/JpegHeaderTable.h"
#include "host/RecordingFileType.h"
#include "host/SettingsStore.h"
#include "host/UserPrompts.h"
#include "recordings/Player.h"
#include "recordings/PlayerGroupState.h"

namespace bf {

inline constexpr const char* kEmptyFileText = "Файл пустой";
// Shown when closing with "Выход" could not store "Player fps" or "Like original".
inline constexpr const char* kSettingsNotSavedText =
    "Не удалось сохранить настройки проигрывателя.";
inline constexpr int kMinPlayerRate = 1;
inline constexpr int kMaxPlayerRate = 20;

// The folder of a chosen file with its trailing separator kept ("/rec/day1.bfk" -> "/rec/"),
// as stored in the "Path" setting.
std::string FolderOfChosenFile(const std::string& fullPath);

// The rest of the main window, as the player group's presenter sees it. Implemented by the
// window; every call on the GUI thread.
class PlayerPanelView {
 public:
  virtual ~PlayerPanelView() = default;
  // Draws the player group as the state says; called after every change of it.
  virtual void ShowPlayerGroup(const PlayerGroupState& state) = 0;
  virtual void EnableCameraControls(bool on) = 0;
  virtual bool LinkStatusOk() = 0;           // the device link's last status is 0
  virtual void InvalidatePictureArea() = 0;  // erase the picture area and overlay strip
};

// The player group's presenter: what each button, the slider, the mode radio buttons, the rate
// spin and the position message do to the player, and the group's state (PlayerGroupState),
// which it owns and hands to the view after every change. After every handler that reads frames
// it tells, once per recording, when the file changed on disk under the player
// (kRecordingChangedText), and applies the Stop button's effects when that ended a run. Free of
// any toolkit, so a terminal front end can drive it as the window does.
//
// Threads: GUI thread only; the position message arrives here queued from the timer thread
// (FrameDisplay::PostPosition).
class PlayerPanel {
 public:
  PlayerPanel(Player& player, PlayerPanelView& view, UserPrompts& prompts, SettingsStore& settings);

  // "Player fps" and "Like original", read at start-up and saved when the window closes.
  // SaveSettings is false when the store refused either value.
  void LoadSettings();
  bool SaveSettings();
  const PlayerGroupState& State() const { return state_; }
  int Rate() const { return state_.rate; }
  bool LikeOriginalSelected() const { return state_.likeOriginal; }
  // The frame times the exports take from the group: 0 as recorded ("Как в оригинале"), else
  // the player rate within 1..20.
  uint32_t ExportRate() const;
  // EnablePlayerControls of the main window: the group's controls on or off.
  void EnableControls(bool on);
  // The recording the last LoadRecording opened; empty when it failed or none was opened.
  const std::string& RecordingPath() const { return recordingPath_; }

  // Opens a recording by path (also the command line at start-up); empty does nothing.
  // Returns the frame count; 0 shows "Файл пустой".
  uint32_t LoadRecording(const std::string& path);
  // "Открыть...": the open dialog starting in the "Path" folder, which then remembers the
  // chosen file's folder.
  void ChooseRecording();

  void OnPlay();
  void OnStop();
  void OnBegin();
  void OnEnd();
  void OnPrevious();
  void OnNext();
  // Every horizontal scroll notification of the slider but end-of-scroll.
  void OnSliderMoved(uint32_t sliderPosition);
  void OnPlayerPosition(uint32_t position);
  void OnLikeOriginalSelected();
  void OnOtherRateSelected();
  // End-of-scroll of the rate spin, with its position (ignored unless "Другая:" is selected).
  void OnRateSpinEnd(int spinPosition);
  void OnExport(const JpegHeaderTable& table);
  // Applies the Stop button's effects when opening a recording stopped a run.
  void OnStoppedForOpen();

 private:
  void ModeStep();
  void TellIfFileChanged();
  void SetSliderPosition(uint32_t position);
  void Show();

  Player& player_;
  PlayerPanelView& view_;
  UserPrompts& prompts_;
  SettingsStore& settings_;
  PlayerGroupState state_;
  std::string recordingPath_;
};

}  // namespace bf
