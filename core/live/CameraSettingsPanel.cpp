#include "live/CameraSettingsPanel.h"

#include "link/CommandSet.h"

namespace bf {

CameraSettingsPanel::CameraSettingsPanel(Link link, CameraSettingsView& view)
    : link_(link),
      view_(view),
      liveHost_(liveWindow_, link.gui),
      capture_(link.link, liveHost_, link.linkPrompts, link.thread, link.ticks) {}

void CameraSettingsPanel::Show() {
  view_.ShowCameraSettings(state_);
}

void CameraSettingsPanel::ApplyCameraStatus(const CameraStatus& status) {
  state_.compression = status.Compression();
  state_.colourIndex = status.Colour() ? 1 : 0;
  state_.frameRateIndex = status.FrameRateIndex();
  if (status.MotionDetectorOn()) {
    state_.live.frameTimeout = kFrameTimeoutUnlimited;
    // The handshake then sends sensitivity 5, the slider's left end.
    state_.sensitivity = 0;
  } else {
    state_.live.frameTimeout = kFrameTimeoutDetectorOff;
  }
  state_.ledsOff = false;
  state_.extRecording = false;
  Show();
}

void CameraSettingsPanel::EnableCameraControls(bool on) {
  state_.controlsOn = on;
  state_.jobsOn = on;
  Show();
}

void CameraSettingsPanel::ClearAutonomous() {
  state_.live.autonomousFlag = 0;
  Show();
}

LiveInput CameraSettingsPanel::Input() const {
  return LiveInput{state_.Streaming(), state_.live.autonomousFlag != 0, state_.live.frameTimeout};
}

void CameraSettingsPanel::Post(std::function<void()> exchange) {
  link_.thread.PostRequest([this, input = Input(), exchange = std::move(exchange)] {
    liveHost_.SetInput(input);
    exchange();
  });
}

void CameraSettingsPanel::Send(CameraCommand command) {
  Post([this, command] {
    RunGuarded(link_.linkPrompts, [&] { SendCommand(link_.link, command); });
  });
}

void CameraSettingsPanel::SendWithValue(CameraCommand command, uint8_t value) {
  Post([this, command, value] {
    RunGuarded(link_.linkPrompts, [&] { SendCommandWithValue(link_.link, command, value); });
  });
}

void CameraSettingsPanel::OnFrameRateSelected(int index) {
  state_.frameRateIndex = index;
  Show();
  SendWithValue(CMD_SET_FRAME_RATE, static_cast<uint8_t>(index));
}

void CameraSettingsPanel::OnColourSelected(int index) {
  state_.colourIndex = index;
  Show();
  const CameraCommand command = index == 1 ? CMD_SET_COLOUR : CMD_SET_MONOCHROME;
  Post([this, command] {
    capture_.MarkSettingsPending();
    RunGuarded(link_.linkPrompts, [&] { SendCommand(link_.link, command); });
  });
}

void CameraSettingsPanel::OnCompressionScrollEnded(int position) {
  state_.compression = position;
  Show();
  const auto level = static_cast<uint8_t>(position);
  Post([this, level] {
    RunGuarded(link_.linkPrompts,
               [&] { SendCommandWithValue(link_.link, CMD_SET_COMPRESSION, level); });
    // The picture changes with the next header whether or not the command got through.
    capture_.MarkSettingsPending();
  });
}

void CameraSettingsPanel::OnDetectorOn() {
  state_.live.frameTimeout = kFrameTimeoutUnlimited;
  Send(CMD_MOTION_DETECT_ON);
  Show();
}

void CameraSettingsPanel::OnDetectorOff() {
  state_.live.frameTimeout = kFrameTimeoutDetectorOff;
  Send(CMD_MOTION_DETECT_OFF);
  Show();
}

void CameraSettingsPanel::OnSensitivityScrollEnded(int position) {
  state_.sensitivity = position;
  Show();
  // The slider's left end is 0%, the camera's least sensitive setting 5.
  SendWithValue(CMD_SET_SENSITIVITY, static_cast<uint8_t>(5 - position));
}

void CameraSettingsPanel::OnAutonomousClicked(bool checked) {
  if (state_.Streaming()) {
    // The camera cannot switch to autonomous recording while it streams to us.
    state_.live.autonomousFlag = 0;
    Show();
    return;
  }
  state_.live.autonomousFlag = checked ? 1 : 0;
  Show();
  Send(checked ? CMD_AUTONOMOUS_ON : CMD_AUTONOMOUS_OFF);
}

void CameraSettingsPanel::OnLedsOffClicked(bool checked) {
  state_.ledsOff = checked;
  Show();
  Send(checked ? CMD_LEDS_OFF : CMD_LEDS_ON);
}

void CameraSettingsPanel::OnExtRecordingClicked(bool checked) {
  if (state_.Streaming()) {
    state_.extRecording = false;
    Show();
    return;
  }
  state_.extRecording = checked;
  Show();
  Send(checked ? CMD_EXT_RECORDING_ON : CMD_EXT_RECORDING_OFF);
}

void CameraSettingsPanel::OnRotationSelected(int quarterTurns) {
  // Takes effect with the next picture; nothing is sent.
  state_.rotation = quarterTurns;
  Show();
}

void CameraSettingsPanel::OnStartStopClicked(bool pushed) {
  // The request carries the button's new state to the live view, which sends by the state the
  // button shows.
  state_.live.streamingFlag = pushed ? 1 : 0;
  Show();
  Post([this] { capture_.OnStartStopClicked(); });
}

void CameraSettingsPanel::StopStreamForClose() {
  if (!state_.Streaming() || state_.live.autonomousFlag != 0) return;
  state_.live.streamingFlag = 0;
  Show();
  // Taken by the live loop between two reads: the loop then sees the button out and ends.
  Post([this] {
    liveHost_.ReadControls();
    try {
      SendCommand(link_.link, CMD_STOP_STREAM);
    } catch (const FTDException&) {
      // Closing goes on whatever the camera does.
    }
    // The caption follows, as after a Stop click: the next click would start the view again.
    liveHost_.SetButtonState(LiveViewState::Off);
  });
}

void CameraSettingsPanel::LiveWindow::SetButtonState(LiveViewState shown) {
  panel_.state_.liveView = shown;
  panel_.Show();
}

void CameraSettingsPanel::LiveWindow::EnableLiveLockedControls(bool on) {
  panel_.state_.jobsOn = on;
  panel_.state_.openOn = on;
  panel_.Show();
}

bool CameraSettingsPanel::LiveWindow::ShowFrame(const FrameHeader& header,
                                                std::span<const uint8_t> payload) {
  return panel_.view_.ShowFrame(header, payload);
}

void CameraSettingsPanel::LiveWindow::ClearDisplay() {
  panel_.view_.ClearDisplay();
}

void CameraSettingsPanel::LiveWindow::InvalidatePictureArea() {
  panel_.view_.InvalidatePictureArea();
}

}  // namespace bf
