#include <algorithm>

#include "sim/ScriptFormat.h"
#include "sim/ScriptedBackend.h"

namespace bf::sim {

using namespace script;

ScriptWriter& ScriptWriter::Ok() {
  bytes_.push_back(0x00);
  return *this;
}

ScriptWriter& ScriptWriter::Fail(FtStatus status) {
  const FtStatus s = std::clamp<FtStatus>(status, 1, 32);
  bytes_.push_back(static_cast<uint8_t>(kFailFirst - 1u + s));
  return *this;
}

ScriptWriter& ScriptWriter::ShortWrite(uint32_t n) {
  bytes_.push_back(static_cast<uint8_t>(kCountForm + std::min<uint32_t>(n, 31)));
  return *this;
}

void ScriptWriter::Le(uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Runs of 8 or more equal bytes become runs; the rest literal stretches.
void ScriptWriter::Pieces(std::span<const uint8_t> bytes) {
  constexpr std::size_t kMinRun = 8;
  constexpr std::size_t kMaxPiece = 65536;
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t run = 1;
    while (i + run < bytes.size() && bytes[i + run] == bytes[i]) ++run;
    if (run >= kMinRun) {
      if (i + run == bytes.size()) {
        bytes_.push_back(kPieceFillRest);
        bytes_.push_back(bytes[i]);
        return;
      }
      const std::size_t n = std::min(run, kMaxPiece);
      bytes_.push_back(kPieceRun);
      Le(static_cast<uint32_t>(n - 1), 2);
      bytes_.push_back(bytes[i]);
      i += n;
      continue;
    }
    // A literal stretch up to the next long run.
    std::size_t end = i;
    while (end < bytes.size()) {
      std::size_t r = 1;
      while (end + r < bytes.size() && bytes[end + r] == bytes[end] && r < kMinRun) ++r;
      if (r >= kMinRun) break;
      end += r;
    }
    if (end == bytes.size()) {
      bytes_.push_back(kPieceLiteralRest);
      bytes_.insert(bytes_.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i), bytes.end());
      return;
    }
    const std::size_t n = std::min(end - i, kMaxPiece);
    bytes_.push_back(kPieceLiteralRun);
    Le(static_cast<uint32_t>(n - 1), 2);
    bytes_.insert(bytes_.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i),
                  bytes.begin() + static_cast<std::ptrdiff_t>(i + n));
    i += n;
  }
}

ScriptWriter& ScriptWriter::Read(uint32_t asked, std::span<const uint8_t> bytes) {
  if (bytes.size() >= asked) {
    bytes_.push_back(0x00);
    Pieces(bytes.first(asked));
  } else if (bytes.empty()) {
    bytes_.push_back(kReadShortFirst);
  } else {
    bytes_.push_back(kCountForm);
    Le(static_cast<uint32_t>(bytes.size()), 3);
    Pieces(bytes);
  }
  return *this;
}

ScriptWriter& ScriptWriter::ReadWithExtra(std::span<const uint8_t> bytes, uint32_t extra,
                                          uint8_t fill) {
  extra = std::clamp<uint32_t>(extra, 1, 64);
  bytes_.push_back(static_cast<uint8_t>(kReadExtraFirst - 1u + extra));
  std::vector<uint8_t> all(bytes.begin(), bytes.end());
  all.insert(all.end(), extra, fill);
  Pieces(all);
  return *this;
}

ScriptWriter& ScriptWriter::QueueCount(uint32_t value) {
  if (value == 0) return Ok();  // an empty queue reported honestly
  bytes_.push_back(kCountForm);
  Le(value, 4);
  return *this;
}

ScriptWriter& ScriptWriter::QueueArrival(uint32_t n, uint8_t fill) {
  bytes_.push_back(kQueueCountFirst);
  Le(n, 3);
  if (n > 0) {
    bytes_.push_back(kPieceFillRest);
    bytes_.push_back(fill);
  }
  return *this;
}

}  // namespace bf::sim
