#include "recordings/JoinedFile.h"

#include <algorithm>

namespace bf {

bool JoinedFile::Open(const std::string& first, const std::string& second) {
  Close();
  if (!first_.Open(first)) {
    error_ = first_.SystemError();
    failedPath_ = first;
    return false;
  }
  if (!second.empty() && !second_.Open(second)) {
    error_ = second_.SystemError();
    failedPath_ = second;
    first_.Close();
    return false;
  }
  return true;
}

void JoinedFile::Close() {
  second_.Close();
  first_.Close();
  error_ = 0;
  failedPath_.clear();
}

std::size_t JoinedFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
  const uint64_t seam = first_.Size();
  std::size_t got = 0;
  if (offset < seam) {
    const auto inFirst = static_cast<std::size_t>(std::min<uint64_t>(out.size(), seam - offset));
    got = first_.ReadAt(offset, out.first(inFirst));
    // A first file cut short since: the second one's bytes must not slide into the gap.
    if (got < inFirst || inFirst == out.size()) return got;
  }
  if (!second_.IsOpen()) return got;
  return got + second_.ReadAt(offset + got - seam, out.subspan(got));
}

}  // namespace bf
