#pragma once
// A headless live view: the simulated camera on a virtual clock behind the real link, a
// scripted main window and scripted prompts, plus a record of every D2XX call the loop makes.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/FTD2xx.h"
#include "live/LiveCapture.h"
#include "live/LiveViewHost.h"
#include "sim/SimCamera.h"
#include "sim/VirtualClock.h"
#include "support/CallLogBackend.h"
#include "support/ScriptedPrompts.h"

namespace bf::test {

// The main window as the live capture sees it: a push-like Start/Stop button, the
// "Автономно" check box, the eight controls locked during the live view and the display.
class ScriptedLiveHost final : public LiveViewHost {
 public:
  LiveState state;
  bool buttonPushed = false;
  bool autonomousChecked = false;
  LiveViewState buttonState = LiveViewState::Off;
  bool lockedEnabled = true;
  int lockCalls = 0;
  std::vector<FrameHeader> headers;
  std::vector<std::vector<uint8_t>> payloads;
  bool showResult = true;
  // Called after every ShowFrame, e.g. to stop a loop that never pumps.
  std::function<void()> onShow;
  int clears = 0;
  int invalidations = 0;

  LiveState& State() override { return state; }
  void ReadControls() override {
    state.streamingFlag = buttonPushed ? 1 : 0;
    state.autonomousFlag = autonomousChecked ? 1 : 0;
  }
  void WriteControls() override {
    buttonPushed = state.streamingFlag != 0;
    autonomousChecked = state.autonomousFlag != 0;
  }
  LiveViewState ButtonState() override { return buttonState; }
  void SetButtonState(LiveViewState shown) override { buttonState = shown; }
  void EnableLiveLockedControls(bool on) override {
    lockedEnabled = on;
    ++lockCalls;
  }
  bool ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) override {
    headers.push_back(header);
    payloads.emplace_back(payload.begin(), payload.end());
    if (onShow) onShow();
    return showResult;
  }
  void ClearDisplay() override { ++clears; }
  void InvalidatePictureArea() override { ++invalidations; }
};

struct LiveRig {
  explicit LiveRig(sim::SimOptions options = Defaults())
      : camera(std::make_shared<sim::SimCamera>(options, clock)),
        backend(std::make_shared<CallLogBackend>(camera)),
        link(backend, clock),
        capture(link, host, prompts, prompts, clock) {
    link.Open(0);
    host.state.frameTimeout = kFrameTimeoutDetectorOff;
  }

  static sim::SimOptions Defaults() {
    sim::SimOptions options;
    options.frameRateIndex = 7;  // maximum rate: many frames per virtual second
    return options;
  }

  // The operator clicks Start/Stop: the button toggles, then its handler runs.
  void Click() {
    host.buttonPushed = !host.buttonPushed;
    capture.OnStartStopClicked();
  }

  VirtualClock clock;
  std::shared_ptr<sim::SimCamera> camera;
  std::shared_ptr<CallLogBackend> backend;
  FTDClass link;
  ScriptedLiveHost host;
  ScriptedPrompts prompts;
  LiveCapture capture;
};

}  // namespace bf::test
