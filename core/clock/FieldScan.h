#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace bf {

// How many characters of an edit's text the dialog looks at.
inline constexpr std::size_t kFieldTextLimit = 63;

// Reads an edit's text as an unsigned decimal number the way the dialog's data exchange does:
// only the first 63 characters count; leading blanks and one sign are accepted; scanning stops
// at the first character that is not a digit; a negative number wraps round to a large unsigned
// value. Nothing when no digit follows the blanks and the sign.
//
// A number too large for 32 bits never wraps back into a small value: a positive one gives
// 4294967295 and a negative one a value of at least 2^31, so that every range check refuses it.
std::optional<uint32_t> ScanUnsignedField(std::string_view text);

}  // namespace bf
