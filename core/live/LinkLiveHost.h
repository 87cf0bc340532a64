#pragma once
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "host/GuiQueue.h"
#include "live/LiveViewHost.h"

namespace bf {

// What the window's controls said when it posted a request to the link thread: the live view's
// input, handed over as a snapshot so that the link thread never reads a widget.
struct LiveInput {
  bool startStopPushed = false;  // the Start/Stop button's pushed state
  bool autonomous = false;       // "Автономно"
  uint32_t frameTimeout = 0;     // from the detector radios
};

// The live view's host on the link thread. It keeps the state the capture reads and writes
// (the flags, and what the Start/Stop button offers), takes the window's input from the
// requests' snapshots, and posts everything the window must show to `window`, which then runs
// on the GUI thread: the flags written back to the controls, the button's state, the locked
// controls, the frames, clearing and invalidating. A frame posted while the one before it has
// not been shown yet replaces it, so a slow window shows the newest picture and the queue never
// grows with frames.
//
// Threads: the LiveViewHost calls and SetInput on the link thread; `window` only on the GUI
// thread (through the queue).
class LinkLiveHost final : public LiveViewHost {
 public:
  LinkLiveHost(LiveViewHost& window, GuiQueue& gui) : window_(window), gui_(gui) {}

  void SetInput(const LiveInput& input);

  LiveState& State() override { return state_; }
  const LiveState& State() const { return state_; }
  void ReadControls() override;
  void WriteControls() override;
  LiveViewState ButtonState() override { return buttonState_; }
  void SetButtonState(LiveViewState state) override;
  void EnableLiveLockedControls(bool on) override;
  bool ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) override;
  void ClearDisplay() override;
  void InvalidatePictureArea() override;

 private:
  struct Frame {
    FrameHeader header;
    std::vector<uint8_t> payload;
  };
  void ShowPendingFrame();

  LiveViewHost& window_;
  GuiQueue& gui_;
  LiveInput input_;
  LiveState state_;
  LiveViewState buttonState_ = LiveViewState::Off;
  std::mutex frameMutex_;
  std::optional<Frame> pendingFrame_;  // guarded by frameMutex_
};

}  // namespace bf
