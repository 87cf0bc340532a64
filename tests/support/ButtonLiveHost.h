#pragma once
#include <string>

#include "live/LiveViewHost.h"

namespace bf {

// The main window reduced to its Start/Stop button, for driving the live capture headless
// (benchmarks, fuzzing): the button's pushed state is `pushed`, the state it shows `buttonState`;
// the locked controls, clearing and invalidating do nothing. Subclasses decide what ShowFrame does.
class ButtonLiveHost : public LiveViewHost {
 public:
  LiveState state;
  bool pushed = false;
  LiveViewState buttonState = LiveViewState::Off;

  LiveState& State() override { return state; }
  void ReadControls() override { state.streamingFlag = pushed ? 1 : 0; }
  void WriteControls() override { pushed = state.streamingFlag != 0; }
  LiveViewState ButtonState() override { return buttonState; }
  void SetButtonState(LiveViewState shown) override { buttonState = shown; }
  void EnableLiveLockedControls(bool) override {}
  void ClearDisplay() override {}
  void InvalidatePictureArea() override {}
};

}  // namespace bf
