#pragma once
#include <cstdint>
#include <functional>
#include <span>

#include "host/GuiQueue.h"
#include "host/TickSource.h"
#include "host/UserPrompts.h"
#include "link/CameraCommands.h"
#include "link/FTD2xx.h"
#include "link/LinkThread.h"
#include "live/CameraSettingsState.h"
#include "live/LinkLiveHost.h"
#include "live/LiveCapture.h"

namespace bf {

// The rest of the main window, as the camera-settings presenter sees it. Implemented by the
// window; every call on the GUI thread.
class CameraSettingsView {
 public:
  virtual ~CameraSettingsView() = default;
  // Draws the camera controls as the state says; called after every change of it.
  virtual void ShowCameraSettings(const CameraSettingsState& state) = 0;
  // The player window's display steps, for the live view's pictures.
  virtual bool ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) = 0;
  virtual void ClearDisplay() = 0;
  // Erases the picture area and the overlay strip above it.
  virtual void InvalidatePictureArea() = 0;
};

// The main window's camera settings: the setting flags and fields, SettingsPending, which
// settings may change while the camera streams and which are refused then, and what each
// control sends. It owns the state (CameraSettingsState) and hands it to the view after every
// change; the live view's Start/Stop runs through it. Every exchange with the camera is posted
// to the link thread with the live view's input as the controls stand at that moment, and goes
// out there between two reads of a running live view; a link failure is shown by the link
// prompts and changes no control. Free of any toolkit.
//
// Threads: the public calls on the GUI thread only. The live view's host (LinkLiveHost) calls
// back into it queued through `gui`.
class CameraSettingsPanel final {
 public:
  // What it talks to the camera with. `linkPrompts` may be used on the link thread (the window
  // gives GuiThreadPrompts).
  struct Link {
    FTD2xx& link;
    LinkThread& thread;
    GuiQueue& gui;
    UserPrompts& linkPrompts;
    TickSource& ticks;
  };

  CameraSettingsPanel(Link link, CameraSettingsView& view);
  CameraSettingsPanel(const CameraSettingsPanel&) = delete;
  CameraSettingsPanel& operator=(const CameraSettingsPanel&) = delete;

  const CameraSettingsState& State() const { return state_; }
  // Draws the state as it stands.
  void Show();

  // Puts a valid status on the controls (the handshake's status): compression, colour,
  // frame rate, the detector radios and the frame timeout; LEDs on and external recording off,
  // as the handshake then tells the camera. Sends nothing.
  void ApplyCameraStatus(const CameraStatus& status);
  // EnableCameraControls of the main window.
  void EnableCameraControls(bool on);
  // The camera leaves autonomous mode (a new handshake tells it so).
  void ClearAutonomous();

  // The controls' events, with the value each now shows.
  void OnFrameRateSelected(int index);
  void OnColourSelected(int index);
  void OnCompressionScrollEnded(int position);
  void OnDetectorOn();
  void OnDetectorOff();
  void OnSensitivityScrollEnded(int position);
  void OnAutonomousClicked(bool checked);
  void OnLedsOffClicked(bool checked);
  void OnExtRecordingClicked(bool checked);
  void OnRotationSelected(int quarterTurns);
  // Start/Stop toggled to `pushed`: starts or stops the live view.
  void OnStartStopClicked(bool pushed);
  // Closing: a running live view that is not autonomous is stopped (the button pops out and
  // CMD_STOP_STREAM goes out, its failure ignored); in autonomous mode the camera runs on.
  void StopStreamForClose();

  // Posts a camera exchange to the link thread, after handing the live view the controls'
  // state of now; a running live view takes it between two reads. The exchange runs on the link
  // thread: it must capture what it needs by value.
  void Post(std::function<void()> exchange);
  // The live view's loop runs on the link thread. Any thread.
  bool LoopRunning() const { return capture_.LoopRunning(); }
  // The live view's state on the link thread; read it only while the link thread is idle.
  const LiveState& LinkLiveState() const { return liveHost_.State(); }

 private:
  // Posts a command inside the guard that shows a link failure.
  void Send(CameraCommand command);
  void SendWithValue(CameraCommand command, uint8_t value);
  LiveInput Input() const;

  // The window's side of the live view: called on the GUI thread by liveHost_.
  class LiveWindow final : public LiveViewHost {
   public:
    explicit LiveWindow(CameraSettingsPanel& panel) : panel_(panel) {}
    LiveState& State() override { return panel_.state_.live; }
    void ReadControls() override {}  // every control has told its state already
    void WriteControls() override { panel_.Show(); }
    LiveViewState ButtonState() override { return panel_.state_.liveView; }
    void SetButtonState(LiveViewState shown) override;
    void EnableLiveLockedControls(bool on) override;
    bool ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) override;
    void ClearDisplay() override;
    void InvalidatePictureArea() override;

   private:
    CameraSettingsPanel& panel_;
  };

  Link link_;
  CameraSettingsView& view_;
  CameraSettingsState state_;
  LiveWindow liveWindow_{*this};
  LinkLiveHost liveHost_;  // link thread
  LiveCapture capture_;    // link thread
};

}  // namespace bf
