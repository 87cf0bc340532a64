#pragma once
#include "host/UserPrompts.h"

namespace bf {

// The window's controls disabled for as long as the guard lives, for a wait that takes no
// input: locked in the constructor, unlocked in the destructor, so they come back on every path
// out of the wait, exceptions included. Called on the thread that waits; the prompts take the
// lock to the window (GuiThreadPrompts posts it to the GUI thread).
class InputLockGuard {
 public:
  explicit InputLockGuard(UserPrompts& prompts) : prompts_(prompts) {
    prompts_.SetInputLocked(true);
  }
  ~InputLockGuard() { prompts_.SetInputLocked(false); }
  InputLockGuard(const InputLockGuard&) = delete;
  InputLockGuard& operator=(const InputLockGuard&) = delete;

 private:
  UserPrompts& prompts_;
};

}  // namespace bf
