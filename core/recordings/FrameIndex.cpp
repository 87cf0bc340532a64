#include "recordings/FrameIndex.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "recordings/JoinedFile.h"
#include "recordings/ReadOnlyFile.h"

namespace bf {

namespace {

bool AllErased(const uint8_t* sixteen) {
  uint64_t a = 0;
  uint64_t b = 0;
  std::memcpy(&a, sixteen, 8);
  std::memcpy(&b, sixteen + 8, 8);
  return (a & b) == ~uint64_t{0};
}

// The candidate header at an offset of a file held in memory.
class MemoryCandidates {
 public:
  explicit MemoryCandidates(std::span<const uint8_t> file) : file_(file) {}
  uint64_t Size() const { return file_.size(); }
  // 16 bytes at offset (< Size()), padded with zeros past the end.
  const uint8_t* At(uint64_t offset) {
    const uint64_t left = file_.size() - offset;
    if (left >= kFrameHeaderSize) return file_.data() + offset;
    tail_.fill(0);
    std::memcpy(tail_.data(), file_.data() + offset, static_cast<std::size_t>(left));
    return tail_.data();
  }

 private:
  std::span<const uint8_t> file_;
  std::array<uint8_t, kFrameHeaderSize> tail_{};
};

// The candidate header at an offset of an open file. Measured on a virtual machine with a warm
// page cache: reading just the 16 header bytes of records 20 KB apart costs under half of one
// plain read of the file, faulting in a mapping more than half of it, and block reads of the
// whole file about as much as that plain read. Probes 512 bytes apart as single reads cost
// twenty times the plain read. So: where the scan jumps far, read only the header; where it
// steps close (a damaged stretch, small records), read blocks that grow with every close
// step up to 1 MiB, so a short stretch costs little and a long one runs at block speed.
template <class File>
class FileCandidates {
 public:
  explicit FileCandidates(const File& file) : file_(file), size_(file.Size()) {}
  uint64_t Size() const { return size_; }

  const uint8_t* At(uint64_t offset) {
    const uint64_t jump = offset - last_;
    last_ = offset;
    if (offset >= windowStart_ && offset - windowStart_ < windowLength_) {
      const uint64_t inWindow = offset - windowStart_;
      if (windowLength_ - inWindow >= kFrameHeaderSize) return window_.data() + inWindow;
      if (windowStart_ + windowLength_ == size_)
        return Padded(window_.data() + inWindow, windowLength_ - inWindow);
    }
    std::size_t want = kFrameHeaderSize;
    if (jump <= kNearJump) {
      want = block_;
      block_ = std::min(block_ * 2, kMaxBlock);
    } else {
      block_ = kMinBlock;
    }
    want = static_cast<std::size_t>(std::min<uint64_t>(want, size_ - offset));
    if (window_.size() < want) window_.resize(std::max(want, kMinBlock));
    const std::size_t got = file_.ReadAt(offset, std::span(window_.data(), want));
    // Fewer bytes than the file had when opened: it was cut short since; its bytes end here.
    if (got < want) size_ = offset + got;
    windowStart_ = offset;
    windowLength_ = got;
    if (got >= kFrameHeaderSize) return window_.data();
    return Padded(window_.data(), got);
  }

 private:
  static constexpr uint64_t kNearJump = 4096;
  static constexpr std::size_t kMinBlock = std::size_t{64} << 10;
  static constexpr std::size_t kMaxBlock = std::size_t{1} << 20;

  const uint8_t* Padded(const uint8_t* bytes, uint64_t length) {
    tail_.fill(0);
    std::memcpy(tail_.data(), bytes, static_cast<std::size_t>(length));
    return tail_.data();
  }

  const File& file_;
  uint64_t size_;
  uint64_t last_ = 0;
  std::vector<uint8_t> window_;
  uint64_t windowStart_ = 0;
  uint64_t windowLength_ = 0;
  std::size_t block_ = kMinBlock;
  std::array<uint8_t, kFrameHeaderSize> tail_{};
};

template <class Candidates>
FrameIndex Scan(Candidates& source, std::size_t frameLimit) {
  FrameIndex index;
  uint64_t offset = 0;
  bool damaged = false;

  while (offset < source.Size()) {
    const uint8_t* candidate = source.At(offset);
    if (offset >= source.Size()) break;  // the file ended before this offset after all
    if (IsFrameHeader(candidate)) {
      if (damaged) {
        index.pop_back();
        damaged = false;
      }
      // Every entry so far is now certain: a header follows with nothing to drop in between.
      if (index.size() >= frameLimit) break;
      FrameIndexEntry& entry = index.emplace_back();
      entry.header = FrameHeader::FromBytes(candidate);
      entry.offset = offset;
      offset += kFrameHeaderSize + PayloadLength(entry.header);
    } else if (index.empty()) {
      break;  // does not start with a frame: not a recording
    } else if (AllErased(candidate)) {
      break;  // erased flash: end of the recorded data
    } else {
      damaged = true;
      offset += kResyncStep;
    }
  }
  if (damaged) index.pop_back();
  return index;
}

}  // namespace

FrameIndex BuildFrameIndex(std::span<const uint8_t> file, std::size_t frameLimit) {
  MemoryCandidates source(file);
  return Scan(source, frameLimit);
}

FrameIndex BuildFrameIndex(const ReadOnlyFile& file, std::size_t frameLimit) {
  FileCandidates source(file);
  return Scan(source, frameLimit);
}

FrameIndex BuildFrameIndex(const JoinedFile& file, std::size_t frameLimit) {
  FileCandidates source(file);
  return Scan(source, frameLimit);
}

uint64_t PayloadPresentLength(const FrameIndexEntry& entry, uint64_t fileSize) {
  const uint64_t start = entry.PayloadOffset();
  if (start >= fileSize) return 0;
  return std::min<uint64_t>(PayloadLength(entry.header), fileSize - start);
}

std::span<const uint8_t> PayloadPresent(const FrameIndexEntry& entry,
                                        std::span<const uint8_t> file) {
  const auto length = static_cast<std::size_t>(PayloadPresentLength(entry, file.size()));
  if (length == 0) return {};
  return file.subspan(static_cast<std::size_t>(entry.PayloadOffset()), length);
}

}  // namespace bf
