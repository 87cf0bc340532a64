#pragma once
#include <memory>
#include <string>

#include "host/TickSource.h"
#include "host/UserPrompts.h"
#include "link/D2xxBackend.h"

namespace bf::ui {

// The camera backend named by selection ("ftdi", "ftdi:1", "d2xx", "sim:key=value,...").
// A selection that names no backend, or a backend that already knows why it cannot work (the
// vendor library is missing), is explained to the operator in a warning box before start-up
// goes on; the program then starts all the same, so the status handshake reports the missing
// camera and recordings can still be played. A link trace file (BRINDLEFLASH_TRACE) that cannot
// be opened is explained the same way and the program runs untraced. Never returns null. GUI
// thread.
std::shared_ptr<D2xxBackend> ChooseBackend(const std::string& selection, TickSource& ticks,
                                           UserPrompts& prompts);

}  // namespace bf::ui
