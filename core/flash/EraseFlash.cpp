#include "flash/EraseFlash.h"

#include "host/BusyCursor.h"
#include "host/InputLock.h"
#include "link/CameraCommands.h"

namespace bf {
namespace {

// Reads one byte at a time (each read waits at most the link's read timeout) until a byte comes
// or an empty read that began kEraseTimeoutMs or more after the command. Returns the byte, or 0
// when none came or when it did not come alone.
uint8_t WaitForEraseReply(FTD2xx& link, const EraseOptions& options) {
  TickSource& ticks = link.Ticks();
  uint8_t reply = 0;
  const uint32_t start = ticks.TickCount();
  uint32_t readBegan = start;
  for (;;) {
    if (link.Read(&reply, 1) > 0) {
      // The answer is one byte. More bytes behind it mean the camera is sending something
      // else (noise, a stream), and a 0x80 among them is no proof that the flash was erased.
      return link.GetQueueStatus() == 0 ? reply : 0;
    }
    if (static_cast<uint32_t>(readBegan - start) >= kEraseTimeoutMs) return 0;
    readBegan = ticks.TickCount();
    if (options.waiting) options.waiting(static_cast<uint32_t>(readBegan - start));
  }
}

}  // namespace

EraseResult EraseFlash(FTD2xx& link, UserPrompts& prompts, const EraseOptions& options) {
  if (options.ask && prompts.ShowMessage(kEraseQuestion, "", MessageIcon::None,
                                         MessageButtons::YesNo) != MessageAnswer::Yes) {
    return EraseResult::Declined;
  }
  try {
    link.WriteByte(CMD_ERASE_FLASH);
    // The busy cursor lasts until the end, the failure box included.
    const BusyCursorGuard busy(prompts);
    uint8_t reply = 0;
    {
      // The window takes no input while the camera erases, and shows it; its controls are
      // back before any box.
      const InputLockGuard locked(prompts);
      reply = WaitForEraseReply(link, options);
    }
    if (reply == kEraseDoneReply) return EraseResult::Erased;
    prompts.ShowMessage(kEraseFailedText, kEraseFailedCaption, MessageIcon::Error,
                        MessageButtons::Ok);
    return EraseResult::NotErased;
  } catch (const FTDException& e) {
    // The busy cursor and the lock have ended with their guards before the failure is shown.
    prompts.ShowMessage(e.GetText(), "", MessageIcon::Error, MessageButtons::Ok);
    return EraseResult::LinkFailed;
  }
}

}  // namespace bf
