#pragma once
// Just enough JSON for tests that read bfk's output: objects, arrays, strings without escapes,
// numbers, true, false and null. A malformed text makes Parse return nothing.
#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace bf::test {

struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> fields;

  const Json& operator[](const std::string& key) const {
    static const Json missing;
    const auto it = fields.find(key);
    return it == fields.end() ? missing : it->second;
  }
  const Json& operator[](std::size_t i) const {
    static const Json missing;
    return i < items.size() ? items[i] : missing;
  }

  static std::optional<Json> Parse(const std::string& s) {
    std::size_t at = 0;
    std::optional<Json> value = Value(s, at);
    Space(s, at);
    if (!value || at != s.size()) return std::nullopt;
    return value;
  }

 private:
  static void Space(const std::string& s, std::size_t& at) {
    while (at < s.size() && std::isspace(static_cast<unsigned char>(s[at])) != 0) ++at;
  }
  static bool Eat(const std::string& s, std::size_t& at, char c) {
    Space(s, at);
    if (at < s.size() && s[at] == c) {
      ++at;
      return true;
    }
    return false;
  }
  static std::optional<std::string> String(const std::string& s, std::size_t& at) {
    if (!Eat(s, at, '"')) return std::nullopt;
    const std::size_t end = s.find('"', at);
    if (end == std::string::npos || s.find('\\', at) < end) return std::nullopt;
    std::string out = s.substr(at, end - at);
    at = end + 1;
    return out;
  }
  static std::optional<Json> Value(const std::string& s, std::size_t& at) {
    Json v;
    Space(s, at);
    if (at >= s.size()) return std::nullopt;
    if (s[at] == '{') {
      v.kind = Kind::Object;
      ++at;
      if (Eat(s, at, '}')) return v;
      do {
        const std::optional<std::string> key = String(s, at);
        if (!key || !Eat(s, at, ':')) return std::nullopt;
        std::optional<Json> item = Value(s, at);
        if (!item) return std::nullopt;
        v.fields[*key] = std::move(*item);
      } while (Eat(s, at, ','));
      return Eat(s, at, '}') ? std::optional<Json>(v) : std::nullopt;
    }
    if (s[at] == '[') {
      v.kind = Kind::Array;
      ++at;
      if (Eat(s, at, ']')) return v;
      do {
        std::optional<Json> item = Value(s, at);
        if (!item) return std::nullopt;
        v.items.push_back(std::move(*item));
      } while (Eat(s, at, ','));
      return Eat(s, at, ']') ? std::optional<Json>(v) : std::nullopt;
    }
    if (s[at] == '"') {
      std::optional<std::string> text = String(s, at);
      if (!text) return std::nullopt;
      v.kind = Kind::String;
      v.text = *text;
      return v;
    }
    for (const char* word : {"true", "false", "null"}) {
      if (s.compare(at, std::string(word).size(), word) == 0) {
        at += std::string(word).size();
        v.kind = word[0] == 'n' ? Kind::Null : Kind::Bool;
        v.boolean = word[0] == 't';
        return v;
      }
    }
    const char* begin = s.c_str() + at;
    char* end = nullptr;
    v.number = std::strtod(begin, &end);
    if (end == begin) return std::nullopt;
    at += static_cast<std::size_t>(end - begin);
    v.kind = Kind::Number;
    return v;
  }
};

}  // namespace bf::test
