// The scripted device: what a script makes each call answer, that no read brings more than
// its count, that a used-up script ends as silence and then as a dead device, that waiting costs
// only virtual time, and that a session recorded from the simulated camera plays back the same.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "SimRig.h"
#include "flash/FlashAddress.h"
#include "fuzz/CameraRepliesFlows.h"
#include "link/BackendRegistry.h"
#include "link/FTDException.h"
#include "sim/AllDrivers.h"
#include "sim/FrameMaker.h"
#include "sim/ScriptRecorder.h"
#include "sim/ScriptedBackend.h"
#include "sim/VirtualClock.h"
#include "support/TempFolder.h"

namespace bf::sim {
namespace {

using Bytes = std::vector<uint8_t>;

// The real link over a scripted device, opened (the script's first two calls).
struct ScriptRig {
  explicit ScriptRig(const Bytes& afterOpen,
                     ScriptedBackend::WhenExhausted end = ScriptedBackend::WhenExhausted::Failing,
                     uint32_t silentCalls = ScriptedBackend::kDefaultSilentCalls)
      : backend(std::make_shared<ScriptedBackend>(WithOpen(afterOpen), clock, end, silentCalls)),
        link(backend, clock) {
    link.Open(0);
  }
  static Bytes WithOpen(const Bytes& rest) {
    Bytes script = {0x00, 0x00};  // Open, SetTimeouts
    script.insert(script.end(), rest.begin(), rest.end());
    return script;
  }
  Bytes ReadOnce(uint32_t count) {
    Bytes buffer(count);
    buffer.resize(link.Read(buffer.data(), count));
    return buffer;
  }

