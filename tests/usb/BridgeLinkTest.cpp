// The D2XX contracts of the program's FTDI backend, kept over the real libftdi1 and libusb and
// the chip's packet framing: queue count, reads that wait for the count or the read timeout,
// short reads, purge, writes, the live stream, the erase and the clock; and an unplugged bridge.

#include <gtest/gtest.h>

#include <vector>

#include "frames/FrameHeader.h"
#include "link/CameraCommands.h"
#include "link/StatusHandshake.h"
#include "support/ScriptedPrompts.h"
#include "usb/UsbRig.h"

namespace bf {
namespace {

using sim::usb::ChipKind;
using test::UsbRig;

// Asks for the queue count until it reaches want (each ask waits for the chip's next packet,
// so this takes a few latency periods); returns the last count.
uint32_t QueueReaches(FTDClass& link, uint32_t want) {
  uint32_t count = 0;
  for (int i = 0; i < 500 && count < want; ++i) count = link.GetQueueStatus();
  return count;
}

TEST(UsbBridgeLink, QueueCountReadsShortReadsPurgeAndWrites) {
  BF_REQUIRE_USB_TESTBED();
  for (const ChipKind kind : {ChipKind::FT232R, ChipKind::FT232H}) {
    SCOPED_TRACE(kind == ChipKind::FT232R ? "FT232R" : "FT232H");
    UsbRig rig({}, kind);
    rig.link->Open(0);
    EXPECT_EQ(rig.link->GetQueueStatus(), 0u);

    // The 16-byte status reply: counted in the queue without the chip's status bytes, then
    // read whole.
    EXPECT_EQ(rig.link->WriteByte(CMD_GET_STATUS), 1u);
    EXPECT_EQ(QueueReaches(*rig.link, 16), 16u);
    uint8_t status[16] = {};
    EXPECT_EQ(rig.link->Read(status, 16), 16u);
    EXPECT_TRUE(IsFrameHeader(status) || (status[0] == 0xFF && status[1] == 0xFE));
    EXPECT_EQ(rig.link->GetQueueStatus(), 0u);

    // A read for more than comes returns what came once the read timeout has run out, with
    // success; a read with nothing coming returns 0.
    rig.link->WriteByte(CMD_GET_STATUS);
    std::vector<uint8_t> room(100);
    EXPECT_EQ(rig.link->Read(room.data(), 100), 16u);
    EXPECT_EQ(rig.link->GetStatusCode(), 0u);
    EXPECT_EQ(rig.link->Read(room.data(), 100), 0u);
    EXPECT_EQ(rig.link->GetStatusCode(), 0u);

    // A reply split over reads: the rest stays queued for the next read.
    rig.link->WriteByte(CMD_GET_STATUS);
    EXPECT_EQ(rig.link->Read(room.data(), 10), 10u);
    EXPECT_EQ(rig.link->Read(room.data() + 10, 6), 6u);
    EXPECT_EQ(std::vector<uint8_t>(room.begin(), room.begin() + 16),
              std::vector<uint8_t>(status, status + 16));

    // Purging the receive side drops a reply that has arrived.
    rig.link->WriteByte(CMD_GET_STATUS);
    EXPECT_EQ(QueueReaches(*rig.link, 16), 16u);
    rig.link->Purge(kPurgeRx | kPurgeTx);
    EXPECT_EQ(rig.link->GetQueueStatus(), 0u);
    EXPECT_EQ(rig.link->ReadWithTimeout(room.data(), 100), 0u);

    // Writes of several bytes arrive as one command with its argument: the camera then
    // reports the new frame rate.
    const uint8_t rate[2] = {CMD_SET_FRAME_RATE, 5};
    EXPECT_EQ(rig.link->WriteBuffer(rate, 2), 2u);
    rig.link->WriteByte(CMD_GET_STATUS);
    EXPECT_EQ(rig.link->ReadWithTimeout(status, 16), 16u);
    EXPECT_EQ(status[14], 5);
    EXPECT_EQ(rig.testbed.Chip(0).BytesOut(), 7u);
  }
}

TEST(UsbBridgeLink, LiveStreamEraseAndClock) {
  BF_REQUIRE_USB_TESTBED();
  sim::SimOptions options;
  options.eraseMs = 0;
  options.frameRateIndex = 7;  // the fastest frame rate, so frames come at once
  UsbRig rig(options, ChipKind::FT232H);
  rig.link->Open(0);

  rig.link->WriteByte(CMD_START_STREAM);
  for (int frame = 0; frame < 3; ++frame) {
    FrameHeader header;
    uint32_t got = 0;
    for (int i = 0; i < 50 && got == 0; ++i) got = rig.link->Read(header.bytes.data(), 16);
    ASSERT_EQ(got, 16u);
    ASSERT_TRUE(IsFrameHeader(header));
    std::vector<uint8_t> payload(PayloadLength(header));
    EXPECT_EQ(rig.link->ReadWithTimeout(payload.data(), static_cast<uint32_t>(payload.size())),
              payload.size());
  }
  rig.link->WriteByte(CMD_STOP_STREAM);
  std::vector<uint8_t> drain(1 << 16);
  while (rig.link->ReadWithTimeout(drain.data(), static_cast<uint32_t>(drain.size())) != 0) {
  }

  rig.link->WriteByte(CMD_ERASE_FLASH);
  uint8_t erased = 0;
  EXPECT_EQ(rig.link->ReadWithTimeout(&erased, 1), 1u);
  EXPECT_EQ(erased, 0x80);

  rig.link->WriteByte(CMD_GET_CLOCK);
  uint8_t clock[4] = {};
  EXPECT_EQ(rig.link->ReadWithTimeout(clock, 4), 4u);
  EXPECT_NE(clock[0] | clock[1] | clock[2] | clock[3], 0);
}

TEST(UsbBridgeLink, UnplugDuringTheHandshakeEndsItWithTheIoErrorText) {
  BF_REQUIRE_USB_TESTBED();
  UsbRig rig;
  // The status command goes out, then the bridge is gone before the reply.
  rig.testbed.UnplugAfterBulkBytes(rig.bridge, 1);
  ScriptedPrompts prompts;
  EXPECT_FALSE(RunStatusHandshake(*rig.link, prompts, rig.ticks, nullptr).has_value());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Ошибка инициализации камеры.\nОшибка ввода/вывода");
  EXPECT_EQ(rig.link->GetStatusCode(), ftstatus::kIoError);
  // The bridge has left the bus.
  rig.link->Close();
  EXPECT_THROW(rig.link->Open(0), FTDException);
  EXPECT_NE(rig.backend->LastError().find("(0 found)"), std::string::npos)
      << rig.backend->LastError();
}

TEST(UsbBridgeLink, AnUnpluggedBridgeFailsEveryCallAndCannotBeOpenedAgain) {
  BF_REQUIRE_USB_TESTBED();
  UsbRig rig;
  rig.link->Open(0);
  rig.link->WriteByte(CMD_GET_STATUS);
  rig.testbed.Unplug(rig.bridge);
  uint8_t status[16];
  try {
    rig.link->Read(status, 16);
    ADD_FAILURE() << "a read from an unplugged bridge succeeded";
  } catch (const FTDException& e) {
    EXPECT_STREQ(e.GetText(), "Ошибка ввода/вывода");
  }
  EXPECT_THROW(rig.link->WriteByte(CMD_GET_STATUS), FTDException);
  EXPECT_THROW(rig.link->GetQueueStatus(), FTDException);
  rig.link->Close();
  try {
    rig.link->Open(0);
    ADD_FAILURE() << "an unplugged bridge was opened";
  } catch (const FTDException& e) {
    EXPECT_STREQ(e.GetText(), "Устройство не найдено");
  }
}

}  // namespace
}  // namespace bf
