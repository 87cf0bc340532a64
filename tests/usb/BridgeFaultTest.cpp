// Faults at the USB level under the program's FTDI backend, the real libftdi1 and libusb: a
// halted bulk endpoint, a chip that refuses the latency timer, a bridge pulled during the live
// view. Each ends in the link's status text, reported once, and the link is usable again where
// the bridge still is.

#include <gtest/gtest.h>

#include <algorithm>

#include "link/CameraCommands.h"
#include "link/StatusHandshake.h"
#include "live/LiveTestRig.h"
#include "support/ScriptedPrompts.h"
#include "usb/UsbRig.h"

namespace bf {
namespace {

using sim::usb::ChipFaults;
using sim::usb::ChipKind;
using test::UsbRig;

sim::SimOptions Streaming() {
  sim::SimOptions options;
  options.frameRateIndex = 7;  // frames come at once
  return options;
}

// The live view on the bridge, run by the program's Start/Stop handler until the view ends.
struct UsbLiveView {
  explicit UsbLiveView(UsbRig& rig) : capture(*rig.link, host, prompts, prompts, rig.ticks) {
    host.state.frameTimeout = kFrameTimeoutDetectorOff;
  }
  void Start() {
    host.buttonPushed = true;
    capture.OnStartStopClicked();
  }
  test::ScriptedLiveHost host;
  ScriptedPrompts prompts;
  LiveCapture capture;
};

// Starts the live view, which a fault then ends: with the status text shown once and the
// button back to off.
void StartAndExpectEndedByIoError(UsbLiveView& view) {
  view.Start();
  EXPECT_FALSE(view.host.headers.empty());
  ASSERT_EQ(view.prompts.shown.size(), 1u);
  EXPECT_EQ(view.prompts.shown[0].text, "Ошибка ввода/вывода");
  EXPECT_EQ(view.host.buttonState, LiveViewState::Off);
}

const ChipKind kChips[] = {ChipKind::FT232R, ChipKind::FT232H};

const char* ChipName(ChipKind kind) {
  return kind == ChipKind::FT232R ? "FT232R" : "FT232H";
}

TEST(UsbBridgeFault, AHaltedEndpointFailsOneExchangeAndTheLinkWorksAgain) {
  BF_REQUIRE_USB_TESTBED();
  for (const ChipKind kind : kChips) {
    SCOPED_TRACE(ChipName(kind));
    // Bulk IN halts in the middle of the live view.
    UsbRig rig(Streaming(), kind);
    rig.link->Open(0);
    ChipFaults faults;
    faults.stallInAfterBytes = 20000;
    rig.testbed.Chip(rig.bridge).SetFaults(faults);
    UsbLiveView view(rig);
    ASSERT_NO_FATAL_FAILURE(StartAndExpectEndedByIoError(view));
    EXPECT_EQ(rig.link->GetStatusCode(), ftstatus::kIoError);
    // The reconnect button's sequence and a new handshake find the camera again.
    rig.link->Purge(kPurgeRx | kPurgeTx);
    rig.link->ResetDevice();
    rig.link->Close();
    ScriptedPrompts prompts;
    EXPECT_TRUE(RunStatusHandshake(*rig.link, prompts, rig.ticks, nullptr))
        << rig.backend->LastError();
    EXPECT_TRUE(prompts.shown.empty());

    // Bulk OUT halts after the first command: the next command fails, the one after goes out.
    UsbRig quiet({}, kind);
    quiet.link->Open(0);
    faults = {};
    faults.stallOutAfterBytes = 1;
    quiet.testbed.Chip(quiet.bridge).SetFaults(faults);
    uint8_t status[16] = {};
    quiet.link->WriteByte(CMD_GET_STATUS);
    EXPECT_EQ(quiet.link->Read(status, 16), 16u);
    try {
      quiet.link->WriteByte(CMD_GET_STATUS);
      ADD_FAILURE() << "a write to a halted endpoint succeeded";
    } catch (const FTDException& e) {
      EXPECT_STREQ(e.GetText(), "Ошибка ввода/вывода");
    }
    EXPECT_EQ(quiet.link->Read(status, 16), 0u) << "the refused command got no reply";
    std::fill(std::begin(status), std::end(status), 0);
    quiet.link->WriteByte(CMD_GET_STATUS);
    EXPECT_EQ(quiet.link->Read(status, 16), 16u);
    EXPECT_EQ(status[0], 0xFF);
    EXPECT_EQ(status[1], 0xFE);
  }
}

TEST(UsbBridgeFault, AChipThatRefusesTheLatencyTimerIsOpenedAndAnswers) {
  BF_REQUIRE_USB_TESTBED();
  UsbRig rig(Streaming());
  ChipFaults faults;
  faults.refuseLatencyTimer = true;
  rig.testbed.Chip(rig.bridge).SetFaults(faults);
  ScriptedPrompts prompts;
  ASSERT_TRUE(RunStatusHandshake(*rig.link, prompts, rig.ticks, nullptr))
      << rig.backend->LastError();
  EXPECT_TRUE(prompts.shown.empty());
  const auto log = rig.testbed.Chip(rig.bridge).ControlLog();
  EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                          [](const auto& r) { return r.request == 0x09 && r.stalled; }));
  EXPECT_EQ(rig.testbed.Chip(rig.bridge).LatencyMs(), 16) << "the chip kept its own timer";

  // The live view runs at the chip's own pace; the operator stops it after three frames.
  UsbLiveView view(rig);
  view.host.onShow = [&] {
    if (view.host.headers.size() == 3) {
      view.host.buttonPushed = false;
      view.capture.OnStartStopClicked();
    }
  };
  view.Start();
  EXPECT_GE(view.host.headers.size(), 3u);
  EXPECT_TRUE(view.prompts.shown.empty());
  rig.link->WriteByte(CMD_GET_CLOCK);
  uint8_t clock[4] = {};
  EXPECT_EQ(rig.link->ReadWithTimeout(clock, 4), 4u);
}

TEST(UsbBridgeFault, ABridgePulledDuringTheLiveViewIsReportedOnce) {
  BF_REQUIRE_USB_TESTBED();
  for (const ChipKind kind : kChips) {
    SCOPED_TRACE(ChipName(kind));
    UsbRig rig(Streaming(), kind);
    rig.link->Open(0);
    rig.testbed.UnplugAfterBulkBytes(rig.bridge, 30000);
    UsbLiveView view(rig);
    ASSERT_NO_FATAL_FAILURE(StartAndExpectEndedByIoError(view));
    EXPECT_TRUE(view.host.lockedEnabled);
  }
}

}  // namespace
}  // namespace bf
