// Writes the seed corpus of the camera_replies fuzz target: clean runs of every flow recorded
// from the simulated camera, and a few hand-made scripts for replies the simulated camera does
// not give. Usage: record_camera_replies FOLDER (tests/fuzz/corpus/camera_replies).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "flash/FlashAddress.h"
#include "frames/FrameHeader.h"
#include "fuzz/CameraRepliesFlows.h"
#include "host/TickSource.h"
#include "link/FTD2xx.h"
#include "sim/FrameMaker.h"
#include "sim/ScriptRecorder.h"
#include "sim/ScriptedBackend.h"
#include "sim/SimCamera.h"
#include "sim/VirtualClock.h"

namespace {

using bf::fuzz::Flow;
using bf::fuzz::FlowSetup;

std::filesystem::path g_folder;
int g_failures = 0;

void Save(const std::string& name, const FlowSetup& setup, const std::vector<uint8_t>& script) {
  std::vector<uint8_t> bytes = setup.Bytes();
  bytes.insert(bytes.end(), script.begin(), script.end());
  std::ofstream out(g_folder / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", name.c_str());
    ++g_failures;
    return;
  }
  std::printf("%-28s %7zu bytes\n", name.c_str(), bytes.size());
}

// Runs the flow against the simulated camera, records it, and saves it when it ran clean
// (showing only the messages expected).
void Record(const std::string& name, const FlowSetup& setup, const bf::sim::SimOptions& options,
            const std::function<void(bf::sim::SimCamera&)>& prepare = {}, int messages = 0) {
  bf::VirtualClock clock;
  auto camera = std::make_shared<bf::sim::SimCamera>(options, clock);
  if (prepare) prepare(*camera);
  auto recorder = std::make_shared<bf::sim::ScriptRecorder>(camera);
  bf::fuzz::FlowResult result;
  {
    bf::FTDClass link(recorder, clock);
    result = bf::fuzz::RunFlow(setup, link, clock);
  }
  if (!result.broken.empty() || result.messages != messages) {
    std::fprintf(stderr, "%s: not a clean run (%s, %d messages)\n", name.c_str(),
                 result.broken.c_str(), result.messages);
    ++g_failures;
    return;
  }
  Save(name, setup, recorder->Script());
}

// A frame record with a small made-up payload that ends in FF D9.
std::vector<uint8_t> SmallRecord(uint32_t timestamp, bool sectorAligned) {
  std::vector<uint8_t> payload(200);
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7 + 1);
  payload[payload.size() - 2] = 0xFF;
  payload[payload.size() - 1] = 0xD9;
  return bf::sim::MakeRecordFromPayload(payload, timestamp, {}, sectorAligned);
}

