// Whatever bytes arrive, the camera keeps answering sensibly and never holds more than it must.
#include <gtest/gtest.h>

#include <random>

#include "SimRig.h"

namespace bf::test {
namespace {

TEST(SimRobustness, RandomCommandBytesInRandomSplitsNeverBreakTheCamera) {
  for (CameraType type : {CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES}) {
    SCOPED_TRACE(static_cast<int>(type));
    sim::SimOptions o;
    o.type = type;
    o.eraseMs = 300;
    SimRig rig(o);
    std::mt19937 random(static_cast<uint32_t>(type) + 11);
    std::vector<uint8_t> sink(4096);
    for (int round = 0; round < 400; ++round) {
      std::vector<uint8_t> bytes(1 + random() % 12);
      for (auto& b : bytes) b = static_cast<uint8_t>(random() % 28);
      rig.link.WriteBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()));
      if (round % 3 == 0) rig.link.Read(sink.data(), 1 + random() % 4096);
      if (round % 50 == 0) rig.link.Purge(kPurgeRx | kPurgeTx);
    }
    // Back in a known state: stop, end autonomous mode, resynchronise the parser with a
    // long run of harmless one-byte commands, drop whatever is queued.
    rig.link.WriteByte(CMD_STOP_STREAM);
    rig.link.WriteByte(CMD_AUTONOMOUS_OFF);
    for (int i = 0; i < 16; ++i) rig.link.WriteByte(CMD_LEDS_ON);
    rig.clock.Advance(1'000);
    rig.link.Purge(kPurgeRx | kPurgeTx);
    EXPECT_EQ(rig.Ask(CMD_GET_CAMERA_TYPE), std::vector<uint8_t>{static_cast<uint8_t>(type)});
    const auto status = rig.Ask(CMD_GET_STATUS);
    ASSERT_EQ(status.size(), 16u);
    EXPECT_TRUE(IsFrameHeader(status.data()));
    EXPECT_LE(status[12], 4);
    EXPECT_LE(status[14], 7);
    EXPECT_LT(rig.camera->Model().Flash().Store().AllocatedBytes(), 64u << 20);
  }
}

}  // namespace
}  // namespace bf::test
