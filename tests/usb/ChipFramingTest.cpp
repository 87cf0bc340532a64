// The emulated chip's bulk IN framing, without a test bed: two modem-status bytes at the start
// of every packet; a transfer ends when full, or when the latency timer runs out with a short
// packet (only the status bytes when nothing is waiting), the timer counting from the chip's last
// packet.

#include <gtest/gtest.h>

#include <chrono>

#include "host/TickSource.h"
#include "link/CameraCommands.h"
#include "sim/SimCamera.h"
#include "sim/VirtualClock.h"
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
    const size_t payload = packet - 2;
    ASSERT_TRUE(chip.Control(0x40, 0x09, 16, 0, 0));  // latency 16 ms
    const Clock::time_point start = Clock::now() + std::chrono::hours(1);
    const auto at = [&](int ms) { return start + std::chrono::milliseconds(ms); };
    using sim::usb::InState;

    // Nothing waiting: the transfer waits for the latency timer, then brings the status bytes.
    std::vector<uint8_t> transfer;
    EXPECT_EQ(chip.BulkIn(4096, at(0), transfer), InState::Ended) << "timer ran out long ago";
    EXPECT_EQ(transfer, (std::vector<uint8_t>{0x31, 0x60}));
    transfer.clear();
    EXPECT_EQ(chip.BulkIn(4096, at(15), transfer), InState::Waiting);
    EXPECT_TRUE(transfer.empty());
    EXPECT_EQ(chip.BulkIn(4096, at(16), transfer), InState::Ended);
    EXPECT_EQ(transfer, (std::vector<uint8_t>{0x31, 0x60}));

    // A short reply waits for the latency timer too, then comes as one short packet.
    const uint8_t command = CMD_GET_STATUS;
    size_t accepted = 0;
    bool stalled = false;
    ASSERT_TRUE(chip.BulkOut(&command, 1, &accepted, &stalled));
    transfer.clear();
    EXPECT_EQ(chip.BulkIn(4096, at(20), transfer), InState::Waiting);
    ASSERT_EQ(chip.BulkIn(4096, at(32), transfer), InState::Ended);
    ASSERT_EQ(transfer.size(), 2u + 16u);
    EXPECT_EQ(transfer[0], 0x31);
    EXPECT_EQ(transfer[2], 0xFF);
    EXPECT_EQ(transfer[3], 0xFE);

    // A packet's worth goes out at once, every packet with its status bytes, and a transfer
    // goes on collecting packets until one is short or it is full.
    const size_t replies = (2 * payload + 15) / 16;
    for (size_t i = 0; i < replies; ++i)
      ASSERT_TRUE(chip.BulkOut(&command, 1, &accepted, &stalled));
    transfer.clear();
    EXPECT_EQ(chip.BulkIn(4096, at(33), transfer), InState::Waiting);
    ASSERT_EQ(transfer.size(), 2 * packet);
    EXPECT_EQ(transfer[0], 0x31);
    EXPECT_EQ(transfer[packet], 0x31);
    EXPECT_EQ(transfer[packet + 1], 0x60);
    EXPECT_EQ(chip.BulkIn(4096, at(48), transfer), InState::Waiting)
        << "timer counts from the last packet";
    ASSERT_EQ(chip.BulkIn(4096, at(49), transfer), InState::Ended);
    EXPECT_EQ(transfer.size(), 2 * packet + 2 + (replies * 16 - 2 * payload));
    EXPECT_EQ(chip.BytesIn(), 16u + replies * 16);

    // A full transfer ends without waiting.
    for (size_t i = 0; i < replies; ++i)
      ASSERT_TRUE(chip.BulkOut(&command, 1, &accepted, &stalled));
    transfer.clear();
    EXPECT_EQ(chip.BulkIn(2 * packet, at(50), transfer), InState::Ended);
    EXPECT_EQ(transfer.size(), 2 * packet);

    // With every second transfer cut short, the second one with data waiting brings one packet
    // of half a packet's data, and the bytes go on from there in the next.
    sim::usb::ChipFaults faults;
    faults.shortInEvery = 2;
    chip.SetFaults(faults);
    for (size_t i = 0; i < 2 * replies; ++i) {
      ASSERT_TRUE(chip.BulkOut(&command, 1, &accepted, &stalled));
    }
    const uint64_t before = chip.BytesIn();
    transfer.clear();
    EXPECT_EQ(chip.BulkIn(2 * packet, at(51), transfer), InState::Ended);
    EXPECT_EQ(transfer.size(), 2 * packet);
    transfer.clear();
    EXPECT_EQ(chip.BulkIn(2 * packet, at(51), transfer), InState::Ended);
    EXPECT_EQ(transfer.size(), 2 + payload / 2);
    EXPECT_EQ(chip.BytesIn() - before, 2 * payload + payload / 2);
  }
}

}  // namespace
}  // namespace bf
