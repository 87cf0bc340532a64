#include "recordings/PlayerPanel.h"

#include <algorithm>

#include "recordings/ExportFrame.h"

namespace bf {

std::string FolderOfChosenFile(const std::string& fullPath) {
  const std::size_t cut = fullPath.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : fullPath.substr(0, cut + 1);
}

PlayerPanel::PlayerPanel(Player& player, PlayerPanelView& view, UserPrompts& prompts,
                         SettingsStore& settings)
    : player_(player), view_(view), prompts_(prompts), settings_(settings) {
  player_.SetStoppedForOpenCallback([this] { OnStoppedForOpen(); });
}

void PlayerPanel::LoadSettings() {
  state_.rate =
      settings_.ReadInt(settings::kSection, settings::kPlayerFps, settings::kPlayerFpsDefault);
  state_.likeOriginal = settings_.ReadInt(settings::kSection, settings::kLikeOriginal,
                                          settings::kLikeOriginalDefault) != 0;
  Show();
}

uint32_t PlayerPanel::ExportRate() const {
  if (state_.likeOriginal) return 0;
  return static_cast<uint32_t>(std::clamp(state_.rate, kMinPlayerRate, kMaxPlayerRate));
}

void PlayerPanel::EnableControls(bool on) {
  state_.controlsOn = on;
  Show();
}

void PlayerPanel::Show() {
  view_.ShowPlayerGroup(state_);
}

void PlayerPanel::SetSliderPosition(uint32_t position) {
  // Out-of-range positions clamp to the ends, as the classic trackbar does.
  state_.sliderPosition = std::min(position, state_.sliderMax);
  Show();
}

bool PlayerPanel::SaveSettings() {
  const bool rateSaved = settings_.WriteInt(settings::kSection, settings::kPlayerFps, state_.rate);
  const bool modeSaved =
      settings_.WriteInt(settings::kSection, settings::kLikeOriginal, state_.likeOriginal ? 1 : 0);
  return rateSaved && modeSaved;
}

uint32_t PlayerPanel::LoadRecording(const std::string& path) {
  if (path.empty()) return 0;
  const uint32_t count = player_.OpenRecording(path);
  recordingPath_ = count == 0 ? std::string() : path;
  if (count == 0) {
    prompts_.ShowMessage(kEmptyFileText, "", MessageIcon::None);
    return 0;
  }
  state_.controlsOn = true;
  state_.sliderMax = count - 1;
  state_.sliderPage = count / 20;
  state_.sliderPosition = 0;
  Show();
  return count;
}

void PlayerPanel::ChooseRecording() {
  FileDialogRequest request;
  request.filter = kRecordingFilter;
  request.defaultExtension = kRecordingExtension;
  // The dialog starts in the remembered folder; the process's current directory is left alone.
  request.initialDirectory = settings_.ReadString(settings::kSection, settings::kPath, "");
  const std::optional<std::string> chosen = prompts_.ChooseOpenFile(request);
  if (!chosen || chosen->empty()) return;
  settings_.WriteString(settings::kSection, settings::kPath, FolderOfChosenFile(*chosen));
  LoadRecording(*chosen);
}

void PlayerPanel::OnPlay() {
  player_.ClearDisplay();
  view_.InvalidatePictureArea();
  const int clamped = std::clamp(state_.rate, kMinPlayerRate, kMaxPlayerRate);
  if (clamped != state_.rate) {
    state_.rate = clamped;
    Show();
  }
  const uint32_t started =
      player_.StartPlayback(state_.likeOriginal ? 0u : static_cast<uint32_t>(state_.rate));
  if (started != 0) view_.EnableCameraControls(false);
  TellIfFileChanged();
}

void PlayerPanel::OnStop() {
  player_.StopPlayback();
  if (view_.LinkStatusOk()) view_.EnableCameraControls(true);
}

void PlayerPanel::OnStoppedForOpen() {
  if (view_.LinkStatusOk()) view_.EnableCameraControls(true);
}

void PlayerPanel::OnBegin() {
  SetSliderPosition(0);
  player_.NavigateTo(0, NAV_ABSOLUTE);
  TellIfFileChanged();
}

// A refused step (no frames; back from the first frame) leaves the slider where it is, as the
// original's slider did by clamping -1 to its minimum.
void PlayerPanel::OnEnd() {
  const uint32_t i = player_.NavigateTo(0, NAV_FROM_END);
  if (i != kNoFrame) SetSliderPosition(i);
  TellIfFileChanged();
}

void PlayerPanel::OnPrevious() {
  const uint32_t i = player_.NavigateTo(kNoFrame, NAV_RELATIVE);
  if (i != kNoFrame) SetSliderPosition(i);
  TellIfFileChanged();
}

void PlayerPanel::OnNext() {
  const uint32_t i = player_.NavigateTo(1, NAV_RELATIVE);
  if (i != kNoFrame) SetSliderPosition(i);
  TellIfFileChanged();
}

void PlayerPanel::OnSliderMoved(uint32_t sliderPosition) {
  // The thumb is where the operator put it, whether or not a frame is there.
  SetSliderPosition(sliderPosition);
  player_.NavigateTo(sliderPosition, NAV_ABSOLUTE);
  TellIfFileChanged();
}

void PlayerPanel::OnPlayerPosition(uint32_t position) {
  if (position >= player_.Count() && view_.LinkStatusOk()) view_.EnableCameraControls(true);
  SetSliderPosition(position);
  TellIfFileChanged();
}

void PlayerPanel::OnLikeOriginalSelected() {
  state_.likeOriginal = true;
  ModeStep();
}

void PlayerPanel::OnOtherRateSelected() {
  state_.likeOriginal = false;
  ModeStep();
}

void PlayerPanel::ModeStep() {
  if (state_.likeOriginal) {
    player_.SetRate(0);
  } else {
    // The rate message carries 1..20; a stored rate outside that would switch nothing.
    player_.SetRate(static_cast<uint32_t>(std::clamp(state_.rate, kMinPlayerRate, kMaxPlayerRate)));
  }
  Show();
}

void PlayerPanel::OnRateSpinEnd(int spinPosition) {
  if (state_.likeOriginal) return;
  state_.rate = spinPosition;
  Show();
  player_.SetRate(static_cast<uint32_t>(std::clamp(state_.rate, kMinPlayerRate, kMaxPlayerRate)));
}

void PlayerPanel::OnExport(const JpegHeaderTable& table) {
  ExportFrame(player_, table, prompts_);
  TellIfFileChanged();
}

void PlayerPanel::TellIfFileChanged() {
  const Player::FileChangeNotice notice = player_.TakeFileChangeNotice();
  if (notice.stoppedRun && view_.LinkStatusOk()) view_.EnableCameraControls(true);
  if (notice.tell) prompts_.ShowMessage(kRecordingChangedText, "", MessageIcon::Error);
}

}  // namespace bf
