#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace bf {

// A parsed JSON text, for the small files this program writes and reads back (copy records).
// Numbers keep their text, so that 64-bit sizes and offsets come back exact. Any thread.
struct JsonValue {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  std::string text;  // a string's value, or a number as written
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> fields;

  // A missing key or index gives a Null value.
  const JsonValue& operator[](const std::string& key) const;
  const JsonValue& operator[](std::size_t index) const;
  bool IsNull() const { return kind == Kind::Null; }
  // A non-negative integer; empty for anything else.
  std::optional<uint64_t> Unsigned() const;
  std::optional<int64_t> Signed() const;

  // Nothing for a malformed text or one nested deeper than 64 levels.
  static std::optional<JsonValue> Parse(const std::string& text);
};

}  // namespace bf
