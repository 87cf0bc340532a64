#include "sim/Prefill.h"

#include <memory>
#include <vector>

#include "sim/Recordings.h"

namespace bf::sim {

namespace {

constexpr uint32_t kOldRecordingAgeSeconds = 30 * 86'400;

}  // namespace

void PrefillFlash(SimFlash& flash, const SimOptions& options, FrameMaker& maker) {
  if (options.prefillFrames == 0 && !options.prefillWrapped) return;
  RecordingPlan plan;
  plan.frames = options.prefillFrames;
  plan.recordings = options.prefillRecordings;
  plan.damaged = options.prefillDamaged;
  plan.sectorAligned = flash.AlignsRecordsToSectors();
  plan.firstTimestamp = options.clock - 7 * 86'400;
  plan.seed = options.seed;

  if (!options.prefillWrapped) {
    flash.SetWritePosition(0);
    WriteRecordings(plan, maker, [&](const uint8_t* p, std::size_t n) { flash.Append(p, n); });
    return;
  }
  std::vector<uint8_t> recorded;
  WriteRecordings(plan, maker, [&](const uint8_t* p, std::size_t n) {
    recorded.insert(recorded.end(), p, p + n);
  });
  auto tile = std::make_shared<RecordTile>(maker, plan.firstTimestamp - kOldRecordingAgeSeconds,
                                           plan.sectorAligned);
  SimFlash* target = &flash;
  flash.Store().SetBackdrop([tile, target](uint64_t address, uint8_t* dst, std::size_t n) {
    target->ForEachDataRun(address, dst, n, [&](uint64_t dataOffset, uint8_t* d, std::size_t m) {
      tile->Fill(dataOffset, d, m);
    });
  });
  // Start on a tile boundary, so the old frames lead seamlessly into the recordings, half of
  // them before the end of the data space and half after its start.
  const uint64_t size = flash.DataSize();
  const uint64_t half = recorded.size() / 2;
  const uint64_t start = half < size ? (size - half) / tile->Size() * tile->Size() : 0;
  flash.SetWritePosition(start);
  flash.Append(recorded.data(), recorded.size());
  flash.SetWrapped(true);
}

}  // namespace bf::sim
