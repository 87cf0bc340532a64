#include "flash/NandReadout.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "flash/CameraKind.h"
#include "flash/CopyState.h"
#include "flash/FlashAddress.h"
#include "flash/FlashReply.h"
#include "frames/FrameHeader.h"

namespace bf {

namespace {

constexpr uint32_t kWindowBytes = 65'535;
constexpr uint32_t kChunkBytes = 524'289;
constexpr uint32_t kSectorLastOffset = kNandSectorBytes - 1;

std::vector<uint8_t> ReadWindow(FTD2xx& link, uint32_t first, uint32_t length,
                                const std::atomic<int>* stop) {
  SendReadRequest(link, KindOf(CAMERA_NAND_PAGES), first, first + length - 1);
  std::vector<uint8_t> window(length);
  try {
    if (ReadFlashBytes(link, window, stop) < length) {
      if (stop != nullptr && stop->load() != 0) throw CopyStopped();
      throw FlashReadError();
    }
  } catch (const FlashReplyError&) {
    throw FlashReadError();  // bytes beyond the window: this search's own read error
  }
  return window;
}

}  // namespace

bool FindFrameHeader(FTD2xx& link, uint32_t& address, uint8_t* header,
                     const std::atomic<int>* stop) {
  const std::vector<uint8_t> window = ReadWindow(link, address, kWindowBytes, stop);
  for (uint32_t i = 0; i + kFrameHeaderSize <= kWindowBytes; ++i) {
    if (IsFrameHeader(window.data() + i)) {
      address += i;
      if (header != nullptr) std::memcpy(header, window.data() + i, kFrameHeaderSize);
      return true;
    }
  }
  return false;
}

bool FindJpegEnd(FTD2xx& link, uint32_t& address, const std::atomic<int>* stop) {
  const uint32_t start = address >= kWindowBytes - 1 ? address - (kWindowBytes - 1) : 0;
  const std::vector<uint8_t> window = ReadWindow(link, start, address - start + 1, stop);
  for (std::size_t i = window.size() - 1; i >= 1; --i) {
    if (window[i - 1] == 0xFF && window[i] == 0xD9) {
      address = start + static_cast<uint32_t>(i);
      return true;
    }
  }
  return false;
}

bool CopyNandRange(CopyState& state, uint32_t first, uint32_t last, CopyOutput& file,
                   uint32_t fileIndex) {
  FTD2xx& link = state.Link();
  const CameraKind& kind = KindOf(CAMERA_NAND_PAGES);
  const uint32_t count = last - first + 1;
  uint32_t copied = 0;
  uint64_t cur = first;
  std::vector<uint8_t> buffer(kChunkBytes);
  while (copied < count && state.running.load() != 0) {
    const uint32_t t0 = state.ticks.TickCount();
    // Never past last.
    const auto length =
        static_cast<uint32_t>(std::min<uint64_t>({count - copied, kChunkBytes, last - cur + 1}));
    const auto chunkEnd = static_cast<uint32_t>(cur + length - 1);
    // Only a whole chunk goes on: after a short or overlong one every later byte would be
    // written at the wrong address.
    state.ReadRequestedChunk(link, std::span(buffer.data(), length), [&] {
      SendReadRequest(link, kind, static_cast<uint32_t>(cur), chunkEnd);
    });
    state.doneBytes.fetch_add(length);
    copied += length;
    state.HandChunkToFile(file, std::span(buffer.data(), length));
    state.CountChunk(static_cast<uint32_t>(cur), length, length, fileIndex);
    cur = uint64_t{chunkEnd} + 1;
    state.elapsedMs.fetch_add(state.ticks.TickCount() - t0);
    state.requests.TakeRequests();
    if (cur > last) break;
  }
  state.FinishWrites(file);
  return copied >= count;
}

std::optional<FrameHeader> nand::LookUpSectorHeader(CopyState& state, uint8_t sector) {
  if (state.callbackFailure) return std::nullopt;
  try {
    uint32_t address = NandSectorStart(sector);
    FrameHeader header;
    if (!FindFrameHeader(state.Link(), address, header.bytes.data(), &state.stopAtOnce)) {
      return std::nullopt;
    }
    return header;
  } catch (...) {
    // Nothing may unwind through the chooser's dialog; the flow reports it when it returns.
    state.callbackFailure = std::current_exception();
    state.rangeChooser.Abandon();
    return std::nullopt;
  }
}

void SaveNandFlash(CopyState& state) {
  // The copy phase has its own handling below; everything before it ends here on a failure.
  std::optional<FlashPointerReply> pointer;
  uint8_t startSector = 0;
  uint8_t endSector = 0;
  std::string path;
  uint32_t start = 0;
  uint32_t end = 0;
  try {
    pointer = QueryFlashPointer(state);
    if (!pointer) return;
    const uint8_t pointerSector = NandSectorOf(pointer->pointer);
    std::optional<SectorRange> chosenRange;
    if (state.plan && state.plan->range) {
      // Repeating a record's copy: its range, not the person's choice.
      chosenRange = SectorRange{state.plan->range->first, state.plan->range->second};
    } else {
      chosenRange = state.rangeChooser.ChooseRange(
          pointerSector, IsWrapped(pointer->wrapFlag),
          [&state](uint8_t sector) { return nand::LookUpSectorHeader(state, sector); });
    }
    if (state.callbackFailure) std::rethrow_exception(state.callbackFailure);
    if (!chosenRange) {
      state.Close(kCopyResultCancel, CopyOutcome::Declined);
      return;
    }
    startSector = chosenRange->first;
    endSector = chosenRange->last;
    state.rangeAsked = {startSector, endSector};
    const auto chosen = state.ChooseCopyFile();
    if (!chosen) {
      state.Close(kCopyResultCancel, CopyOutcome::Declined);
      return;
    }
    path = *chosen;
    state.output = state.OpenOutput(path);
    if (!state.output) {
      state.Close(kCopyResultOk, CopyOutcome::Failed);
      return;
    }
    start = NandSectorStart(startSector);
    if (!FindFrameHeader(state.Link(), start, nullptr, &state.stopAtOnce)) {
      state.prompts.ShowMessage(kNoStartHeaderText, "", MessageIcon::None);
      state.Close(kCopyResultCancel, CopyOutcome::NoFrame);
      return;
    }
    if (endSector == pointerSector && !IsWrapped(pointer->wrapFlag)) {
      end = pointer->pointer;  // the byte at the pointer is the last one copied
    } else {
      end = NandSectorStart(endSector) + kSectorLastOffset;
      if (!FindJpegEnd(state.Link(), end, &state.stopAtOnce)) {
        state.prompts.ShowMessage(kNoEndTrailerText, "", MessageIcon::None);
        state.Close(kCopyResultCancel, CopyOutcome::NoFrame);
        return;
      }
    }
    state.elapsedMs = 0;
    state.StartTicks(CopyClock::TransferTime);
    state.doneBytes = 0;
  } catch (...) {
    state.ReportCurrentFailure();
    state.Close(kCopyResultOk, CopyOutcome::Failed);
    return;
  }

  state.outcome = CopyOutcome::Running;
  CopyOutcome outcome = CopyOutcome::Completed;
  std::unique_ptr<CopyOutput> second;  // kept out here: a failure still keeps what it holds
  try {
    bool reached = false;
    if (start <= end) {
      state.totalBytes = end - start + 1;
      reached = CopyNandRange(state, start, end, *state.output, 0);
    } else {
      state.totalBytes = end - start + (kNandFlashBytes + 1);
      reached = CopyNandRange(state, start, kNandLastByte, *state.output, 0);
      second = state.OpenOutput(SecondFileName(path));
      if (!second) {
        outcome = CopyOutcome::Failed;
      } else {
        reached = CopyNandRange(state, 0, end, *second, 1) && reached;
      }
    }
    if (outcome != CopyOutcome::Failed && !reached) outcome = CopyOutcome::Cancelled;
  } catch (...) {
    state.ReportCurrentFailure();
    outcome = CopyOutcome::Failed;
  }
  if (!state.CommitOutput(std::move(second), outcome == CopyOutcome::Completed)) {
    outcome = CopyOutcome::Failed;
  }
  state.Close(kCopyResultOk, outcome);
}

}  // namespace bf
