#pragma once
#include "host/UserPrompts.h"

namespace bf {

// The busy (wait) cursor for as long as the guard lives: on in the constructor, off in the
// destructor, so it ends on every path out of the wait, exceptions included. Called on the
// thread that waits; the prompts take the cursor to the window.
class BusyCursorGuard {
 public:
  explicit BusyCursorGuard(UserPrompts& prompts) : prompts_(&prompts) {
    prompts_->SetBusyCursor(true);
  }
  ~BusyCursorGuard() { Release(); }
  // Ends the busy cursor early; the destructor then does nothing.
  void Release() {
    if (prompts_ != nullptr) prompts_->SetBusyCursor(false);
    prompts_ = nullptr;
  }
  BusyCursorGuard(const BusyCursorGuard&) = delete;
  BusyCursorGuard& operator=(const BusyCursorGuard&) = delete;

 private:
  UserPrompts* prompts_;
};

}  // namespace bf
