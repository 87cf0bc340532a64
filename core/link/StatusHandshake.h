#pragma once
#include <functional>
#include <optional>

#include "host/TickSource.h"
#include "host/UserPrompts.h"
#include "link/CameraCommands.h"
#include "link/FTD2xx.h"

namespace bf {

// Start-up exchange with the camera: opens device 0, resets it and asks for the CameraStatus,
// retrying up to 5 times (stop the stream, wait 100 ms, drain, ask again) while the record is
// not valid or came short of its 16 bytes. A whole valid record is
// handed to applyStatus (the window puts it on its controls), then sensitivity 5 if the motion
// detector is on, LEDs on, external recording off and autonomous off are sent, and the record
// is returned so the caller enables the camera controls. Every failure is shown to the operator
// here and gives nullopt. Frame rate, colour and compression are taken from the camera, never
// sent. GUI thread.
std::optional<CameraStatus> RunStatusHandshake(
    FTD2xx& link, UserPrompts& prompts, TickSource& ticks,
    const std::function<void(const CameraStatus&)>& applyStatus);

inline constexpr int kStatusRetries = 5;
inline constexpr uint32_t kStatusRetryPauseMs = 100;
inline constexpr uint32_t kStatusDrainBytes = 65536;

}  // namespace bf
