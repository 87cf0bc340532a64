#ifdef _WIN32
// rand_s, the C runtime's call into the system's cryptographic generator, is declared only
// with this set before the first include of stdlib.h (which <string> brings in).
#define _CRT_RAND_S
#include <stdlib.h>
#else
#include <fcntl.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/random.h>
#endif
#endif

#include <array>
#include <cerrno>

#include "host/RandomToken.h"

namespace bf {

namespace {

constexpr std::size_t kBytes = 8;

#ifdef _WIN32
uint32_t FillRandom(std::array<uint8_t, kBytes>& bytes) {
  for (std::size_t i = 0; i < kBytes; i += 4) {
    unsigned int value = 0;
    if (const errno_t e = rand_s(&value); e != 0) return static_cast<uint32_t>(e);
    for (std::size_t k = 0; k < 4; ++k) bytes[i + k] = static_cast<uint8_t>(value >> (8 * k));
  }
  return 0;
}
#else
uint32_t ReadUrandom(std::array<uint8_t, kBytes>& bytes) {
  const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return static_cast<uint32_t>(errno);
  std::size_t done = 0;
  uint32_t error = 0;
  while (done < kBytes) {
    const ssize_t n = ::read(fd, bytes.data() + done, kBytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? static_cast<uint32_t>(errno) : EIO;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return error;
}

uint32_t FillRandom(std::array<uint8_t, kBytes>& bytes) {
#if defined(__linux__)
  // Eight bytes never come short from getrandom; a kernel without it (ENOSYS) or a sandbox
  // that forbids it falls back to the device.
  for (;;) {
    const ssize_t n = ::getrandom(bytes.data(), kBytes, 0);
    if (n == static_cast<ssize_t>(kBytes)) return 0;
    if (n < 0 && errno == EINTR) continue;
    break;
  }
#endif
  return ReadUrandom(bytes);
}
#endif

}  // namespace

uint32_t RandomToken(std::string& out) {
  out.clear();
  std::array<uint8_t, kBytes> bytes{};
  if (const uint32_t error = FillRandom(bytes); error != 0) return error;
  static constexpr char kHex[] = "0123456789abcdef";
  for (const uint8_t b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 0x0F];
  }
  return 0;
}

}  // namespace bf
