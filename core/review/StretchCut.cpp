#include "review/StretchCut.h"

#include "host/ReplacingFileWriter.h"

namespace bf {
namespace {

constexpr std::size_t kSector = 512;
constexpr std::size_t kMinErasedTail = 16;

bool AtOrAfter(const FrameIndexEntry& e, std::size_t i, const StretchBound& from) {
  return from.isFrame ? i >= from.frame
                      : static_cast<UtcSeconds>(e.header.Timestamp()) >= from.time;
}

bool AtOrBefore(const FrameIndexEntry& e, std::size_t i, const StretchBound& to) {
  return to.isFrame ? i <= to.frame : static_cast<UtcSeconds>(e.header.Timestamp()) <= to.time;
}

}  // namespace

std::vector<std::size_t> FramesInStretch(std::span<const FrameIndexEntry> index,
                                         const StretchBound& from, const StretchBound& to) {
  std::vector<std::size_t> frames;
  for (std::size_t i = 0; i < index.size(); ++i) {
    if (AtOrAfter(index[i], i, from) && AtOrBefore(index[i], i, to)) frames.push_back(i);
  }
  return frames;
}

StretchWriteOutcome WriteStretch(const Recording& recording, std::span<const std::size_t> frames,
                                 const std::string& output) {
  StretchWriteOutcome outcome;
  ReplacingFileWriter file;
  if ((outcome.error = file.Open(output)) != 0) return outcome;
  const FrameIndex& index = recording.Index();
  std::vector<uint8_t> payload;
  for (std::size_t i : frames) {
    if (i >= index.size() || !recording.ReadPayload(i, payload)) {
      file.Abandon();
      outcome.unreadableFrame = i;
      return outcome;
    }
    if (file.Write(index[i].header.bytes) != 0 || file.Write(payload) != 0) {
      outcome.error = file.Error();
      return outcome;
    }
  }
  std::size_t tail = kSector - static_cast<std::size_t>(file.BytesWritten() % kSector);
  if (tail < kMinErasedTail) tail += kSector;
  const std::vector<uint8_t> erased(tail, 0xFF);
  if (file.Write(erased) != 0) {
    outcome.error = file.Error();
    return outcome;
  }
  if ((outcome.error = file.Commit()) != 0) return outcome;
  if (!frames.empty()) {
    const std::size_t last = frames.back();
    outcome.lastIncomplete = recording.PayloadSize(last) < PayloadLength(index[last].header);
  }
  return outcome;
}

}  // namespace bf
