#include "live/LinkLiveHost.h"

namespace bf {

void LinkLiveHost::SetInput(const LiveInput& input) {
  input_ = input;
  state_.frameTimeout = input.frameTimeout;
}

void LinkLiveHost::ReadControls() {
  state_.streamingFlag = input_.startStopPushed ? 1 : 0;
  state_.autonomousFlag = input_.autonomous ? 1 : 0;
}

void LinkLiveHost::WriteControls() {
  // The controls show the flags from now on, so a later ReadControls reads them back.
  input_.startStopPushed = state_.streamingFlag != 0;
  input_.autonomous = state_.autonomousFlag != 0;
  const LiveState shown = state_;
  gui_.Post([this, shown] {
    LiveState& windowState = window_.State();
    windowState.streamingFlag = shown.streamingFlag;
    windowState.autonomousFlag = shown.autonomousFlag;
    window_.WriteControls();
  });
}

void LinkLiveHost::SetButtonState(LiveViewState state) {
  buttonState_ = state;
  gui_.Post([this, state] { window_.SetButtonState(state); });
}

void LinkLiveHost::EnableLiveLockedControls(bool on) {
  gui_.Post([this, on] { window_.EnableLiveLockedControls(on); });
}

bool LinkLiveHost::ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) {
  bool post = false;
  {
    std::lock_guard lock(frameMutex_);
    post = !pendingFrame_.has_value();
    pendingFrame_ = Frame{header, {payload.begin(), payload.end()}};
  }
  if (post) gui_.Post([this] { ShowPendingFrame(); });
  // Whether it decodes is the window's business now; the loop goes on either way.
  return true;
}

void LinkLiveHost::ShowPendingFrame() {
  std::optional<Frame> frame;
  {
    std::lock_guard lock(frameMutex_);
    frame.swap(pendingFrame_);
  }
  if (frame) window_.ShowFrame(frame->header, frame->payload);
}

void LinkLiveHost::ClearDisplay() {
  // A frame still on its way would show after the clearing: it is dropped first.
  {
    std::lock_guard lock(frameMutex_);
    pendingFrame_.reset();
  }
  gui_.Post([this] { window_.ClearDisplay(); });
}

void LinkLiveHost::InvalidatePictureArea() {
  gui_.Post([this] { window_.InvalidatePictureArea(); });
}

}  // namespace bf