  VirtualClock clock;
  std::shared_ptr<ScriptedBackend> backend;
  FTDClass link;
};

TEST(ScriptedBackend, ReadsDeliverAtMostTheirCountAndKeepTheRestQueued) {
  // A complete reply, one with 3 bytes to spare, one cut to half, and an explicit count that
  // brings more than asked.
  Bytes script = {0x00, 0x00, 'a', 'b', 'c', 'd'};                 // 4 of 4
  script.insert(script.end(), {0x82, 0x00, 1, 2, 3, 4, 5, 6, 7});  // 4 asked, 3 more queued
  script.push_back(0x00);                                     // the queue count: nothing arrives
  script.insert(script.end(), {0x60, 0x01, 0x33});            // 3 queued + half of the 5 missing
  script.insert(script.end(), {0xC0, 20, 0, 0, 0x01, 0x44});  // 20 arrive for a read of 8
  ScriptRig rig(script, ScriptedBackend::WhenExhausted::SilentThenFailing);

  EXPECT_EQ(rig.ReadOnce(4), (Bytes{'a', 'b', 'c', 'd'}));
  EXPECT_EQ(rig.ReadOnce(4), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(rig.backend->Queued(), 3u);
  EXPECT_EQ(rig.link.GetQueueStatus(), 3u) << "the queue count is honest";
  EXPECT_EQ(rig.ReadOnce(8), (Bytes{5, 6, 7, 0x33, 0x33}));
  Bytes guarded(8 + 16, 0xEE);
  EXPECT_EQ(rig.link.Read(guarded.data(), 8), 8u);
  EXPECT_EQ(Bytes(guarded.begin(), guarded.begin() + 8), Bytes(8, 0x44));
  EXPECT_EQ(Bytes(guarded.begin() + 8, guarded.end()), Bytes(16, 0xEE))
      << "a reply longer than the read spilled past its count";
  EXPECT_EQ(rig.backend->Queued(), 12u);
  EXPECT_EQ(rig.ReadOnce(100).size(), 12u) << "the next read sees the bytes to spare";
}

TEST(ScriptedBackend, QueueStatusesReportArrivalsOrTheScriptedValue) {
  ScriptRig rig({0x05, 0x01, 0x77, 0xC0, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00});
  EXPECT_EQ(rig.link.GetQueueStatus(), 5u);
  EXPECT_EQ(rig.link.GetQueueStatus(), 0x12345678u) << "the reported form, nothing arrives";
  EXPECT_EQ(rig.backend->Queued(), 5u);
  uint32_t rx = 9, tx = 9, events = 9;
  rig.link.GetStatus(&rx, &tx, &events);
  EXPECT_EQ(rx, 5u);
  EXPECT_EQ(tx, 0u);
  EXPECT_EQ(events, 0u);
  EXPECT_EQ(rig.ReadOnce(5), Bytes(5, 0x77)) << "a read the queue covers takes no arrival";
}

TEST(ScriptedBackend, PiecesDescribeTheArrivingBytes) {
  Bytes script = {0x00};                                  // a complete read of 12
  script.insert(script.end(), {0x02, 0x02, 0x00, 0xAA});  // run of 3
  script.insert(script.end(), {0x03, 0x01, 0x00, 1, 2});  // 2 literal bytes
  script.insert(script.end(), {0x04, 0x02, 7, 8});        // the rest repeats 7 8
  script.insert(script.end(), {0x00, 0x00, 'x', 'y'});    // read of 5: literal rest, cut short
  ScriptRig rig(script);
  EXPECT_EQ(rig.ReadOnce(12), (Bytes{0xAA, 0xAA, 0xAA, 1, 2, 7, 8, 7, 8, 7, 8, 7}));
  const uint64_t before = rig.clock.NowMs();
  EXPECT_EQ(rig.ReadOnce(5), (Bytes{'x', 'y'})) << "the script ended inside the arrival";
  EXPECT_EQ(rig.clock.NowMs() - before, 200u) << "a short read waits out the read timeout";
}

TEST(ScriptedBackend, ControlBytesFailCallsWithTheirStatus) {
  ScriptRig rig({0xE3, 0xF0, 0xFF, 0xC2, 0x00});
  Bytes buffer(4);
  try {
    rig.link.Read(buffer.data(), 4);
    FAIL() << "a failing read must throw";
  } catch (const FTDException& e) {
    EXPECT_EQ(e.GetCode(), 4u);
  }
  try {
    rig.link.WriteByte(CMD_GET_STATUS);
    FAIL() << "a failing write must throw";
  } catch (const FTDException& e) {
    EXPECT_EQ(e.GetCode(), 17u);
    EXPECT_STREQ(e.GetText(), "Другая ошибка");
  }
  try {
    rig.link.Purge(kPurgeRx);
    FAIL();
  } catch (const FTDException& e) {
    EXPECT_EQ(e.GetCode(), 32u);
    EXPECT_STREQ(e.GetText(), "") << "a status above 17 has no text";
  }
  const uint8_t four[4] = {1, 2, 3, 4};
  EXPECT_EQ(rig.link.Write(four, 4), 2u) << "a short write";
  EXPECT_EQ(rig.link.Write(four, 4), 4u);
  EXPECT_EQ(rig.backend->Written(), (Bytes{1, 2, 1, 2, 3, 4}));
}

TEST(ScriptedBackend, AUsedUpScriptIsSilenceOnTheVirtualClockThenADeadDevice) {
  ScriptRig rig({}, ScriptedBackend::WhenExhausted::SilentThenFailing, 4);
  const uint64_t before = rig.clock.NowMs();
  Bytes big(65536);
  EXPECT_EQ(rig.link.ReadWithTimeout(big.data(), 65536), 0u);
  EXPECT_GE(rig.clock.NowMs() - before, 200u) << "silence is waited out on the virtual clock";
  EXPECT_EQ(rig.link.WriteByte(CMD_GET_STATUS), 1u);
  EXPECT_EQ(rig.link.GetQueueStatus(), 0u);
  EXPECT_THROW(rig.link.GetQueueStatus(), FTDException);
  EXPECT_EQ(rig.link.GetStatusCode(), 4u);
  EXPECT_EQ(rig.backend->DeadCalls(), 1u);
  rig.link.Close();
  try {
    rig.link.Open(0);
    FAIL();
  } catch (const FTDException& e) {
    EXPECT_EQ(e.GetCode(), 2u) << "a dead device is not found";
  }

  ScriptRig failing({});
  EXPECT_THROW(failing.ReadOnce(1), FTDException) << "Failing: dead as soon as the script ends";
}

TEST(ScriptedBackend, ArrivalsStopAtTheirBudget) {
  // Every read asks for 1 MiB and the script fills it; the device runs dry at the budget.
  Bytes fills;
  for (int i = 0; i < 20; ++i) fills.insert(fills.end(), {0x00, 0x01, 0x55});
  ScriptRig rig(fills);
  uint64_t total = 0;
  Bytes buffer(1u << 20);
  for (int i = 0; i < 20; ++i) total += rig.link.Read(buffer.data(), 1u << 20);
  EXPECT_EQ(total, ScriptedBackend::kMaxArrivalBytes);
}

TEST(ScriptedBackend, TheScriptDriverPlaysAFile) {
  // A folder of the test's own: a fixed name in the shared temporary folder would be one file
  // for every test run on the machine at once.
  const test::TempFolder folder("bf-script-driver");
  const auto path = folder.Path() / "driver.script";
  {
    std::ofstream out(path, std::ios::binary);
    const Bytes script = {0x00, 0x00, 0x00, 0x01, 0x2A};  // open, timeouts, a read of 0x2A
    out.write(reinterpret_cast<const char*>(script.data()), static_cast<long>(script.size()));
  }
  VirtualClock clock;
  std::string error;
  std::shared_ptr<D2xxBackend> backend =
      CreateBackend("script:" + path.string(), AllDrivers(), clock, &error);
  ASSERT_TRUE(backend) << error;
  FTDClass link(backend, clock);
  link.Open(0);
  uint8_t answer[3] = {};
  EXPECT_EQ(link.Read(answer, 3), 3u);
  EXPECT_EQ(answer[2], 0x2A);
  std::filesystem::remove(path);
  EXPECT_FALSE(CreateBackend("script:" + path.string(), AllDrivers(), clock, &error));
  EXPECT_NE(error.find("script"), std::string::npos);
}

// A flow run against the simulated camera, recorded, and played back from the script alone.
struct RoundTrip {
  fuzz::FlowResult recorded;
  fuzz::FlowResult replayed;
  uint64_t replayDeadCalls = 0;
};

RoundTrip RecordAndReplay(const fuzz::FlowSetup& setup, const SimOptions& options,
                          const std::function<void(SimCamera&)>& prepare) {
  RoundTrip trip;
  Bytes script;
  {
    VirtualClock clock;
    auto camera = std::make_shared<SimCamera>(options, clock);
    if (prepare) prepare(*camera);
    auto recorder = std::make_shared<ScriptRecorder>(camera);
    {
      FTDClass link(recorder, clock);
      trip.recorded = fuzz::RunFlow(setup, link, clock);
    }
    script = recorder->Script();
  }
  VirtualClock clock;
  auto backend = std::make_shared<ScriptedBackend>(script, clock);
  {
    FTDClass link(backend, clock);
    trip.replayed = fuzz::RunFlow(setup, link, clock);
  }
  trip.replayDeadCalls = backend->DeadCalls();
  return trip;
}

uint64_t WriteSmallRecords(SimCamera& camera, uint64_t address, int n) {
  auto& flash = camera.Model().Flash();
  Bytes payload(300, 0x5A);
  payload[298] = 0xFF;
  payload[299] = 0xD9;
  for (int i = 0; i < n; ++i) {
    const auto record = MakeRecordFromPayload(payload, 1'245'000'000u + static_cast<uint32_t>(i),
                                              {}, flash.AlignsRecordsToSectors());
    flash.Store().Write(address, record.data(), record.size());
    address += record.size();
  }
  return address;
}

TEST(ScriptRecorder, ARecordedCopyOfEachTypePlaysBackToTheSameFile) {
  for (CameraType type : {CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES}) {
    SCOPED_TRACE(static_cast<int>(type));
    SimOptions options;
    options.type = type;
    const RoundTrip trip =
        RecordAndReplay({fuzz::Flow::Copy, 0, 0, 0}, options, [type](SimCamera& camera) {
          const uint64_t first =
              type == CAMERA_SECTORS ? uint64_t{kFirstDataSector} * kSectorSize : 0;
          const uint64_t end = WriteSmallRecords(camera, first, 5);
          camera.Model().Flash().SetWritePosition(end - first);
        });
    ASSERT_TRUE(trip.recorded.copy && trip.replayed.copy);
    EXPECT_EQ(trip.recorded.broken, "");
    EXPECT_EQ(trip.replayed.broken, "");
    EXPECT_TRUE(trip.recorded.copy->Complete());
    EXPECT_TRUE(trip.replayed.copy->Complete());
    EXPECT_GT(trip.recorded.copy->bytesReceived, 1000u);
    EXPECT_EQ(trip.replayed.copy->bytesReceived, trip.recorded.copy->bytesReceived);
    EXPECT_EQ(trip.replayed.copiedHash, trip.recorded.copiedHash);
    EXPECT_EQ(trip.replayDeadCalls, 0u) << "the replay asked for more than the session had";
  }
}

TEST(ScriptRecorder, RecordedHandshakeAndLiveViewPlayBackAlike) {
  SimOptions notReady;
  notReady.notReadyQueries = 2;
  const RoundTrip handshake = RecordAndReplay({fuzz::Flow::Handshake, 0, 0, 0}, notReady, {});
  EXPECT_EQ(handshake.recorded.messages, 0);
  EXPECT_EQ(handshake.replayed.messages, 0);
  EXPECT_EQ(handshake.replayed.broken, "");

  SimOptions live;
  live.frameRateIndex = 7;
  const RoundTrip view = RecordAndReplay({fuzz::Flow::Live, 0, 3, 0}, live, {});
  EXPECT_EQ(view.recorded.broken, "");
  EXPECT_EQ(view.replayed.broken, "");
  EXPECT_EQ(view.replayed.messages, 0);
  EXPECT_EQ(view.replayed.pumps, view.recorded.pumps);
  EXPECT_EQ(view.replayDeadCalls, 0u);
}

}  // namespace
}  // namespace bf::sim
