#include "flash/SectorReader.h"

#include <vector>

#include "flash/CameraKind.h"
#include "flash/CopyState.h"
#include "flash/FlashAddress.h"
#include "flash/SectorReadout.h"

namespace bf {

namespace {

constexpr uint32_t kChunkSectors = 124;

}  // namespace

SectorReader::SectorReader(CopyState& state, FTD2xx& link, std::unique_ptr<CopyOutput> output,
                           uint32_t firstSector, uint32_t endSector)
    : state_(state),
      link_(&link),
      output_(std::move(output)),
      first_(firstSector),
      end_(endSector),
      thread_([this] { Run(); }) {}

SectorReader::~SectorReader() {
  Join();
}

void SectorReader::Join() {
  if (thread_.joinable()) thread_.join();
}

void SectorReader::Run() {
  try {
    CopyZones();
    state_.FinishWrites(*output_);
  } catch (...) {
    failure_ = std::current_exception();
    // A chunk still on its way to the file is settled here, on this thread.
    state_.SettleWrites(*output_);
  }
  // The last thing this thread does with the session: the GUI thread takes over from here.
  state_.Post([](CopyState& s) { FinishSectorCopy(s); });
}

void SectorReader::CopyZones() {
  FTD2xx& link = *link_;
  uint32_t b = first_;
  const uint32_t end = end_;
  uint32_t ze = GetZoneBounds(b).end;
  while (state_.doneBytes.load() < state_.totalBytes.load() && state_.running.load() != 0) {
    const uint32_t stop = (b <= end && end <= ze) ? end : ze;
    const uint32_t target = state_.doneBytes.load() + (stop - b) * kSectorSize;
    while (state_.doneBytes.load() < target && state_.running.load() != 0) {
      const uint32_t next = b + kChunkSectors <= stop ? b + kChunkSectors : stop;
      const uint32_t length = (next - b) * kSectorSize;
      std::vector<uint8_t> chunk(length);
      // A chunk that came short or overlong ends the copy here, before it reaches the file:
      // its bytes, and every later one, would stand at the wrong sectors.
      state_.ReadRequestedChunk(link, chunk, [&] { RequestFlashRange(link, b, next); });
      state_.HandChunkToFile(*output_, chunk);
      state_.doneBytes.fetch_add(length);
      state_.CountChunk(b, length, length, 0);
      b = next;
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

}  // namespace bf
