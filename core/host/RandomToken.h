#pragma once
#include <cstdint>
#include <string>

namespace bf {

// Sixteen lowercase hex digits (64 bits) from the operating system's random source, for names
// another user must not be able to guess. Returns 0, or the system error code (errno) when no
// random bytes could be had; `out` is then left empty. Any thread.
uint32_t RandomToken(std::string& out);

}  // namespace bf
