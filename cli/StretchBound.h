#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "clock/LocalTime.h"
#include "review/StretchCut.h"

namespace bf::cli {

// One end of a stretch of a recording, as the operator writes it: a frame number (position in
// the frame index), a local date and time "YYYY-MM-DD HH:MM:SS", or a universal time
// "YYYY-MM-DDTHH:MM:SSZ".
using StretchBound = bf::StretchBound;

// The bound a text names; nothing, with `why` set, when it names none (a malformed text, a
// date that does not exist, a local time that the clock skips at a daylight-saving change).
std::optional<StretchBound> ParseStretchBound(const std::string& text, std::string& why);

}  // namespace bf::cli
