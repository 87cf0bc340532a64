// The emulated chip's bulk IN framing, without a test bed: two modem-status bytes at the start
// of every packet; a transfer ends when full, or when the latency timer runs out with a short
// packet (only the status bytes when nothing is waiting).

#include <gtest/gtest.h>

#include <chrono>

#include "host/TickSource.h"
#include "link/CameraCommands.h"
#include "sim/SimCamera.h"
#include "sim/usb/FtdiChip.h"

namespace bf {
namespace {

using Clock = std::chrono::steady_clock;
using sim::usb::ChipKind;

TEST(UsbChipFraming, PacketsCarryStatusBytesAndGoOutFullOrWhenTheLatencyRunsOut) {
  for (const ChipKind kind : {ChipKind::FT232R, ChipKind::FT232H}) {
    VirtualClock clock;
    sim::SimOptions options;
    sim::SimCamera camera(options, clock);
    sim::usb::ChipIdentity identity;
    identity.kind = kind;
    sim::usb::FtdiChip chip(identity, camera);
    const size_t packet = identity.PacketSize();
    ASSERT_TRUE(chip.Control(0x40, 0x09, 16, 0, 0));  // latency 16 ms
    const Clock::time_point now = Clock::now();
    const Clock::time_point expired = now - std::chrono::milliseconds(17);

    // Nothing waiting: the transfer waits for the latency timer, then brings the status bytes.
    EXPECT_FALSE(chip.BulkIn(4096, now));
    EXPECT_EQ(chip.BulkIn(4096, expired), (std::vector<uint8_t>{0x31, 0x60}));

    // A short reply waits for the latency timer too, then comes as one short packet.
    const uint8_t command = CMD_GET_STATUS;
    ASSERT_TRUE(chip.BulkOut(&command, 1));
    EXPECT_FALSE(chip.BulkIn(4096, now));
    const auto reply = chip.BulkIn(4096, expired);
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->size(), 2u + 16u);
    EXPECT_EQ((*reply)[0], 0x31);
    EXPECT_EQ((*reply)[2], 0xFF);
    EXPECT_EQ((*reply)[3], 0xFE);

    // Enough to fill the transfer goes out at once, every packet with its status bytes.
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(chip.BulkOut(&command, 1));
    const auto full = chip.BulkIn(2 * packet, now);
    ASSERT_TRUE(full);
    ASSERT_EQ(full->size(), 2 * packet);
    EXPECT_EQ((*full)[0], 0x31);
    EXPECT_EQ((*full)[packet], 0x31);
    EXPECT_EQ((*full)[packet + 1], 0x60);
    EXPECT_EQ(chip.BytesIn(), 16u + 2 * (packet - 2));
  }
}

}  // namespace
}  // namespace bf
