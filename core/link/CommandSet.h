#pragma once
#include <cstdint>
#include <utility>

#include "host/UserPrompts.h"
#include "link/CameraCommands.h"
#include "link/FTD2xx.h"

namespace bf {

// Camera commands as the handlers send them. Each throws FTDException on a failed device call.
// Called on whichever thread currently owns the link (see FTD2xx).

// The code byte alone.
uint32_t SendCommand(FTD2xx& link, CameraCommand command);
// Code and value as ONE two-byte write (CMD_SET_FRAME_RATE, CMD_SET_COMPRESSION,
// CMD_SET_SENSITIVITY): the camera expects them in one transfer.
uint32_t SendCommandWithValue(FTD2xx& link, CameraCommand command, uint8_t value);
// CMD_TEST, then the byte 1, as two separate writes.
void SendTestCommand(FTD2xx& link);

// Runs action; a link failure is shown as its status text with the error icon, OK and the
// application name as caption, and gives false. Nothing is retried or rolled back. GUI thread.
template <class F>
bool RunGuarded(UserPrompts& prompts, F&& action) {
  try {
    std::forward<F>(action)();
    return true;
  } catch (const FTDException& e) {
    prompts.ShowMessage(e.GetText(), "", MessageIcon::Error, MessageButtons::Ok);
    return false;
  }
}

}  // namespace bf
