#include "sim/SimOptions.h"

#include <charconv>
#include <functional>
#include <map>
#include <sstream>

namespace bf::sim {

SimOptions SimOptions::Demo() {
  SimOptions o;
  o.bytesPerSecond = 1'000'000;  // about what a full-speed bridge delivers
  o.prefillFrames = 90;
  o.prefillRecordings = 3;
  o.prefillDamaged = true;
  o.clockFromHost = true;
  return o;
}

namespace {

template <class T>
bool ParseNumber(const std::string& text, T* out) {
  uint64_t value = 0;
  const char* end = text.data() + text.size();
  auto r = std::from_chars(text.data(), end, value);
  if (r.ec != std::errc() || r.ptr != end || text.empty()) return false;
  if (value > static_cast<uint64_t>(static_cast<T>(-1))) return false;
  *out = static_cast<T>(value);
  return true;
}

bool ParseBool(const std::string& text, bool* out) {
  if (text == "1" || text == "yes" || text == "on" || text == "true") {
    *out = true;
  } else if (text == "0" || text == "no" || text == "off" || text == "false") {
    *out = false;
  } else {
    return false;
  }
  return true;
}

// "A:B" into two numbers; B may be missing when a default is allowed.
template <class A, class B>
bool ParsePair(const std::string& text, A* a, B* b, bool secondOptional) {
  const auto colon = text.find(':');
  if (colon == std::string::npos) return secondOptional && ParseNumber(text, a);
  return ParseNumber(text.substr(0, colon), a) && ParseNumber(text.substr(colon + 1), b);
}

bool ParseCallFault(const std::string& text, CallFault* out) {
  static const std::map<std::string, CallFault> names = {
      {"fail", CallFault::Fail},        {"unplug", CallFault::Unplug},
      {"half", CallFault::TimeoutHalf}, {"short", CallFault::ShortRead},
      {"silence", CallFault::Silence},  {"extra", CallFault::ExtraBytes},
      {"flip", CallFault::FlipBit}};
  const auto it = names.find(text);
  if (it == names.end()) return false;
  *out = it->second;
  return true;
}

// "MODE:N" into the fault and its call; N >= 1.
bool ParseFaultAt(const std::string& text, SimOptions& o) {
  const auto colon = text.find(':');
  return colon != std::string::npos && ParseCallFault(text.substr(0, colon), &o.fault) &&
         ParseNumber(text.substr(colon + 1), &o.faultCall) && o.faultCall >= 1;
}

using Setter = std::function<bool(const std::string&, SimOptions&)>;

const std::map<std::string, Setter>& Setters() {
  static const std::map<std::string, Setter> table = {
      {"type",
       [](const std::string& v, SimOptions& o) {
         uint8_t t = 0;
         if (!ParseNumber(v, &t) || t > 2) return false;
         o.type = static_cast<CameraType>(t);
         return true;
       }},
      {"size",
       [](const std::string& v, SimOptions& o) {
         if (v == "320x240") {
           o.size = {320, 240};
         } else if (v == "640x480") {
           o.size = {640, 480};
         } else {
           return false;
         }
         return true;
       }},
      {"compression",
       [](const std::string& v, SimOptions& o) {
         return ParseNumber(v, &o.compression) && o.compression <= 4;
       }},
      {"mono", [](const std::string& v, SimOptions& o) { return ParseBool(v, &o.monochrome); }},
      {"rate",
       [](const std::string& v, SimOptions& o) {
         return ParseNumber(v, &o.frameRateIndex) && o.frameRateIndex <= 7;
       }},
      {"md", [](const std::string& v, SimOptions& o) { return ParseBool(v, &o.motionDetector); }},
      {"clock",
       [](const std::string& v, SimOptions& o) {
         if (v == "now") {
           o.clockFromHost = true;
           return true;
         }
         o.clockFromHost = false;
         return ParseNumber(v, &o.clock);
       }},
      {"frames",
       [](const std::string& v, SimOptions& o) { return ParseNumber(v, &o.prefillFrames); }},
      {"recordings",
       [](const std::string& v, SimOptions& o) {
         return ParseNumber(v, &o.prefillRecordings) && o.prefillRecordings >= 1;
       }},
      {"damaged",
       [](const std::string& v, SimOptions& o) { return ParseBool(v, &o.prefillDamaged); }},
      {"wrapped",
       [](const std::string& v, SimOptions& o) { return ParseBool(v, &o.prefillWrapped); }},
      {"notready",
       [](const std::string& v, SimOptions& o) { return ParseNumber(v, &o.notReadyQueries); }},
      {"erase_ms", [](const std::string& v, SimOptions& o) { return ParseNumber(v, &o.eraseMs); }},
      {"erase_reply",
       [](const std::string& v, SimOptions& o) { return ParseNumber(v, &o.eraseReply); }},
      {"speed",
       [](const std::string& v, SimOptions& o) { return ParseNumber(v, &o.bytesPerSecond); }},
      {"md_interval",
       [](const std::string& v, SimOptions& o) {
         return ParseNumber(v, &o.motionIntervalMs) && o.motionIntervalMs > 0;
       }},
      {"max_fps",
       [](const std::string& v, SimOptions& o) {
         return ParseNumber(v, &o.maxFps) && o.maxFps >= 15 && o.maxFps <= 1000;
       }},
      {"seed", [](const std::string& v, SimOptions& o) { return ParseNumber(v, &o.seed); }},
      {"fail_call",
       [](const std::string& v, SimOptions& o) {
         return ParsePair(v, &o.failCall, &o.failStatus, true) && o.failStatus != 0;
       }},
      {"unplug_calls",
       [](const std::string& v, SimOptions& o) { return ParseNumber(v, &o.unplugAfterCalls); }},
      {"unplug_bytes",
       [](const std::string& v, SimOptions& o) { return ParseNumber(v, &o.unplugAfterBytes); }},
      {"mute", [](const std::string& v, SimOptions& o) { return ParseBool(v, &o.mute); }},
      {"silent_after_bytes",
       [](const std::string& v, SimOptions& o) { return ParseNumber(v, &o.silentAfterBytes); }},
      {"type_reply",
       [](const std::string& v, SimOptions& o) {
         uint8_t t = 0;
         if (!ParseNumber(v, &t)) return false;
         o.typeReply = t;
         return true;
       }},
      {"latency_us",
       [](const std::string& v, SimOptions& o) { return ParseNumber(v, &o.latencyUs); }},
      {"unstable",
       [](const std::string& v, SimOptions& o) {
         uint64_t address = 0;
         if (!ParseNumber(v, &address)) return false;
         o.unstableByte = address;
         return true;
       }},
      {"drop",
       [](const std::string& v, SimOptions& o) { return ParseNumber(v, &o.dropReplyBytes); }},
      {"fault",
       [](const std::string& v, SimOptions& o) {
         o.faultAfterCommand = 0;
         return ParseFaultAt(v, o);
       }},
      {"fault_after",
       [](const std::string& v, SimOptions& o) {
         const auto colon = v.find(':');
         return colon != std::string::npos &&
                ParseNumber(v.substr(0, colon), &o.faultAfterCommand) && o.faultAfterCommand != 0 &&
                ParseFaultAt(v.substr(colon + 1), o);
       }},
      {"garbage",
       [](const std::string& v, SimOptions& o) {
         return ParsePair(v, &o.garbageBeforeFrame, &o.garbageBytes, true) &&
                o.garbageBeforeFrame > 0;
       }},
  };
  return table;
}

}  // namespace

std::optional<SimOptions> ParseSimOptions(const std::string& text, const SimOptions& base,
                                          std::string* error) {
  SimOptions options = base;
  std::stringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    if (item.empty()) continue;
    const auto eq = item.find('=');
    const std::string key = item.substr(0, eq);
    // A bare key is a switch: "mute" means "mute=1".
    const std::string value = eq == std::string::npos ? "1" : item.substr(eq + 1);
    const auto setter = Setters().find(key);
    if (setter == Setters().end()) {
      if (error) *error = "unknown simulated camera option '" + key + "'";
      return std::nullopt;
    }
    if (!setter->second(value, options)) {
      if (error) *error = "bad value '" + value + "' for simulated camera option '" + key + "'";
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace bf::sim
