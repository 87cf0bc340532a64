#include "flash/PackedReadout.h"

#include <algorithm>
#include <vector>

#include "flash/CameraKind.h"
#include "flash/CopyState.h"
#include "flash/FlashAddress.h"
#include "flash/FlashReply.h"
#include "frames/FrameHeader.h"

namespace bf {

namespace {

constexpr uint32_t kBlockBytes = kPackedBlockPages * kPageSize;  // 131,072
constexpr uint32_t kChunkBytes = 256 * kPageSize + 1;            // 524,289
constexpr uint32_t kChunkSpan = 0x100'0000;                      // 256 pages, packed

// The copy loop; true when it reached the end of the range.
bool CopyPackedRange(CopyState& state, uint32_t cur, uint32_t rangeEnd, bool wrapped,
                     uint32_t secondPartEnd) {
  FTD2xx& link = state.Link();
  const CameraKind& kind = KindOf(CAMERA_PACKED_PAGES);
  std::vector<uint8_t> buffer(kChunkBytes);
  bool inSecondPart = false;
  while (state.doneBytes.load() < state.totalBytes.load() && state.running.load() != 0) {
    const uint32_t t0 = state.ticks.TickCount();
    uint32_t chunkEnd = 0;
    uint32_t length = 0;
    bool tail = false;
    if (state.totalBytes - state.doneBytes >= kChunkBytes && rangeEnd - cur >= kChunkSpan) {
      chunkEnd = cur + kChunkSpan;
      length = kChunkBytes;
    } else {
      length = std::min(PackedToLinear(PackedDifference(rangeEnd, cur)), kChunkBytes);
      chunkEnd = PackedPrevious(rangeEnd);
      tail = true;
    }
    // Only a whole chunk goes on: after a short or overlong one every later byte would be
    // written at the wrong address.
    state.ReadRequestedChunk(link, std::span(buffer.data(), length),
                             [&] { SendReadRequest(link, kind, cur, chunkEnd); });
    state.doneBytes.fetch_add(length);
    state.HandChunkToFile(*state.output, std::span(buffer.data(), length));
    state.CountChunk(cur, length, length, 0);
    bool reachedEnd = false;
    if (wrapped && !inSecondPart && chunkEnd >= kPackedLastByte) {
      // From the last byte of the flash on at address 0, up to the block after the pointer's.
      rangeEnd = secondPartEnd;
      cur = 0;
      inSecondPart = true;
      reachedEnd = secondPartEnd == 0;
    } else {
      cur = PackedStep(chunkEnd, 1);
      // The range end has been asked for: nothing past it is ever requested.
      reachedEnd = tail;
    }
    state.elapsedMs.fetch_add(state.ticks.TickCount() - t0);
    state.requests.TakeRequests();
    if (reachedEnd) return true;
  }
  return state.doneBytes.load() >= state.totalBytes.load();
}

}  // namespace

std::optional<uint32_t> FindFirstFrameInBlock(FTD2xx& link, uint32_t blockStart,
                                              const std::atomic<int>* stop) {
  const uint32_t windowEnd = PackedAdvance(blockStart, kBlockBytes - 1);
  SendReadRequest(link, KindOf(CAMERA_PACKED_PAGES), blockStart, windowEnd);
  std::vector<uint8_t> window(kBlockBytes);
  // A window cut short or overlong would put the frame found at the wrong address.
  if (ReadFlashBytes(link, window, stop) < kBlockBytes) {
    if (stop != nullptr && stop->load() != 0) throw CopyStopped();
    throw FlashReplyError();
  }
  for (uint32_t i = 0; i + kFrameHeaderSize <= kBlockBytes; ++i) {
    if (IsFrameHeader(window.data() + i)) return PackedAdvance(blockStart, i);
  }
  return std::nullopt;
}

void SavePackedFlash(CopyState& state) {
  try {
    const auto pointer = QueryFlashPointer(state);
    if (!pointer) return;
    const auto path = state.ChooseCopyFile();
    if (!path) {
      state.Close(kCopyResultCancel, CopyOutcome::Declined);
      return;
    }
    state.output = state.OpenOutput(*path);
    if (!state.output) {
      state.Close(kCopyResultOk, CopyOutcome::Failed);
      return;
    }
    state.elapsedMs = 0;
    state.doneBytes = 0;
    state.totalBytes = 0;
    const bool wrapped = IsWrapped(pointer->wrapFlag);
    uint32_t cur = 0;
    uint32_t rangeEnd = pointer->pointer;
    uint32_t start = 0;
    if (!wrapped) {
      state.totalBytes = PackedToLinear(pointer->pointer);
    } else {
      start = NextPackedBlock(pointer->pointer);
      const auto first = FindFirstFrameInBlock(state.Link(), start, &state.stopAtOnce);
      if (!first) {
        state.prompts.ShowMessage(kNoFrameAfterPointerText, "", MessageIcon::Error);
        state.Close(kCopyResultOk, CopyOutcome::NoFrame);
        return;
      }
      cur = *first;
      rangeEnd = kPackedFlashEnd;
      state.totalBytes =
          (PackedToLinear(PackedDifference(kPackedLastByte, cur)) + 1) + PackedToLinear(start);
    }
    state.StartTicks(CopyClock::TransferTime);
    state.outcome = CopyOutcome::Running;
    const bool reached = CopyPackedRange(state, cur, rangeEnd, wrapped, start);
    state.FinishWrites(*state.output);
    state.Close(kCopyResultOk, reached ? CopyOutcome::Completed : CopyOutcome::Cancelled);
  } catch (...) {
    state.ReportCurrentFailure();
    state.Close(kCopyResultOk, CopyOutcome::Failed);
  }
}

}  // namespace bf
