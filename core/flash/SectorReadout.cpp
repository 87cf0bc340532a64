#include "flash/SectorReadout.h"

#include <array>
#include <span>
#include <vector>

#include "flash/CameraKind.h"
#include "flash/CopyState.h"
#include "flash/FlashAddress.h"
#include "flash/FlashReply.h"
#include "frames/FrameHeader.h"

namespace bf {

namespace {

constexpr uint32_t kChunkSectors = 124;

// The data sectors from `first` up to `end` (excluded), zone by zone, in requests of at most
// 124 sectors that never cross a zone's data area, while Running is set and DoneBytes is below
// TotalBytes.
void CopySectorZones(CopyState& state, uint32_t first, uint32_t end) {
  FTD2xx& link = state.Link();
  CopyOutput& output = *state.output;
  uint32_t b = first;
  uint32_t ze = GetZoneBounds(b).end;
  // One buffer for every chunk: the file takes its own copy of a chunk handed to it.
  std::vector<uint8_t> buffer(kChunkSectors * kSectorSize);
  while (state.doneBytes.load() < state.totalBytes.load() && state.running.load() != 0) {
    const uint32_t stop = (b <= end && end <= ze) ? end : ze;
    const uint32_t target = state.doneBytes.load() + (stop - b) * kSectorSize;
    while (state.doneBytes.load() < target && state.running.load() != 0) {
      const uint32_t next = b + kChunkSectors <= stop ? b + kChunkSectors : stop;
      const uint32_t length = (next - b) * kSectorSize;
      const std::span<uint8_t> chunk(buffer.data(), length);
      // A chunk that came short or overlong ends the copy here, before it reaches the file:
      // its bytes, and every later one, would stand at the wrong sectors.
      state.ReadRequestedChunk(link, chunk, [&] { RequestFlashRange(link, b, next); });
      state.HandChunkToFile(output, chunk);
      state.doneBytes.fetch_add(length);
      state.CountChunk(b, length, length, 0);
      b = next;
      state.requests.TakeRequests();
    }
    // On to the next zone's data area (from zone 7 back to zone 0).
    if (b <= kFirstDataSector + kZoneDataSectors) {
      b = kZoneSectors;
      ze = kZoneSectors + kZoneDataSectors;
    } else if (b >= 7 * kZoneSectors) {
      b = kFirstDataSector;
      ze = kFirstDataSector + kZoneDataSectors;
    } else {
      b = stop + (kZoneSectors - kZoneDataSectors);
      ze = b + kZoneDataSectors;
    }
  }
}

}  // namespace

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
    state.StartTicks(CopyClock::TickSeconds);
    state.outcome = CopyOutcome::Running;
    CopySectorZones(state, first, pointer->pointer);
    state.FinishWrites(*state.output);
  } catch (...) {
    state.ReportCurrentFailure();
    state.Close(kCopyResultCancel, CopyOutcome::Failed);
    return;
  }
  const bool reached = state.doneBytes.load() >= state.totalBytes.load();
  state.Close(kCopyResultCancel, reached ? CopyOutcome::Completed : CopyOutcome::Cancelled);
}

}  // namespace bf
