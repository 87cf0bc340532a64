#pragma once
#include <cstdint>
#include <span>

#include "frames/FrameHeader.h"

namespace bf {

// Main-window state shared with the live capture loop. The loop keeps its own copy on the thread
// it runs on (LinkLiveHost); requests taken between its reads change it there.
struct LiveState {
  int streamingFlag = 0;      // pushed state of the Start/Stop button
  int autonomousFlag = 0;     // "Автономно" check box
  uint32_t frameTimeout = 0;  // ms to wait for a header: 12000, 0xFFFFFFFF (detector on), 0
  int settingsPending = 0;    // a compression/colour change waits for the next header
};

inline constexpr uint32_t kFrameTimeoutDetectorOff = 12000;
inline constexpr uint32_t kFrameTimeoutUnlimited = 0xFFFFFFFF;

// What the Start/Stop button offers, which decides the command its next click sends. Off: the
// view is off and the next click starts it. Running: the camera streams (to the live loop, or
// on its own in autonomous mode) and the next click stops it. The window shows it as the
// button's caption.
enum class LiveViewState { Off, Running };

// What the live capture needs of the main window. Implemented by LinkLiveHost on the link
// thread, which forwards to the window's own implementation on the GUI thread, and by test
// doubles; every call comes on the thread the capture runs on.
class LiveViewHost {
 public:
  virtual ~LiveViewHost() = default;
  virtual LiveState& State() = 0;
  // Copy bound controls into the fields (sets streamingFlag from the button's pushed state and
  // autonomousFlag from its check box) / copy the fields back into the controls.
  virtual void ReadControls() = 0;
  virtual void WriteControls() = 0;
  // The state the Start/Stop button shows (the last one set; its caption follows it) and the
  // state to show.
  virtual LiveViewState ButtonState() = 0;
  virtual void SetButtonState(LiveViewState state) = 0;
  // "Установить время...", "Сохранить на диск...", "Открыть...", "Стереть" and the four
  // rotation radio buttons, switched together while the live view runs.
  virtual void EnableLiveLockedControls(bool on) = 0;
  // The player window's display steps.
  virtual bool ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) = 0;
  virtual void ClearDisplay() = 0;
  // Invalidate (with erase) the main window from its client origin to the picture control's
  // client width and height plus 30 pixels.
  virtual void InvalidatePictureArea() = 0;
};

}  // namespace bf
