// Plugging and pulling emulated bridges while the program watches the bus through the real
// libusb: the probe's answers, and the handshake a newly plugged bridge gets.

#include <gtest/gtest.h>

#include "link/BridgeProbe.h"
#include "link/CameraCommands.h"
#include "link/FtdiBackend.h"
#include "link/PlugWatch.h"
#include "link/StatusHandshake.h"
#include "support/ScriptedPrompts.h"
#include "usb/UsbRig.h"

namespace bf {
namespace {

using sim::usb::ChipIdentity;
using sim::usb::ChipKind;

TEST(UsbBridgePlug, BridgePluggedInAfterStartUpIsSeenAndAnswersTheHandshake) {
  BF_REQUIRE_USB_TESTBED();
  for (const ChipKind kind : {ChipKind::FT232R, ChipKind::FT232H}) {
    SCOPED_TRACE(kind == ChipKind::FT232R ? "FT232R" : "FT232H");
    SystemTickSource& ticks = SystemTickSource::Instance();
    sim::SimCamera camera({}, ticks);
    sim::SimCamera second({}, ticks);
    sim::usb::UsbTestbed testbed;
    const std::function<bool()> probe = MakeBridgeProbe("ftdi");
    ASSERT_TRUE(probe);
    EXPECT_FALSE(MakeBridgeProbe("ftdi:1")());

    auto backend = std::make_shared<FtdiBackend>();
    FTDClass link(backend, ticks);
    ScriptedPrompts prompts;
    PlugWatch watch(probe);
    // Start-up without a bridge.
    EXPECT_FALSE(RunStatusHandshake(link, prompts, ticks, nullptr));
    watch.HandshakeEnded(false);
    EXPECT_FALSE(watch.BridgeSeen());
    uint32_t now = 0;
    EXPECT_EQ(watch.Poll({}, now += kPlugPollPeriodMs), PlugAction::None);

    ChipIdentity identity;
    identity.kind = kind;
    const size_t bridge = testbed.Plug(identity, camera);
    EXPECT_EQ(watch.Poll({}, now += kPlugPollPeriodMs), PlugAction::RunHandshake);
    link.Close();
    ASSERT_TRUE(RunStatusHandshake(link, prompts, ticks, nullptr)) << backend->LastError();
    watch.HandshakeEnded(true);
    ASSERT_EQ(prompts.shown.size(), 1u);  // only the start-up report

    // Pulled: the next exchange fails and the watch finds the bridge gone.
    testbed.Unplug(bridge);
    EXPECT_THROW(
        {
          link.WriteByte(CMD_GET_STATUS);
          uint8_t reply[16];
          link.Read(reply, sizeof reply);
        },
        FTDException);
    EXPECT_FALSE(probe());
    EXPECT_EQ(
        watch.Poll({true, false, link.GetStatusCode() != ftstatus::kOk}, now += kPlugPollPeriodMs),
        PlugAction::DisableCameraControls);

    // Back again (a new device on the next port): a fresh handshake on the same link.
    testbed.Plug(identity, second);
    EXPECT_EQ(watch.Poll({}, now += kPlugPollPeriodMs), PlugAction::RunHandshake);
    link.Close();
    EXPECT_TRUE(RunStatusHandshake(link, prompts, ticks, nullptr)) << backend->LastError();
    EXPECT_EQ(prompts.shown.size(), 1u);
    link.Close();
  }
}

}  // namespace
}  // namespace bf
