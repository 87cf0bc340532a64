#pragma once
#include <cstdint>
#include <functional>

namespace bf {

// What the window should do after a poll of the plug watch.
enum class PlugAction {
  None,
  DisableCameraControls,  // the bridge went away after a failed exchange
  RunHandshake,           // a bridge came (back): ask the camera for its status again
};

// What the window looks like at the moment of a poll.
struct PlugWindowState {
  bool cameraControlsOn = false;
  bool cameraWorkRunning = false;   // live view, copy, erase, playback, a dialog or a message box
  bool lastExchangeFailed = false;  // the link's last status is not success
};

// Decides when the main window reruns the start-up handshake because a bridge was plugged in,
// and when it switches the camera controls off because the bridge was pulled. The probe says
// whether a bridge of the selection is on the bus, without opening it; it is asked only while
// no camera work runs, at most once per kPlugPollPeriodMs, and, while the camera controls are
// on, only after an exchange failed. A handshake is asked for only on a change from absent to
// present, so a bridge whose camera does not answer gets one handshake (and one message) per
// plugging, not one a second. Pure logic with injected time; GUI thread only.
class PlugWatch {
 public:
  using Probe = std::function<bool()>;
  explicit PlugWatch(Probe probe);

  // After every handshake: notes whether the bridge is there now, so that only a later plugging
  // starts the next one.
  void HandshakeEnded(bool ok);

  // The window's timer tick; nowMs from a millisecond tick count (wrap-around allowed).
  PlugAction Poll(const PlugWindowState& window, uint32_t nowMs);

  bool BridgeSeen() const { return present_; }

 private:
  bool Probed();

  Probe probe_;
  bool present_ = false;
  bool probedOnce_ = false;
  uint32_t lastProbeMs_ = 0;
};

inline constexpr uint32_t kPlugPollPeriodMs = 1000;

}  // namespace bf