// Writes n small records from a physical address on; returns the address after them.
uint64_t WriteRecords(bf::sim::SimCamera& camera, uint64_t address, int n) {
  auto& flash = camera.Model().Flash();
  for (int i = 0; i < n; ++i) {
    const auto record =
        SmallRecord(1'245'000'000u + static_cast<uint32_t>(i), flash.AlignsRecordsToSectors());
    flash.Store().Write(address, record.data(), record.size());
    address += record.size();
  }
  return address;
}

bf::sim::SimOptions OfType(bf::CameraType type) {
  bf::sim::SimOptions options;
  options.type = type;
  return options;
}

void RecordedSeeds() {
  bf::sim::SimOptions camera;
  Record("handshake_clean", {Flow::Handshake, 0, 0, 0}, camera);
  bf::sim::SimOptions notReady;
  notReady.notReadyQueries = 2;
  Record("handshake_not_ready", {Flow::Handshake, 0, 0, 0}, notReady);
  bf::sim::SimOptions detector;
  detector.motionDetector = true;
  Record("handshake_detector_on", {Flow::Handshake, 1, 0, 0}, detector);

  bf::sim::SimOptions live;
  live.frameRateIndex = 7;
  live.compression = 0;
  live.monochrome = true;
  Record("live_two_pictures", {Flow::Live, 0, 2, 0}, live);
  bf::sim::SimOptions quiet;
  quiet.motionDetector = true;
  quiet.motionIntervalMs = 100'000;
  Record("live_detector_stop", {Flow::Live, 2, 0, 3}, quiet, [](bf::sim::SimCamera& c) {
    c.SetMute(true);  // the detector sees nothing: no frame, Stop ends the wait
  });

  Record("copy_sectors", {Flow::Copy, 0, 0, 0}, OfType(bf::CAMERA_SECTORS),
         [](bf::sim::SimCamera& c) {
           const uint64_t first = uint64_t{bf::kFirstDataSector} * bf::kSectorSize;
           const uint64_t end = WriteRecords(c, first, 3);
           c.Model().Flash().SetWritePosition(end - first);
         });
  Record("copy_sectors_empty", {Flow::Copy, 0, 0, 0}, OfType(bf::CAMERA_SECTORS), {}, 1);
  Record("copy_packed", {Flow::Copy, 0, 0, 0}, OfType(bf::CAMERA_PACKED_PAGES),
         [](bf::sim::SimCamera& c) {
           const uint64_t end = WriteRecords(c, 0, 12);
           c.Model().Flash().SetWritePosition(end);
         });
  Record("copy_packed_cancelled", {Flow::Copy, 0x10, 0, 0}, OfType(bf::CAMERA_PACKED_PAGES),
         [](bf::sim::SimCamera& c) {
           // Two chunks' worth, so that Cancel after the first one ends the copy.
           c.Model().Flash().SetWritePosition(600'000);
           WriteRecords(c, 0, 2);
         });
  Record("copy_nand", {Flow::Copy, 0, 0, 0}, OfType(bf::CAMERA_NAND_PAGES),
         [](bf::sim::SimCamera& c) {
           const uint64_t end = WriteRecords(c, 0, 4);
           c.Model().Flash().SetWritePosition(end);  // the pointer names the last byte written
         });
  Record("copy_nand_range_declined", {Flow::Copy, 4, 0, 0}, OfType(bf::CAMERA_NAND_PAGES),
         [](bf::sim::SimCamera& c) { c.Model().Flash().SetWritePosition(WriteRecords(c, 0, 2)); });
}

// Replies the simulated camera never gives.
void HandMadeSeeds() {
  using bf::sim::ScriptWriter;
  const auto header = SmallRecord(1'245'000'000u, false);
  const std::vector<uint8_t> status = [] {
    std::vector<uint8_t> s = {0xFF, 0xFE, 'J', 'P', 'E', 'G', 0, 0, 0, 0, 0, 0, 2, 0, 3, 0};
    return s;
  }();
  {
    // A status that comes in two reads' worth of bytes: 16 and 8 more queued behind it.
    ScriptWriter w;
    w.Ok().Ok().Ok().Ok().ReadWithExtra(status, 8, 0x00).Ok().Ok().Ok();
    Save("handshake_status_with_extra", {Flow::Handshake, 0, 0, 0}, w.Bytes());
  }
  {
    // Open, timeouts, reset, the query, then a status cut short and a failing stop.
    ScriptWriter w;
    w.Ok().Ok().Ok().Ok().Read(16, std::span(status).first(9)).Fail(4);
    Save("handshake_short_then_failure", {Flow::Handshake, 0, 0, 0}, w.Bytes());
  }
  {
    // Live: open, timeouts, start; a header followed by a payload that stops half way, then a
    // bad header with a queue count far beyond what comes.
    ScriptWriter w;
    w.Ok().Ok().Ok();
    w.Read(16, std::span(header).first(16));
    const auto payload = std::span(header).subspan(16);
    w.Read(static_cast<uint32_t>(payload.size()), payload.first(100)).Read(100, {}).Read(100, {});
    const std::vector<uint8_t> bad = {0xFF, 0xFE, 'j', 'p', 'e', 'g', 0, 0x20,
                                      0,    0,    0,   0,   0,   0,   0, 0};
    w.Read(16, bad).QueueCount(0x7FFF'FFFF).Read(0x7FFF'FFFF, {}).Read(0x7FFF'FFFF, {});
    Save("live_cut_payload_then_lying_queue", {Flow::Live, 0, 0, 0}, w.Bytes());
  }
  {
    // Copy: a camera type nobody knows.
    ScriptWriter w;
    w.Ok().Ok().Ok().Read(1, std::vector<uint8_t>{7});
    Save("copy_wrong_type", {Flow::Copy, 0, 0, 0}, w.Bytes());
  }
  {
    // Copy, type 1: a pointer far beyond the flash and a wrap flag, then silence.
    ScriptWriter w;
    w.Ok().Ok().Ok().Read(1, std::vector<uint8_t>{1}).Ok();
    w.Read(4, std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}).Ok().Read(1, std::vector<uint8_t>{1});
    Save("copy_packed_wild_pointer", {Flow::Copy, 0, 0, 0}, w.Bytes());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  g_folder = argv[1];
  std::filesystem::create_directories(g_folder);
  RecordedSeeds();
  HandMadeSeeds();
  return g_failures == 0 ? 0 : 1;
}
