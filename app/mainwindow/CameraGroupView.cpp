#include "mainwindow/CameraGroupView.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <initializer_list>

#include "mainwindow/PlayerGroupView.h"
#include "mainwindow/SliderMoveEnd.h"
#include "picture/CBfkPlayer.h"
#include "recordings/Player.h"

namespace bf::ui {
namespace {

// The Start/Stop button's captions for the two states of the live view.
constexpr const char* kStartCaption = "Старт";
constexpr const char* kStopCaption = "Стоп";

void Exclusive(QObject* owner, std::initializer_list<QAbstractButton*> buttons) {
  auto* group = new QButtonGroup(owner);
  group->setExclusive(true);
  for (QAbstractButton* b : buttons) group->addButton(b);
}

void ShowSelection(QComboBox* list, int index) {
  list->setCurrentIndex(index < list->count() ? index : -1);
}

}  // namespace

CameraGroupView::CameraGroupView(QObject* parent, const MainWindowWidgets& widgets,
                                 CBfkPlayer& picture, PlayerGroupView& playerGroup,
                                 CameraSettingsPanel::Link link,
                                 const QuietTimerFactory& quietTimers)
    : QObject(parent),
      w_(widgets),
      picture_(picture),
      playerGroup_(playerGroup),
      panel_(std::make_unique<CameraSettingsPanel>(link, static_cast<CameraSettingsView&>(*this))) {
  Connect(quietTimers);
}

CameraGroupView::~CameraGroupView() = default;

void CameraGroupView::Connect(const QuietTimerFactory& quietTimers) {
  // The radio groups are scattered over the window, so each gets its own exclusive group.
  Exclusive(this, {w_.rotation[0], w_.rotation[1], w_.rotation[2], w_.rotation[3]});
  Exclusive(this, {w_.detectorOn, w_.detectorOff});
  connect(w_.frameRate, &QComboBox::activated, this,
          [this](int index) { panel_->OnFrameRateSelected(index); });
  connect(w_.colour, &QComboBox::activated, this,
          [this](int index) { panel_->OnColourSelected(index); });
  const auto quiet = [&quietTimers]() -> std::unique_ptr<QuietTimer> {
    return quietTimers ? quietTimers() : nullptr;
  };
  new SliderMoveEnd(
      w_.compression,
      [this] { panel_->OnCompressionScrollEnded(w_.compression->sliderPosition()); }, quiet());
  new SliderMoveEnd(
      w_.sensitivity,
      [this] { panel_->OnSensitivityScrollEnded(w_.sensitivity->sliderPosition()); }, quiet());
  connect(w_.detectorOn, &QRadioButton::clicked, this, [this] { panel_->OnDetectorOn(); });
  connect(w_.detectorOff, &QRadioButton::clicked, this, [this] { panel_->OnDetectorOff(); });
  for (int turns = 0; turns < static_cast<int>(w_.rotation.size()); ++turns) {
    connect(w_.rotation[static_cast<std::size_t>(turns)], &QRadioButton::clicked, this,
            [this, turns] { panel_->OnRotationSelected(turns); });
  }
  ConnectChecks();
}

void CameraGroupView::ConnectChecks() {
  // Each tells the state it has toggled to.
  connect(w_.startStop, &QPushButton::clicked, this,
          [this](bool pushed) { panel_->OnStartStopClicked(pushed); });
  connect(w_.autonomous, &QCheckBox::clicked, this,
          [this](bool checked) { panel_->OnAutonomousClicked(checked); });
  connect(w_.ledsOff, &QCheckBox::clicked, this,
          [this](bool checked) { panel_->OnLedsOffClicked(checked); });
  connect(w_.extRecording, &QCheckBox::clicked, this,
          [this](bool checked) { panel_->OnExtRecordingClicked(checked); });
}

void CameraGroupView::ShowCameraSettings(const CameraSettingsState& state) {
  ShowSelection(w_.frameRate, state.frameRateIndex);
  ShowSelection(w_.colour, state.colourIndex);
  ShowChecks(state);
  ShowSliders(state);
  ShowEnabled(state);
}

void CameraGroupView::ShowChecks(const CameraSettingsState& state) {
  w_.startStop->setChecked(state.Streaming());
  w_.startStop->setText(
      QString::fromUtf8(state.liveView == LiveViewState::Off ? kStartCaption : kStopCaption));
  w_.autonomous->setChecked(state.live.autonomousFlag != 0);
  w_.ledsOff->setChecked(state.ledsOff);
  w_.extRecording->setChecked(state.extRecording);
  // Neither detector radio is checked before the first status. The checked one first: in their
  // exclusive group that clears the other one.
  if (state.DetectorOnChecked() || state.DetectorOffChecked()) {
    const bool on = state.DetectorOnChecked();
    (on ? w_.detectorOn : w_.detectorOff)->setChecked(true);
    (on ? w_.detectorOff : w_.detectorOn)->setChecked(false);
  }
  const auto turns = static_cast<std::size_t>(state.rotation);
  if (turns < w_.rotation.size()) w_.rotation[turns]->setChecked(true);
  picture_.SetRotation(static_cast<Rotation>(state.rotation));
}

void CameraGroupView::ShowSliders(const CameraSettingsState& state) {
  if (state.compression != shownCompression_) {
    shownCompression_ = state.compression;
    w_.compression->setValue(state.compression);
  }
  if (state.sensitivity != shownSensitivity_) {
    shownSensitivity_ = state.sensitivity;
    w_.sensitivity->setValue(state.sensitivity);
  }
}

void CameraGroupView::ShowEnabled(const CameraSettingsState& state) {
  for (QWidget* control : w_.CameraControls()) control->setEnabled(state.controlsOn);
  for (QWidget* control : w_.JobControls()) control->setEnabled(state.jobsOn);
  w_.open->setEnabled(state.openOn);
  w_.sensitivity->setEnabled(state.SensitivityEnabled());
}

bool CameraGroupView::ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) {
  return playerGroup_.RecordingPlayer().ShowExternalFrame(header, payload);
}

void CameraGroupView::ClearDisplay() {
  playerGroup_.RecordingPlayer().ClearDisplay();
}

void CameraGroupView::InvalidatePictureArea() {
  playerGroup_.InvalidatePictureArea();
}

}  // namespace bf::ui
