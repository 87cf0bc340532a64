#pragma once
#include <cstdint>
#include <functional>

#include "host/UserPrompts.h"
#include "link/FTD2xx.h"

namespace bf {

// The camera answers CMD_ERASE_FLASH with this byte once its flash is erased.
inline constexpr uint8_t kEraseDoneReply = 0x80;
// A camera silent this long after the command is given up (at the first empty read that
// begins this late, so about 60.2 s in all).
inline constexpr uint32_t kEraseTimeoutMs = 60'000;

inline constexpr const char* kEraseQuestion = "Вы действительно хотите стереть флеш-память?";
inline constexpr const char* kEraseFailedText =
    "Не удалось стереть память.\nПроверьте подключена ли камера.";
inline constexpr const char* kEraseFailedCaption = "Ошибка!";

enum class EraseResult {
  Declined,    // the operator did not answer Yes; nothing was sent
  Erased,      // the camera answered 0x80
  NotErased,   // another byte, or none in time: the failure box was shown
  LinkFailed,  // a device call failed: its status text was shown
};

struct EraseOptions {
  // Ask the question first; bfk's --yes answers it on the command line.
  bool ask = true;
  // Called after every empty read of the wait with the time since the command, e.g. for a
  // progress spinner.
  std::function<void(uint32_t elapsedMs)> waiting;
};

// "Стереть": asks, sends CMD_ERASE_FLASH and waits for the camera's one-byte answer with the
// busy cursor on until the end, whichever way it ends. Time comes from the link's tick source in
// unsigned 32-bit tick differences, so a wrap of the counter does not matter. The answer counts
// only when no further bytes wait behind it (the queue count is asked once it has come). Nothing
// is purged and no other command is sent. For the wait the window's controls are locked
// (SetInputLocked) while the window goes on painting on its own thread. Runs on the thread that
// owns the link (the link thread in the window); prompts as that thread may call them.
EraseResult EraseFlash(FTD2xx& link, UserPrompts& prompts, const EraseOptions& options = {});

}  // namespace bf
