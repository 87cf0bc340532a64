#include "link/PlugWatch.h"

#include <gtest/gtest.h>

#include "link/BridgeProbe.h"

namespace bf {
namespace {

// A bus the test plugs and unplugs, counting how often it is looked at.
struct FakeBus {
  bool present = false;
  int probes = 0;
  PlugWatch::Probe Probe() {
    return [this] {
      ++probes;
      return present;
    };
  }
};

constexpr PlugWindowState kCameraOff{false, false, false};
constexpr PlugWindowState kCameraOn{true, false, false};

TEST(PlugWatchTest, BridgePluggedInAfterStartUpRunsTheHandshakeOnce) {
  FakeBus bus;
  PlugWatch watch(bus.Probe());
  watch.HandshakeEnded(false);  // start-up without a bridge
  uint32_t now = 0;
  EXPECT_EQ(watch.Poll(kCameraOff, now += kPlugPollPeriodMs), PlugAction::None);
  bus.present = true;
  EXPECT_EQ(watch.Poll(kCameraOff, now += kPlugPollPeriodMs), PlugAction::RunHandshake);
  watch.HandshakeEnded(true);
  // Controls on and nothing failed: the bus is left alone.
  const int probes = bus.probes;
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(watch.Poll(kCameraOn, now += kPlugPollPeriodMs), PlugAction::None);
  EXPECT_EQ(bus.probes, probes);
}

TEST(PlugWatchTest, CameraThatDoesNotAnswerIsAskedOncePerPlugging) {
  FakeBus bus;
  bus.present = true;  // a bridge there, its camera silent: start-up handshake failed
  PlugWatch watch(bus.Probe());
  watch.HandshakeEnded(false);
  uint32_t now = 0;
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(watch.Poll(kCameraOff, now += kPlugPollPeriodMs), PlugAction::None);
  bus.present = false;
  EXPECT_EQ(watch.Poll(kCameraOff, now += kPlugPollPeriodMs), PlugAction::None);
  bus.present = true;
  EXPECT_EQ(watch.Poll(kCameraOff, now += kPlugPollPeriodMs), PlugAction::RunHandshake);
  watch.HandshakeEnded(false);
  EXPECT_EQ(watch.Poll(kCameraOff, now += kPlugPollPeriodMs), PlugAction::None);
}

TEST(PlugWatchTest, UnplugDuringCameraWorkSwitchesOffOnceThenReplugHandshakesAgain) {
  FakeBus bus;
  bus.present = true;
  PlugWatch watch(bus.Probe());
  watch.HandshakeEnded(true);
  uint32_t now = 0;
  // The live view runs; the bridge is pulled and the loop's read fails (reported by the loop).
  bus.present = false;
  const PlugWindowState streaming{true, true, true};
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(watch.Poll(streaming, now += kPlugPollPeriodMs), PlugAction::None);
  EXPECT_EQ(bus.probes, 0) << "the bus was looked at while camera work ran";
  // The loop has ended: the failed exchange and the missing bridge switch the controls off, once.
  const PlugWindowState failed{true, false, true};
  EXPECT_EQ(watch.Poll(failed, now += kPlugPollPeriodMs), PlugAction::DisableCameraControls);
  const PlugWindowState offFailed{false, false, true};
  EXPECT_EQ(watch.Poll(offFailed, now += kPlugPollPeriodMs), PlugAction::None);
  EXPECT_EQ(watch.Poll(offFailed, now += kPlugPollPeriodMs), PlugAction::None);
  bus.present = true;
  EXPECT_EQ(watch.Poll(offFailed, now += kPlugPollPeriodMs), PlugAction::RunHandshake);
  watch.HandshakeEnded(true);
  EXPECT_EQ(watch.Poll(kCameraOn, now += kPlugPollPeriodMs), PlugAction::None);
}

TEST(PlugWatchTest, FailedExchangeWithTheBridgeStillThereKeepsTheControls) {
  FakeBus bus;
  bus.present = true;
  PlugWatch watch(bus.Probe());
  watch.HandshakeEnded(true);
  const PlugWindowState failed{true, false, true};
  EXPECT_EQ(watch.Poll(failed, 1000), PlugAction::None);
  EXPECT_EQ(bus.probes, 1);
}

TEST(PlugWatchTest, NeverPollsWhileCameraWorkRunsAndAtMostOncePerPeriod) {
  FakeBus bus;
  PlugWatch watch(bus.Probe());
  watch.HandshakeEnded(false);
  const int afterStart = bus.probes;
  bus.present = true;
  // Playback, a copy or an open dialog: no probe, and a plugged bridge waits for the end.
  const PlugWindowState busy{false, true, false};
  for (uint32_t t = 0; t < 10000; t += 100) EXPECT_EQ(watch.Poll(busy, t), PlugAction::None);
  EXPECT_EQ(bus.probes, afterStart);
  // Ticks closer than the period cost one probe per period, even across the counter's wrap.
  uint32_t now = 0xFFFFFF00u;
  EXPECT_EQ(watch.Poll(kCameraOff, now), PlugAction::RunHandshake);
  watch.HandshakeEnded(false);
  bus.present = false;
  const int before = bus.probes;
  EXPECT_EQ(watch.Poll(kCameraOff, now + 500), PlugAction::None);
  EXPECT_EQ(bus.probes, before);
  EXPECT_EQ(watch.Poll(kCameraOff, now + kPlugPollPeriodMs), PlugAction::None);
  EXPECT_EQ(bus.probes, before + 1);
}

TEST(PlugWatchTest, OnlyTheFtdiSelectionHasAProbe) {
#ifdef _WIN32
  // No libusb there: the vendor's library is the only way to a bridge, and nothing is watched.
  constexpr bool kFtdiWatched = false;
#else
  constexpr bool kFtdiWatched = true;
#endif
  EXPECT_EQ(static_cast<bool>(MakeBridgeProbe("ftdi")), kFtdiWatched);
  EXPECT_EQ(static_cast<bool>(MakeBridgeProbe("ftdi:1")), kFtdiWatched);
  EXPECT_EQ(static_cast<bool>(MakeBridgeProbe("ftdi:serial=FT1234AB")), kFtdiWatched);
  EXPECT_FALSE(MakeBridgeProbe("sim"));
  EXPECT_FALSE(MakeBridgeProbe("sim:type=1"));
  EXPECT_FALSE(MakeBridgeProbe("d2xx"));
  EXPECT_FALSE(MakeBridgeProbe("ftdi:index=x"));
}

}  // namespace
}  // namespace bf
