// The short exchanges on the wire: start-up handshake, erase, set clock, the reconnect button,
// each clean and under a fault.
#include <gtest/gtest.h>

#include "clock/SetClockFlow.h"
#include "flash/EraseFlash.h"
#include "golden/GoldenTrace.h"
#include "link/CommandSet.h"
#include "link/ReconnectDevice.h"
#include "link/StatusHandshake.h"

namespace bf::test {
namespace {

void Handshake(GoldenRig& rig) {
  RunStatusHandshake(*rig.link, rig.prompts, rig.clock, [](const CameraStatus&) {});
}

TEST(GoldenCommands, StartUpHandshake) {
  sim::SimOptions options;
  options.motionDetector = true;
  GoldenRig rig(options);
  Handshake(rig);
  EXPECT_TRUE(rig.prompts.shown.empty());
  ExpectGoldenTrace("handshake", rig.TraceLines());
}

TEST(GoldenCommands, HandshakeRetriesWhileNotReady) {
  sim::SimOptions options;
  options.notReadyQueries = 2;
  GoldenRig rig(options);
  Handshake(rig);
  EXPECT_TRUE(rig.prompts.shown.empty());
  ExpectGoldenTrace("handshake_not_ready", rig.TraceLines());
}

TEST(GoldenCommands, HandshakeWithMuteCameraGivesUp) {
  sim::SimOptions options;
  options.mute = true;
  GoldenRig rig(options);
  Handshake(rig);
  EXPECT_EQ(rig.prompts.shown.size(), 1u);
  ExpectGoldenTrace("handshake_mute", rig.TraceLines());
}

TEST(GoldenCommands, EraseAnswered) {
  GoldenRig rig(sim::SimOptions{});
  rig.OpenLink();
  EXPECT_EQ(EraseFlash(*rig.link, rig.prompts), EraseResult::Erased);
  ExpectGoldenTrace("erase", rig.TraceLines());
}

TEST(GoldenCommands, EraseRefusedByCamera) {
  sim::SimOptions options;
  options.eraseReply = 0;
  GoldenRig rig(options);
  rig.OpenLink();
  EXPECT_EQ(EraseFlash(*rig.link, rig.prompts), EraseResult::NotErased);
  ExpectGoldenTrace("erase_refused", rig.TraceLines());
}

TEST(GoldenCommands, EraseUnpluggedDuringTheWait) {
  GoldenRig rig(sim::SimOptions{});
  rig.OpenLink();
  rig.camera->ArmFault(rig.camera->CallCount() + 5, sim::CallFault::Unplug);
  EXPECT_EQ(EraseFlash(*rig.link, rig.prompts), EraseResult::LinkFailed);
  ExpectGoldenTrace("erase_unplugged", rig.TraceLines());
}

TEST(GoldenCommands, SetClockOkAndCancel) {
  GoldenRig rig(sim::SimOptions{});
  rig.OpenLink();
  RunSetClockFlow(*rig.link, rig.prompts, [](UtcSeconds t) { return t + 3600; });
  RunSetClockFlow(*rig.link, rig.prompts, [](UtcSeconds) { return std::nullopt; });
  EXPECT_TRUE(rig.prompts.shown.empty());
  ExpectGoldenTrace("clock", rig.TraceLines());
}

TEST(GoldenCommands, SetClockWithShortReply) {
  sim::SimOptions options;
  options.dropReplyBytes = 1;
  GoldenRig rig(options);
  rig.OpenLink();
  bool opened = false;
  RunSetClockFlow(*rig.link, rig.prompts, [&](UtcSeconds t) {
    opened = true;
    return t;
  });
  EXPECT_FALSE(opened);
  ExpectGoldenTrace("clock_short_reply", rig.TraceLines());
}

TEST(GoldenCommands, ReconnectButton) {
  GoldenRig rig(sim::SimOptions{});
  rig.OpenLink();
  EXPECT_TRUE(RunGuarded(rig.prompts, [&] { ReconnectDevice(*rig.link); }));
  // The camera answers on the new handle.
  EXPECT_TRUE(RunGuarded(rig.prompts, [&] { SendCommand(*rig.link, CMD_LEDS_OFF); }));
  ExpectGoldenTrace("reconnect", rig.TraceLines());
}

TEST(GoldenCommands, ReconnectUnplugged) {
  GoldenRig rig(sim::SimOptions{});
  rig.OpenLink();
  rig.camera->Unplug();
  EXPECT_FALSE(RunGuarded(rig.prompts, [&] { ReconnectDevice(*rig.link); }));
  ExpectGoldenTrace("reconnect_unplugged", rig.TraceLines());
}

}  // namespace
}  // namespace bf::test
