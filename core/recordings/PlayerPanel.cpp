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
  rate_ = settings_.ReadInt(settings::kSection, settings::kPlayerFps, settings::kPlayerFpsDefault);
  likeOriginal_ = settings_.ReadInt(settings::kSection, settings::kLikeOriginal,
                                    settings::kLikeOriginalDefault) != 0;
  view_.ShowRate(rate_);
  view_.EnableRateSpin(!likeOriginal_);
}

bool PlayerPanel::SaveSettings() {
  const bool rateSaved = settings_.WriteInt(settings::kSection, settings::kPlayerFps, rate_);
  const bool modeSaved =
      settings_.WriteInt(settings::kSection, settings::kLikeOriginal, likeOriginal_ ? 1 : 0);
  return rateSaved && modeSaved;
}

uint32_t PlayerPanel::LoadRecording(const std::string& path) {
  if (path.empty()) return 0;
  const uint32_t count = player_.OpenRecording(path);
  if (count == 0) {
    prompts_.ShowMessage(kEmptyFileText, "", MessageIcon::None);
    return 0;
  }
  view_.EnablePlayerControls(true);
  view_.SetSliderRange(count - 1, count / 20);
  view_.SetSliderPosition(0);
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
  const int clamped = std::clamp(rate_, kMinPlayerRate, kMaxPlayerRate);
  if (clamped != rate_) {
    rate_ = clamped;
    view_.ShowRate(rate_);
  }
  const uint32_t started = player_.StartPlayback(likeOriginal_ ? 0u : static_cast<uint32_t>(rate_));
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
  view_.SetSliderPosition(0);
  player_.NavigateTo(0, NAV_ABSOLUTE);
  TellIfFileChanged();
}

// A refused step (no frames; back from the first frame) leaves the slider where it is, as the
// original's slider did by clamping -1 to its minimum.
void PlayerPanel::OnEnd() {
  const uint32_t i = player_.NavigateTo(0, NAV_FROM_END);
  if (i != kNoFrame) view_.SetSliderPosition(i);
  TellIfFileChanged();
}

void PlayerPanel::OnPrevious() {
  const uint32_t i = player_.NavigateTo(kNoFrame, NAV_RELATIVE);
  if (i != kNoFrame) view_.SetSliderPosition(i);
  TellIfFileChanged();
}

void PlayerPanel::OnNext() {
  const uint32_t i = player_.NavigateTo(1, NAV_RELATIVE);
  if (i != kNoFrame) view_.SetSliderPosition(i);
  TellIfFileChanged();
}

void PlayerPanel::OnSliderMoved(uint32_t sliderPosition) {
  player_.NavigateTo(sliderPosition, NAV_ABSOLUTE);
  TellIfFileChanged();
}

void PlayerPanel::OnPlayerPosition(uint32_t position) {
  if (position >= player_.Count() && view_.LinkStatusOk()) view_.EnableCameraControls(true);
  view_.SetSliderPosition(position);
  TellIfFileChanged();
}

void PlayerPanel::OnLikeOriginalSelected() {
  likeOriginal_ = true;
  ModeStep();
}

void PlayerPanel::OnOtherRateSelected() {
  likeOriginal_ = false;
  ModeStep();
}

void PlayerPanel::ModeStep() {
  if (likeOriginal_) {
    player_.SetRate(0);
    view_.EnableRateSpin(false);
  } else {
    // The rate message carries 1..20; a stored rate outside that would switch nothing.
    player_.SetRate(static_cast<uint32_t>(std::clamp(rate_, kMinPlayerRate, kMaxPlayerRate)));
    view_.EnableRateSpin(true);
  }
}

void PlayerPanel::OnRateSpinEnd(int spinPosition) {
  if (likeOriginal_) return;
  rate_ = spinPosition;
  view_.ShowRate(rate_);
  player_.SetRate(static_cast<uint32_t>(std::clamp(rate_, kMinPlayerRate, kMaxPlayerRate)));
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
