#pragma once
#include <cstdint>
#include <string>

#include "host/UserPrompts.h"

namespace bf {

// The platform's text for a system error code; "Unknown error N" when it has none.
std::string SystemErrorText(uint32_t code);

// Shows the text of the calling thread's last system error (errno; GetLastError on Windows) in
// a box captioned "Error" with the information icon and OK, and returns the code. GUI thread.
uint32_t ReportSystemError(UserPrompts& prompts);
// The same for an explicit code, for callers that had to save it before other calls.
uint32_t ReportSystemError(UserPrompts& prompts, uint32_t code);

// The calling thread's last system error code, read without changing it.
uint32_t LastSystemError();

}  // namespace bf
