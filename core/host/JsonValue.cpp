#include "host/JsonValue.h"

#include <charconv>

namespace bf {

namespace {

constexpr int kMaxDepth = 64;

class Parser {
 public:
  explicit Parser(const std::string& s) : s_(s) {}

  bool AtEnd() {
    Space();
    return at_ == s_.size();
  }

  std::optional<JsonValue> Value(int depth) {
    if (depth > kMaxDepth) return std::nullopt;
    Space();
    if (at_ >= s_.size()) return std::nullopt;
    JsonValue v;
    const char c = s_[at_];
    if (c == '{') {
      ++at_;
      v.kind = JsonValue::Kind::Object;
      if (Eat('}')) return v;
      do {
        Space();
        std::optional<std::string> key = String();
        if (!key || !Eat(':')) return std::nullopt;
        std::optional<JsonValue> item = Value(depth + 1);
        if (!item) return std::nullopt;
        v.fields[*key] = std::move(*item);
      } while (Eat(','));
      if (!Eat('}')) return std::nullopt;
      return v;
    }
    if (c == '[') {
      ++at_;
      v.kind = JsonValue::Kind::Array;
      if (Eat(']')) return v;
      do {
        std::optional<JsonValue> item = Value(depth + 1);
        if (!item) return std::nullopt;
        v.items.push_back(std::move(*item));
      } while (Eat(','));
      if (!Eat(']')) return std::nullopt;
      return v;
    }
    if (c == '"') {
      std::optional<std::string> text = String();
      if (!text) return std::nullopt;
      v.kind = JsonValue::Kind::String;
      v.text = std::move(*text);
      return v;
    }
    for (const std::string word : {"true", "false", "null"}) {
      if (s_.compare(at_, word.size(), word) == 0) {
        at_ += word.size();
        v.kind = word == "null" ? JsonValue::Kind::Null : JsonValue::Kind::Bool;
        v.boolean = word == "true";
        return v;
      }
    }
    const std::size_t start = at_;
    while (at_ < s_.size() &&
           (std::string_view("+-0123456789.eE").find(s_[at_]) != std::string_view::npos)) {
      ++at_;
    }
    if (at_ == start) return std::nullopt;
    v.kind = JsonValue::Kind::Number;
    v.text = s_.substr(start, at_ - start);
    return v;
  }

 private:
  void Space() {
    while (at_ < s_.size() &&
           (s_[at_] == ' ' || s_[at_] == '\n' || s_[at_] == '\r' || s_[at_] == '\t')) {
      ++at_;
    }
  }
  bool Eat(char c) {
    Space();
    if (at_ < s_.size() && s_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  static void PutUtf8(uint32_t code, std::string& out) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  std::optional<std::string> String() {
    if (at_ >= s_.size() || s_[at_] != '"') return std::nullopt;
    ++at_;
    std::string out;
    while (at_ < s_.size()) {
      const char c = s_[at_++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= s_.size()) return std::nullopt;
      const char e = s_[at_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'n':
          out += '\n';
          break;
        case 't':
          out += '\t';
          break;
        case 'r':
          out += '\r';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'u': {
          uint32_t code = 0;
          if (at_ + 4 > s_.size()) return std::nullopt;
          const auto r = std::from_chars(s_.data() + at_, s_.data() + at_ + 4, code, 16);
          if (r.ptr != s_.data() + at_ + 4) return std::nullopt;
          at_ += 4;
          PutUtf8(code, out);
          break;
        }
        default:
          return std::nullopt;
      }
    }
    return std::nullopt;
  }

  const std::string& s_;
  std::size_t at_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
  static const JsonValue missing;
  const auto it = fields.find(key);
  return it == fields.end() ? missing : it->second;
}

const JsonValue& JsonValue::operator[](std::size_t index) const {
  static const JsonValue missing;
  return index < items.size() ? items[index] : missing;
}

std::optional<uint64_t> JsonValue::Unsigned() const {
  if (kind != Kind::Number) return std::nullopt;
  uint64_t value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<int64_t> JsonValue::Signed() const {
  if (kind != Kind::Number) return std::nullopt;
  int64_t value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<JsonValue> JsonValue::Parse(const std::string& text) {
  Parser parser(text);
  std::optional<JsonValue> value = parser.Value(0);
  if (!value || !parser.AtEnd()) return std::nullopt;
  return value;
}

}  // namespace bf
