#pragma once
#include <string>

#include "frames/LiveViewHost.h"

namespace bf {

// The main window reduced to its Start/Stop button, for driving the live capture headless
// (benchmarks, fuzzing): the button's pushed state is `pushed`, its caption `caption`; the
// locked controls, clearing and invalidating do nothing. Subclasses decide what ShowFrame does.
class ButtonLiveHost : public LiveViewHost {
 public:
  LiveState state;
  bool pushed = false;
  std::string caption = kStartCaption;

  LiveState& State() override { return state; }
  void ReadControls() override { state.streamingFlag = pushed ? 1 : 0; }
  void WriteControls() override { pushed = state.streamingFlag != 0; }
  std::string StartStopCaption() override { return caption; }
  void SetStartStopCaption(const std::string& text) override { caption = text; }
  void EnableLiveLockedControls(bool) override {}
  void ClearDisplay() override {}
  void InvalidatePictureArea() override {}
};

}  // namespace bf
