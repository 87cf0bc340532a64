#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace bf {

// SHA-256 over bytes fed in pieces (libcrypto's EVP digest; on Windows the system's CNG). One
// thread at a time.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(std::span<const uint8_t> bytes);
  // The digest of everything fed since construction or the last Finish, as 64 lowercase hex
  // digits; starts over afterwards.
  std::string FinishHex();

 private:
  struct State;  // the library's hash object
  std::unique_ptr<State> state_;
};

// The digest of one buffer, as lowercase hex.
std::string Sha256Hex(std::span<const uint8_t> bytes);

}  // namespace bf
