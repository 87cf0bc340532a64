#pragma once
#include <cstdint>

namespace bf {

// The fixed Russian text for a D2XX status code 0..17; "" for any other code. The pointer is
// to a string constant, valid for the whole run. Safe from any thread.
const char* StatusText(uint32_t code);

// The highest code with a text.
inline constexpr uint32_t kLastStatusWithText = 17;

}  // namespace bf
