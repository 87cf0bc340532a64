#include "flash/SectorReadout.h"

#include <array>

#include "flash/CameraKind.h"
#include "flash/CopyState.h"
#include "flash/FlashAddress.h"
#include "flash/FlashReply.h"
#include "flash/SectorReader.h"
#include "frames/FrameHeader.h"

namespace bf {

std::optional<uint32_t> FindFirstFrameSector(FTD2xx& link, uint32_t sector) {
  for (int probe = 0; probe < 256; ++probe) {
    std::array<uint8_t, kSectorSize> buffer{};
    RequestFlashRange(link, sector, sector + 1);
    ReadReply(link, buffer);
    if (IsFrameHeader(buffer.data())) return sector;
    sector = NextDataSector(sector);
  }
  return std::nullopt;
}

void SaveSectorFlash(CopyState& state) {
  try {
    const auto pointer = QueryFlashPointer(state);
    if (!pointer) return;
    const auto path = state.ChooseCopyFile();
    if (!path) {
      state.Close(kCopyResultCancel, CopyOutcome::Declined);
      return;
    }
    // A file that cannot be created is reported now, before any copying starts.
    state.output = state.OpenOutput(*path);
    if (!state.output) {
      state.Close(kCopyResultCancel, CopyOutcome::Failed);
      return;
    }
    state.doneBytes = 0;
    state.totalBytes = 0;
    uint32_t first = kFirstDataSector;
    if (!IsWrapped(pointer->wrapFlag)) {
      state.totalBytes = CountDataSectors(kFirstDataSector, pointer->pointer) * kSectorSize;
    } else {
      // 512 sectors on may lie between two data areas, where no probe can find a frame: the
      // search then starts at the next area, as the copy goes on there.
      const auto found =
          FindFirstFrameSector(state.Link(), SkipZoneGap(pointer->pointer + kWrappedSearchOffset));
      if (!found) {
        state.prompts.ShowMessage(kNoFrameAfterPointerText, "", MessageIcon::Error);
        state.Close(kCopyResultCancel, CopyOutcome::NoFrame);
        return;
      }
      first = *found;
      state.totalBytes = CountDataSectors(first, pointer->pointer) * kSectorSize;
    }
    state.elapsedMs = 0;
    state.StartTimer(kSectorCopyTimerId);
    state.outcome = CopyOutcome::Running;
    // The link and the file go to the worker; FinishSectorCopy takes them back.
    FTD2xx& link = state.Link();
    state.link = nullptr;
    state.reader = std::make_unique<SectorReader>(state, link, std::move(state.output), first,
                                                  pointer->pointer);
  } catch (...) {
    state.ReportCurrentFailure();
    state.Close(kCopyResultCancel, CopyOutcome::Failed);
  }
}

void FinishSectorCopy(CopyState& state) {
  if (!state.reader) return;
  state.reader->Join();
  state.link = &state.reader->TakeLink();
  state.output = state.reader->TakeOutput();
  const std::exception_ptr failure = state.reader->Failure();
  state.reader.reset();
  CopyOutcome outcome = CopyOutcome::Completed;
  if (failure) {
    state.ReportFailure(failure);
    outcome = CopyOutcome::Failed;
  } else if (state.doneBytes.load() < state.totalBytes.load()) {
    outcome = CopyOutcome::Cancelled;
  }
  state.Close(kCopyResultCancel, outcome);
}

}  // namespace bf
