#include "host/IniSettingsStore.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <fstream>

namespace bf {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(uint32_t code, std::string& out) {
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

// "Player%20fps" -> "Player fps"; "%U0418" -> that character; '\' separates groups.
std::string UnescapeKey(const std::string& key) {
  std::string out;
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (key[i] == '%' && i + 2 < key.size() && key[i + 1] != 'U' && HexDigit(key[i + 1]) >= 0 &&
        HexDigit(key[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(key[i + 1]) * 16 + HexDigit(key[i + 2]));
      i += 2;
    } else if (key[i] == '%' && i + 5 < key.size() && key[i + 1] == 'U') {
      uint32_t code = 0;
      for (std::size_t k = 2; k < 6; ++k) {
        code = code * 16 + static_cast<uint32_t>(std::max(0, HexDigit(key[i + k])));
      }
      AppendUtf8(code, out);
      i += 5;
    } else if (key[i] == '\\') {
      out += '/';
    } else {
      out += key[i];
    }
  }
  return out;
}

// A value as QSettings writes a string: optionally in double quotes, with \\ \" \n \t \r and
// \xHHHH escapes; unquoted surrounding blanks are not part of it.
std::string UnescapeValue(const std::string& raw) {
  std::string out;
  bool quoted = false;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\\' && i + 1 < raw.size()) {
      const char e = raw[++i];
      switch (e) {
        case 'n':
          out += '\n';
          break;
        case 't':
          out += '\t';
          break;
        case 'r':
          out += '\r';
          break;
        case 'x': {
          uint32_t code = 0;
          while (i + 1 < raw.size() && HexDigit(raw[i + 1]) >= 0) {
            code = code * 16 + static_cast<uint32_t>(HexDigit(raw[++i]));
          }
          AppendUtf8(code, out);
          break;
        }
        default:
          out += e;
      }
    } else if (!quoted && (c == ' ' || c == '\t') &&
               (out.empty() || raw.find_first_not_of(" \t", i) == std::string::npos)) {
      continue;
    } else {
      out += c;
    }
  }
  // A value beginning with '@' is written as "@@..."; other '@' forms are typed values.
  if (out.rfind("@@", 0) == 0) out.erase(0, 1);
  return out;
}

std::string Trim(const std::string& s) {
  const std::size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  const std::size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

}  // namespace

IniSettingsStore::IniSettingsStore(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::string section;
  while (std::getline(in, line)) {
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (t.front() == '[' && t.back() == ']') {
      section = UnescapeKey(t.substr(1, t.size() - 2));
      if (section == "General") section.clear();
      continue;
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string::npos) continue;
    std::string key = UnescapeKey(Trim(t.substr(0, eq)));
    std::string group = section;
    // A key with a group of its own in its name ("Settings/Player fps" under [General]).
    if (const std::size_t slash = key.rfind('/'); slash != std::string::npos) {
      group = group.empty() ? key.substr(0, slash) : group + "/" + key.substr(0, slash);
      key = key.substr(slash + 1);
    }
    values_[{group, key}] = UnescapeValue(t.substr(eq + 1));
  }
}

int IniSettingsStore::ReadInt(const std::string& section, const std::string& name,
                              int defaultValue) {
  const auto it = values_.find({section, name});
  if (it == values_.end()) return defaultValue;
  const std::string& text = it->second;
  long long value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || value < INT_MIN ||
      value > INT_MAX) {
    return defaultValue;
  }
  return static_cast<int>(value);
}

std::string IniSettingsStore::ReadString(const std::string& section, const std::string& name,
                                         const std::string& defaultValue) {
  const auto it = values_.find({section, name});
  return it == values_.end() ? defaultValue : it->second;
}

std::string WindowSettingsPath() {
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    base = std::string(home) + "/.config";
  } else {
    return "";
  }
  return base + "/Kelvane/BrindleFlash 1.1.3.conf";
}

}  // namespace bf
