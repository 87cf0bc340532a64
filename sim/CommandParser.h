#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "link/CameraCommands.h"

namespace bf::sim {

// Collects command bytes as they arrive, in any split over writes, and hands over each
// complete command: its code and its fixed-width argument bytes. Codes the camera does not
// know (24 among them) take no arguments and are passed on to be ignored.
class CommandParser {
 public:
  static constexpr std::size_t kMaxArguments = 10;
  using Handler = std::function<void(uint8_t code, const uint8_t* args, std::size_t n)>;

  // A command whose argument bytes stop coming for this long is dropped, so that a write that
  // failed halfway does not make the camera take the next command's bytes for its arguments.
  static constexpr uint64_t kArgumentTimeoutMs = 500;

  explicit CommandParser(CameraType type) : type_(type) {}
  void Feed(const uint8_t* data, std::size_t n, uint64_t nowMs, const Handler& handler);
  // Argument bytes that follow a code for this camera type.
  static std::size_t ArgumentCount(uint8_t code, CameraType type);

 private:
  CameraType type_;
  bool inCommand_ = false;
  uint8_t code_ = 0;
  std::size_t needed_ = 0;
  std::size_t have_ = 0;
  uint64_t lastByteMs_ = 0;
  std::array<uint8_t, kMaxArguments> args_{};
};

}  // namespace bf::sim
