#include "recordings/Recording.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "recordings/WrappedPair.h"

namespace bf {

Recording::OpenStatus Recording::Open(const std::string& path, std::size_t frameLimit,
                                      Pairing pairing) {
  Close();
  const std::optional<WrappedPair> pair =
      pairing == Pairing::JoinSecond ? FindWrappedPair(path) : std::nullopt;
  if (!(pair ? file_.Open(pair->first, pair->second) : file_.Open(path))) {
    return OpenStatus::SystemError;
  }
  index_ = BuildFrameIndex(file_, frameLimit);
  if (index_.empty()) {
    Close();
    return OpenStatus::NotRecording;
  }
  size_ = file_.Size();
  path_ = path;
  if (pair) {
    firstPath_ = pair->first;
    secondPath_ = pair->second;
  }
  return OpenStatus::Opened;
}

void Recording::Close() {
  index_ = FrameIndex{};
  size_ = 0;
  path_.clear();
  firstPath_.clear();
  secondPath_.clear();
  file_.Close();
}

bool Recording::ReadPayload(std::size_t i, std::vector<uint8_t>& out) const {
  out.clear();
  const FrameIndexEntry& entry = index_[i];
  // The header is read back with the payload: a file written over since must not pass for
  // the recording that was indexed.
  const uint64_t headerPresent = std::min<uint64_t>(kFrameHeaderSize, size_ - entry.offset);
  const std::size_t payload = PayloadSize(i);
  const std::size_t want = static_cast<std::size_t>(headerPresent) + payload;
  out.resize(want);
  if (file_.ReadAt(entry.offset, out) != want ||
      std::memcmp(out.data(), entry.header.bytes.data(), static_cast<std::size_t>(headerPresent)) !=
          0) {
    out.clear();
    return false;
  }
  out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(headerPresent));
  return true;
}

}  // namespace bf
