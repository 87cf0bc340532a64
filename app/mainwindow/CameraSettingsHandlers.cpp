// The camera-settings handlers of the main window: each posts one command to the link thread,
// inside the guard that turns a link failure into the link's message box. Nothing is retried or
// rolled back: the control keeps the state the operator gave it.
#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QSlider>

#include "host/GuiThreadPrompts.h"
#include "link/CommandSet.h"
#include "link/FTD2xx.h"
#include "live/LiveCapture.h"
#include "mainwindow/CBrindleFlashDlg.h"
#include "mainwindow/ControlIds.h"
#include "mainwindow/SliderMoveEnd.h"
#include "picture/CBfkPlayer.h"

namespace bf::ui {
namespace {

QButtonGroup* Group(QObject* owner, std::initializer_list<QAbstractButton*> buttons) {
  auto* group = new QButtonGroup(owner);
  group->setExclusive(true);
  for (QAbstractButton* b : buttons) group->addButton(b);
  return group;
}

}  // namespace

void CBrindleFlashDlg::Guarded(std::function<void()> action) {
  PostToLink([this, action = std::move(action)] { RunGuarded(*linkPrompts_, action); });
}

void CBrindleFlashDlg::ConnectCameraSettings() {
  // The radio groups are scattered over the window, so each gets its own exclusive group.
  Group(this, {Button(IDC_ROTATE_0), Button(IDC_ROTATE_90), Button(IDC_ROTATE_180),
               Button(IDC_ROTATE_270)});
  Group(this, {Button(IDC_DETECTOR_ON), Button(IDC_DETECTOR_OFF)});
  Group(this, {Button(IDC_LIKE_ORIGINAL), Button(IDC_OTHER_RATE)});

  connect(List(IDC_FRAME_RATE), &QComboBox::activated, this, [this] { OnFrameRateChanged(); });
  connect(List(IDC_COLOUR), &QComboBox::activated, this, [this] { OnColourChanged(); });
  const auto quiet = [this]() -> std::unique_ptr<QuietTimer> {
    return services_.quietTimers ? services_.quietTimers() : nullptr;
  };
  new SliderMoveEnd(
      Slider(IDC_COMPRESSION), [this] { OnCompressionScrollEnded(); }, quiet());
  new SliderMoveEnd(
      Slider(IDC_SENSITIVITY), [this] { OnSensitivityScrollEnded(); }, quiet());
  connect(Button(IDC_DETECTOR_ON), &QAbstractButton::clicked, this, [this] { OnDetectorOn(); });
  connect(Button(IDC_DETECTOR_OFF), &QAbstractButton::clicked, this, [this] { OnDetectorOff(); });
  connect(Button(IDC_AUTONOMOUS), &QAbstractButton::clicked, this,
          [this] { OnAutonomousClicked(); });
  connect(Button(IDC_LEDS_OFF), &QAbstractButton::clicked, this, [this] { OnLedsOffClicked(); });
  connect(Button(IDC_EXT_RECORDING), &QAbstractButton::clicked, this,
          [this] { OnExtRecordingClicked(); });
  for (int id : {IDC_ROTATE_0, IDC_ROTATE_90, IDC_ROTATE_180, IDC_ROTATE_270}) {
    connect(Button(id), &QAbstractButton::clicked, this, [this, id] { OnRotationClicked(id); });
  }
  connect(Button(IDC_START_STOP), &QAbstractButton::clicked, this, [this] { OnStartStop(); });
  connect(Button(IDC_SET_CLOCK), &QAbstractButton::clicked, this, [this] { OnSetClock(); });
  connect(Button(IDC_FLASH_SAVE), &QAbstractButton::clicked, this, [this] { OnFlashSave(); });
  connect(Button(IDC_FLASH_ERASE), &QAbstractButton::clicked, this, [this] { OnFlashErase(); });
}

void CBrindleFlashDlg::OnFrameRateChanged() {
  ReadControls();
  const auto index = static_cast<uint8_t>(frameRateIndex_);
  Guarded([this, index] { SendCommandWithValue(*link_, CMD_SET_FRAME_RATE, index); });
}

void CBrindleFlashDlg::OnColourChanged() {
  ReadControls();
  const CameraCommand command = colourIndex_ == 1 ? CMD_SET_COLOUR : CMD_SET_MONOCHROME;
  PostToLink([this, command] {
    liveCapture_->MarkSettingsPending();
    RunGuarded(*linkPrompts_, [&] { SendCommand(*link_, command); });
  });
}

void CBrindleFlashDlg::OnCompressionScrollEnded() {
  const auto level = static_cast<uint8_t>(Slider(IDC_COMPRESSION)->sliderPosition());
  PostToLink([this, level] {
    RunGuarded(*linkPrompts_, [&] { SendCommandWithValue(*link_, CMD_SET_COMPRESSION, level); });
    liveCapture_->MarkSettingsPending();
  });
}

void CBrindleFlashDlg::OnDetectorOn() {
  live_.frameTimeout = kFrameTimeoutUnlimited;
  Guarded([this] { SendCommand(*link_, CMD_MOTION_DETECT_ON); });
  Control(IDC_SENSITIVITY)->setEnabled(true);
}

void CBrindleFlashDlg::OnDetectorOff() {
  live_.frameTimeout = kFrameTimeoutDetectorOff;
  Guarded([this] { SendCommand(*link_, CMD_MOTION_DETECT_OFF); });
  Control(IDC_SENSITIVITY)->setEnabled(false);
}

void CBrindleFlashDlg::OnSensitivityScrollEnded() {
  const auto value = static_cast<uint8_t>(5 - Slider(IDC_SENSITIVITY)->sliderPosition());
  Guarded([this, value] { SendCommandWithValue(*link_, CMD_SET_SENSITIVITY, value); });
}

void CBrindleFlashDlg::OnAutonomousClicked() {
  if (live_.streamingFlag != 0) {
    // The camera cannot switch to autonomous recording while it streams to us.
    live_.autonomousFlag = 0;
    WriteControls();
    return;
  }
  ReadControls();
  const CameraCommand command = live_.autonomousFlag != 0 ? CMD_AUTONOMOUS_ON : CMD_AUTONOMOUS_OFF;
  Guarded([this, command] { SendCommand(*link_, command); });
}

void CBrindleFlashDlg::OnLedsOffClicked() {
  ReadControls();
  const CameraCommand command = ledsOffFlag_ != 0 ? CMD_LEDS_OFF : CMD_LEDS_ON;
  Guarded([this, command] { SendCommand(*link_, command); });
}

void CBrindleFlashDlg::OnExtRecordingClicked() {
  if (live_.streamingFlag != 0) {
    extRecordingFlag_ = 0;
    WriteControls();
    return;
  }
  ReadControls();
  const CameraCommand command =
      extRecordingFlag_ != 0 ? CMD_EXT_RECORDING_ON : CMD_EXT_RECORDING_OFF;
  Guarded([this, command] { SendCommand(*link_, command); });
}

void CBrindleFlashDlg::OnRotationClicked(int id) {
  // Takes effect with the next picture.
  player_->SetRotation(static_cast<Rotation>(id - IDC_ROTATE_0));
}

void CBrindleFlashDlg::OnStartStop() {
  // The button has toggled; the request carries its new state to the live view.
  ReadControls();
  PostToLink([this] { liveCapture_->OnStartStopClicked(); });
}

}  // namespace bf::ui
