#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "frames/JpegHeaderTable.h"
#include "host/RecordingFileType.h"
#include "host/SettingsStore.h"
#include "host/UserPrompts.h"
#include "recordings/Player.h"

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

// The main window's controls of the player group, as the panel logic needs them. Implemented by
// the main window; every call on the GUI thread.
class PlayerPanelView {
 public:
  virtual ~PlayerPanelView() = default;
  virtual void EnablePlayerControls(bool on) = 0;
  virtual void EnableCameraControls(bool on) = 0;
  // Position slider: range 0..maxPosition (redrawn) with the given page size.
  virtual void SetSliderRange(uint32_t maxPosition, uint32_t pageSize) = 0;
  virtual void SetSliderPosition(uint32_t position) = 0;
  virtual void ShowRate(int rate) = 0;       // the rate edit
  virtual void EnableRateSpin(bool on) = 0;  // the spin next to it
  virtual bool LinkStatusOk() = 0;           // the device link's last status is 0
  virtual void InvalidatePictureArea() = 0;  // erase the picture area and overlay strip
};

// The handlers of the main window's player group over the player: what each button, the slider,
// the mode radio buttons, the rate spin and the position message do. Holds the dialog's rate
// and mode values. After every handler that reads frames it tells, once per recording, when the
// file changed on disk under the player (kRecordingChangedText), and applies the Stop button's
// effects when that ended a run. GUI thread only; the position message arrives here queued from the
// timer thread (FrameDisplay::PostPosition).
class PlayerPanel {
 public:
  PlayerPanel(Player& player, PlayerPanelView& view, UserPrompts& prompts, SettingsStore& settings);

  // "Player fps" and "Like original", read at start-up and saved when the window closes.
  // SaveSettings is false when the store refused either value.
  void LoadSettings();
  bool SaveSettings();
  int Rate() const { return rate_; }
  bool LikeOriginalSelected() const { return likeOriginal_; }
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

  Player& player_;
  PlayerPanelView& view_;
  UserPrompts& prompts_;
  SettingsStore& settings_;
  int rate_ = settings::kPlayerFpsDefault;
  bool likeOriginal_ = settings::kLikeOriginalDefault != 0;
  std::string recordingPath_;
};

}  // namespace bf
