// Faults the simulated camera injects, and how it is selected and configured.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <memory>
#include <vector>

#include "SimRig.h"
#include "flash/CameraKind.h"
#include "flash/FlashAddress.h"
#include "link/BackendRegistry.h"
#include "link/FTDException.h"
#include "link/StatusHandshake.h"
#include "sim/AllDrivers.h"
#include "sim/VirtualClock.h"
#include "support/ScriptedPrompts.h"

namespace bf::test {
namespace {

uint32_t FailureCode(const std::function<void()>& action) {
  try {
    action();
  } catch (const FTDException& e) {
    return e.GetCode();
  }
  return 0;
}

TEST(SimFaults, FailCallFailsExactlyThatCallWithItsStatus) {
  sim::SimOptions o;
  o.failCall = 3;  // Open and SetTimeouts are calls 1 and 2
  o.failStatus = 10;
  SimRig rig(o);
  EXPECT_EQ(FailureCode([&] { rig.link.WriteByte(CMD_GET_CAMERA_TYPE); }), 10u);
  EXPECT_TRUE(rig.ReadOnce(8).empty()) << "the failed write must not reach the camera";
  EXPECT_EQ(rig.Ask(CMD_GET_CAMERA_TYPE).size(), 1u);

  rig.camera->FailCall(rig.camera->CallCount() + 2, ftstatus::kIoError);
  rig.link.WriteByte(CMD_GET_WRAP_FLAG);
  EXPECT_EQ(FailureCode([&] { rig.ReadOnce(1); }), ftstatus::kIoError);
  EXPECT_EQ(rig.ReadOnce(1).size(), 1u) << "the reply stays queued for the next read";
}

TEST(SimFaults, UnpluggedAfterNCallsEveryLaterCallFails) {
  sim::SimOptions o;
  o.unplugAfterCalls = 4;
  SimRig rig(o);
  EXPECT_EQ(rig.Ask(CMD_GET_CAMERA_TYPE).size(), 1u);  // calls 3 and 4
  EXPECT_EQ(FailureCode([&] { rig.link.WriteByte(CMD_GET_STATUS); }), ftstatus::kIoError);
  EXPECT_EQ(FailureCode([&] { rig.link.GetQueueStatus(); }), ftstatus::kIoError);
  rig.link.Close();
  EXPECT_EQ(FailureCode([&] { rig.link.Open(0); }), ftstatus::kDeviceNotFound);
  rig.camera->Replug();
  rig.link.Open(0);
  EXPECT_EQ(rig.Ask(CMD_GET_CAMERA_TYPE).size(), 1u);
}

TEST(SimFaults, UnpluggedAfterNBytesCutsTheTransferThere) {
  sim::SimOptions o;
  o.unplugAfterBytes = 10;  // one command byte written, then 9 of the 16 status bytes
  SimRig rig(o);
  EXPECT_EQ(rig.Ask(CMD_GET_STATUS).size(), 9u);
  EXPECT_EQ(FailureCode([&] { rig.ReadOnce(16); }), ftstatus::kIoError);
}

TEST(SimFaults, MutedCameraMakesTheHandshakeGiveUp) {
  sim::SimOptions o;
  o.mute = true;
  VirtualClock clock;
  auto camera = std::make_shared<sim::SimCamera>(o, clock);
  FTD2xx link(camera, clock);
  ScriptedPrompts prompts;
  EXPECT_FALSE(RunStatusHandshake(link, prompts, clock, [](const CameraStatus&) {}));
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Перезапустите камеру");

  camera->SetMute(false);
  SimRig rig;
  rig.camera->SetMute(true);
  rig.link.WriteByte(CMD_START_STREAM);
  EXPECT_TRUE(rig.Ask(CMD_GET_CAMERA_TYPE).empty());
  rig.clock.Advance(20'000);
  EXPECT_EQ(rig.Queued(), 0u);
}

TEST(SimFaults, DropShortensEveryReplyByItsLastBytes) {
  sim::SimOptions o;
  o.dropReplyBytes = 3;
  SimRig rig(o);
  EXPECT_EQ(rig.Ask(CMD_GET_STATUS).size(), 13u);
  EXPECT_EQ(rig.Ask(CMD_GET_CLOCK).size(), 1u);
  EXPECT_TRUE(rig.Ask(CMD_GET_CAMERA_TYPE).empty());
  RequestFlashRange(rig.link, 192, 194);
  EXPECT_EQ(rig.Drain().size(), 1021u);
}

TEST(SimFaults, GarbageComesBeforeTheChosenFrame) {
  sim::SimOptions o;
  o.frameRateIndex = 7;
  o.garbageBeforeFrame = 3;
  o.garbageBytes = 40;
  SimRig rig(o);
  rig.link.WriteByte(CMD_START_STREAM);
  EXPECT_TRUE(rig.ReadFrame().has_value());
  EXPECT_TRUE(rig.ReadFrame().has_value());
  EXPECT_FALSE(rig.ReadFrame().has_value());
  rig.link.WriteByte(CMD_STOP_STREAM);
  rig.Drain();

  rig.camera->InjectGarbage(5);
  EXPECT_EQ(rig.Queued(), 5u);
  const auto junk = rig.ReadOnce(16);
  EXPECT_EQ(junk.size(), 5u);
  EXPECT_EQ(std::count(junk.begin(), junk.end(), 0xFF), 0);
}

// The reply of CMD_GET_STATUS with the fault armed on the read that takes it.
std::vector<uint8_t> StatusUnder(SimRig& rig, sim::CallFault fault) {
  rig.link.WriteByte(CMD_GET_STATUS);
  rig.camera->ArmFault(rig.camera->CallCount() + 1, fault);
  return rig.ReadOnce(16);
}

TEST(SimFaults, ReadFaultsBendOneReadAndLeaveTheRestQueued) {
  SimRig clean;
  const auto reply = clean.Ask(CMD_GET_STATUS);
  ASSERT_EQ(reply.size(), 16u);
  {
    SimRig rig;
    const uint64_t start = rig.clock.NowMs();
    const auto half = StatusUnder(rig, sim::CallFault::TimeoutHalf);
    EXPECT_EQ(rig.clock.NowMs() - start, 200u) << "the read waits out its timeout";
    EXPECT_EQ(half, std::vector<uint8_t>(reply.begin(), reply.begin() + 8));
    EXPECT_EQ(rig.ReadOnce(16), std::vector<uint8_t>(reply.begin() + 8, reply.end()));
    EXPECT_EQ(rig.camera->FaultHitCall(), rig.camera->CallCount() - 1);
  }
  {
    SimRig rig;
    const uint64_t start = rig.clock.NowMs();
    EXPECT_EQ(StatusUnder(rig, sim::CallFault::ShortRead).size(), 15u);
    EXPECT_EQ(rig.clock.NowMs(), start) << "a short read comes at once";
    EXPECT_EQ(rig.ReadOnce(16), std::vector<uint8_t>{reply.back()});
  }
  {
    SimRig rig;
    EXPECT_EQ(StatusUnder(rig, sim::CallFault::ExtraBytes), reply);
    const auto extra = rig.ReadOnce(64);
    EXPECT_EQ(extra.size(), sim::kExtraReplyBytes);
    EXPECT_EQ(std::count(extra.begin(), extra.end(), 0xFF), 0);
  }
  {
    SimRig rig;
    const auto flipped = StatusUnder(rig, sim::CallFault::FlipBit);
    ASSERT_EQ(flipped.size(), 16u);
    int bits = 0;
    for (std::size_t i = 0; i < 16; ++i) bits += std::popcount(uint8_t(flipped[i] ^ reply[i]));
    EXPECT_EQ(bits, 1);
    EXPECT_EQ(rig.Ask(CMD_GET_STATUS), reply) << "only that one read";
  }
}

TEST(SimFaults, ReadFaultWaitsForTheFirstReadFromItsCall) {
  SimRig rig;
  rig.camera->ArmFault(rig.camera->CallCount() + 1, sim::CallFault::ShortRead);
  rig.link.WriteByte(CMD_GET_CLOCK);  // the write is call n: no read to bend
  EXPECT_EQ(rig.ReadOnce(4).size(), 3u);
}

TEST(SimFaults, SilenceLosesTheReplyUnderWayUntilAReplug) {
  SimRig rig;
  rig.link.WriteByte(CMD_GET_STATUS);
  rig.camera->ArmFault(rig.camera->CallCount() + 1, sim::CallFault::Silence);
  EXPECT_TRUE(rig.ReadOnce(16).empty());
  EXPECT_TRUE(rig.Ask(CMD_GET_CAMERA_TYPE).empty());
  rig.camera->Replug();
  rig.link.Open(0);
  EXPECT_EQ(rig.Ask(CMD_GET_STATUS).size(), 16u);
}

TEST(SimFaults, CallFaultsCountFromTheChosenCommand) {
  SimRig rig;
  rig.camera->ArmFaultAfterCommand(CMD_STOP_STREAM, 2, sim::CallFault::Fail);
  EXPECT_EQ(rig.Ask(CMD_GET_STATUS).size(), 16u) << "no stop command yet";
  rig.link.WriteByte(CMD_STOP_STREAM);
  EXPECT_EQ(rig.Queued(), 0u);  // call 1 after the stop
  EXPECT_EQ(FailureCode([&] { rig.Queued(); }), ftstatus::kIoError);
  EXPECT_EQ(rig.Queued(), 0u);

  rig.camera->ArmFault(rig.camera->CallCount() + 2, sim::CallFault::Unplug);
  rig.link.WriteByte(CMD_GET_STATUS);
  EXPECT_EQ(FailureCode([&] { rig.ReadOnce(16); }), ftstatus::kIoError);
  EXPECT_EQ(FailureCode([&] { rig.Queued(); }), ftstatus::kIoError);
  rig.camera->Replug();
  rig.link.Open(0);
  EXPECT_EQ(rig.Ask(CMD_GET_STATUS).size(), 16u) << "a replug disarms and empties the buffers";
}

TEST(SimFaults, SpeedLimitPacesDeliveryOnTheVirtualClock) {
  SimRig rig;
  rig.camera->SetBytesPerSecond(10'000);
  rig.clock.Advance(30'000);              // an idle link banks nothing for later
  RequestFlashRange(rig.link, 192, 200);  // 4096 bytes
  const uint64_t start = rig.clock.NowMs();
  // One read waits its 200 ms and gets what the link carried meanwhile.
  EXPECT_NEAR(static_cast<double>(rig.ReadOnce(4096).size()), 2000.0, 20.0);
  std::vector<uint8_t> rest(2096);
  EXPECT_EQ(rig.link.ReadWithTimeout(rest.data(), 2096), 2096u);
  EXPECT_NEAR(static_cast<double>(rig.clock.NowMs() - start), 410.0, 3.0);

  // The stream at maximum rate is limited by the link, not by the frame rate.
  rig.camera->SetBytesPerSecond(0);
  const uint8_t rate[2] = {CMD_SET_FRAME_RATE, 7};
  rig.link.WriteBuffer(rate, 2);
  rig.link.WriteByte(CMD_START_STREAM);
  const auto first = rig.ReadFrame();
  ASSERT_TRUE(first.has_value());
  rig.camera->SetBytesPerSecond(first->payload.size() + 16);  // one frame per second
  const uint64_t from = rig.clock.NowMs();
  uint64_t bytes = 0;
  while (rig.clock.NowMs() - from < 10'000) {
    auto f = rig.ReadFrame();
    ASSERT_TRUE(f.has_value());
    bytes += f->payload.size() + 16;
  }
  const double seconds = static_cast<double>(rig.clock.NowMs() - from) / 1000.0;
  EXPECT_NEAR(static_cast<double>(bytes) / seconds, static_cast<double>(first->payload.size() + 16),
              0.2 * static_cast<double>(first->payload.size() + 16));
}

// Time in microseconds that moves only when somebody sleeps: it shows to the microsecond what the
// link makes a request wait, which a clock of milliseconds would round.
class MicrosecondClock final : public TickSource {
 public:
  uint64_t NowMs() override { return us_.load() / 1000; }
  void SleepMs(uint32_t ms) override { us_ += uint64_t{ms} * 1000; }
  uint64_t NowUs() override { return us_.load(); }
  void SleepUs(uint64_t us) override { us_ += us; }

 private:
  std::atomic<uint64_t> us_{7'000'000'321};  // not on a millisecond
};

TEST(SimFaults, SpeedLimitMakesEachRequestTakeTheLinksTimeAndNoMore) {
  MicrosecondClock clock;
  sim::SimOptions o;
  o.bytesPerSecond = 40'000'000;
  auto camera = std::make_shared<sim::SimCamera>(o, clock);
  FTD2xx link(camera, clock);
  link.Open(0);
  // 124 sectors, a sector copy's chunk: 1,587.2 us at 40 MB/s, not the next whole millisecond.
  std::vector<uint8_t> chunk(124 * kSectorSize);
  const auto length = static_cast<uint32_t>(chunk.size());
  const uint64_t first = clock.NowUs();
  for (uint32_t i = 0; i < 50; ++i) {
    const uint64_t asked = clock.NowUs();
    RequestFlashRange(link, 192 + i * 124, 192 + (i + 1) * 124);
    ASSERT_EQ(link.ReadWithTimeout(chunk.data(), length), length);
    EXPECT_NEAR(static_cast<double>(clock.NowUs() - asked), 1587.2, 1.0) << "request " << i;
  }
  EXPECT_NEAR(static_cast<double>(clock.NowUs() - first), 50 * 1587.2, 50.0);
}

TEST(SimFaults, LatencyHoldsEachReplyAndKeepsTheirOrder) {
  sim::SimOptions o;
  o.latencyUs = 1500;  // two milliseconds of the clock
  SimRig rig(o);
  const uint64_t t0 = rig.clock.NowMs();
  rig.link.WriteByte(CMD_GET_CAMERA_TYPE);
  EXPECT_EQ(rig.Queued(), 0u) << "not readable before its time";
  rig.link.WriteByte(CMD_GET_WRAP_FLAG);
  const auto both = rig.ReadOnce(2);
  EXPECT_EQ(both, (std::vector<uint8_t>{0, 0}));
  EXPECT_EQ(rig.clock.NowMs() - t0, 2u);
  RequestFlashRange(rig.link, 192, 194);
  EXPECT_EQ(rig.Queued(), 0u);
  rig.clock.Advance(2);
  EXPECT_EQ(rig.Queued(), 1024u);
}

TEST(SimFaults, SilentAfterBytesCutsTheReplyUnderWay) {
  sim::SimOptions o;
  o.silentAfterBytes = 700;
  SimRig rig(o);
  RequestFlashRange(rig.link, 192, 196);  // 2048 bytes asked
  std::vector<uint8_t> buffer(2048);
  EXPECT_EQ(rig.link.ReadWithTimeout(buffer.data(), 2048), 700u);
  EXPECT_EQ(rig.Queued(), 0u);
  EXPECT_TRUE(rig.Ask(CMD_GET_CAMERA_TYPE).empty()) << "silent from then on";
  EXPECT_EQ(rig.camera->BytesRead(), 700u);
  rig.camera->SetMute(false);
  EXPECT_EQ(rig.Ask(CMD_GET_CAMERA_TYPE).size(), 1u);
}

TEST(SimOptionsParsing, KeysValuesAndErrors) {
  std::string error;
  auto o = sim::ParseSimOptions(
      "type=2,size=640x480,frames=5,recordings=2,damaged,wrapped=1,notready=2,erase_ms=100,"
      "speed=0,md_interval=500,fail_call=7:4,unplug_calls=9,unplug_bytes=99,mute=0,drop=1,"
      "garbage=3:20,seed=5,clock=1000,rate=7,compression=4,mono=1,md=1,max_fps=30,"
      "latency_us=1000,silent_after_bytes=4096,type_reply=3,fault_after=25:half:3",
      sim::SimOptions::Demo(), &error);
  ASSERT_TRUE(o.has_value()) << error;
  EXPECT_EQ(o->type, CAMERA_NAND_PAGES);
  EXPECT_EQ(o->size.width, 640);
  EXPECT_TRUE(o->prefillDamaged);
  EXPECT_TRUE(o->prefillWrapped);
  EXPECT_EQ(o->failCall, 7u);
  EXPECT_EQ(o->failStatus, 4u);
  EXPECT_EQ(o->garbageBeforeFrame, 3u);
  EXPECT_EQ(o->garbageBytes, 20u);
  EXPECT_EQ(o->bytesPerSecond, 0u);
  EXPECT_EQ(o->clock, 1000u);
  EXPECT_FALSE(o->clockFromHost);
  EXPECT_EQ(o->fault, sim::CallFault::TimeoutHalf);
  EXPECT_EQ(o->faultCall, 3u);
  EXPECT_EQ(o->faultAfterCommand, CMD_STOP_STREAM);
  EXPECT_EQ(o->latencyUs, 1000u);
  EXPECT_EQ(o->silentAfterBytes, 4096u);
  EXPECT_EQ(o->typeReply, 3);
  o = sim::ParseSimOptions("fault=flip:9", {}, &error);
  ASSERT_TRUE(o.has_value()) << error;
  EXPECT_EQ(o->fault, sim::CallFault::FlipBit);
  EXPECT_EQ(o->faultAfterCommand, 0u);
  for (const char* bad :
       {"type=3", "size=100x100", "speed=fast", "bogus=1", "rate=8", "fail_call=2:0", "max_fps=5",
        "fault=melt:3", "fault=fail:0", "fault_after=0:fail:1"}) {
    error.clear();
    EXPECT_FALSE(sim::ParseSimOptions(bad, {}, &error).has_value()) << bad;
    EXPECT_FALSE(error.empty());
  }
}

TEST(SimOptionsParsing, SelectedThroughTheBackendRegistry) {
  VirtualClock clock;
  std::string error;
  auto backend = CreateBackend("sim:type=1,frames=3,speed=0", AllDrivers(), clock, &error);
  ASSERT_NE(backend, nullptr) << error;
  FTD2xx link(std::shared_ptr<D2xxBackend>(std::move(backend)), clock);
  link.Open(0);
  link.WriteByte(CMD_GET_CAMERA_TYPE);
  uint8_t type = 0xFF;
  EXPECT_EQ(link.Read(&type, 1), 1u);
  EXPECT_EQ(type, CAMERA_PACKED_PAGES);
  EXPECT_EQ(CreateBackend("sim:type=9", AllDrivers(), clock, &error), nullptr);
  EXPECT_NE(error.find("type"), std::string::npos);
}

}  // namespace
}  // namespace bf::test
