#include "link/PlugWatch.h"

#include <utility>

namespace bf {

PlugWatch::PlugWatch(Probe probe) : probe_(std::move(probe)) {}

bool PlugWatch::Probed() {
  return probe_ && probe_();
}

void PlugWatch::HandshakeEnded(bool ok) {
  // A good handshake proves the bridge is there; after a failed one the bus decides, so that a
  // bridge missing at start-up is run again once it is plugged in.
  present_ = ok || Probed();
}

PlugAction PlugWatch::Poll(const PlugWindowState& window, uint32_t nowMs) {
  // The link belongs to the camera work while it runs; a second exchange must not cut in.
  if (window.cameraWorkRunning) return PlugAction::None;
  // Controls on and the last exchange fine: nothing to look at, and no USB traffic.
  if (window.cameraControlsOn && !window.lastExchangeFailed) return PlugAction::None;
  if (probedOnce_ && nowMs - lastProbeMs_ < kPlugPollPeriodMs) return PlugAction::None;
  probedOnce_ = true;
  lastProbeMs_ = nowMs;

  const bool present = Probed();
  const bool wasPresent = std::exchange(present_, present);
  if (window.cameraControlsOn) {
    // A failed exchange with the bridge gone: the camera is unavailable, as after start-up
    // without one.
    return present ? PlugAction::None : PlugAction::DisableCameraControls;
  }
  return present && !wasPresent ? PlugAction::RunHandshake : PlugAction::None;
}

}  // namespace bf
