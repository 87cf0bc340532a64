// The camera side of the command protocol, through the real device link.
#include <gtest/gtest.h>

#include <initializer_list>

#include "SimRig.h"
#include "flash/FlashAddress.h"
#include "link/CameraCommands.h"
#include "link/StatusHandshake.h"
#include "sim/SimCamera.h"
#include "sim/VirtualClock.h"
#include "support/ScriptedPrompts.h"

namespace bf::test {
namespace {

sim::SimOptions OfType(CameraType type) {
  sim::SimOptions o;
  o.type = type;
  return o;
}

TEST(SimProtocol, EveryCommandAnswersWithExactlyItsReplyLength) {
  for (CameraType type : {CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES}) {
    SCOPED_TRACE(static_cast<int>(type));
    SimRig rig(OfType(type));
    EXPECT_EQ(rig.Ask(CMD_GET_STATUS).size(), 16u);
    EXPECT_EQ(rig.Ask(CMD_GET_CLOCK).size(), 4u);
    EXPECT_EQ(rig.Ask(CMD_GET_CAMERA_TYPE), std::vector<uint8_t>{static_cast<uint8_t>(type)});
    EXPECT_EQ(rig.Ask(CMD_GET_WRAP_FLAG), std::vector<uint8_t>{0});
    EXPECT_EQ(rig.Ask(CMD_GET_FLASH_POINTER).size(), type == CAMERA_NAND_PAGES ? 5u : 4u);
    // Commands without a reply, unknown codes and 24 among them: nothing comes back.
    for (uint8_t code :
         std::initializer_list<uint8_t>{4, 5, 7, 8, 11, 12, 17, 18, 19, 20, 25, 0, 24, 26, 200}) {
      SCOPED_TRACE(static_cast<int>(code));
      EXPECT_TRUE(rig.Ask(code).empty());
    }
    for (uint8_t code : std::initializer_list<uint8_t>{2, 6, 14}) {
      const uint8_t cmd[2] = {code, 1};
      rig.link.WriteBuffer(cmd, 2);
      EXPECT_TRUE(rig.ReadOnce(64).empty());
    }
    // The test command's trailing byte 1 is its argument, not CMD_SET_CLOCK.
    rig.link.WriteByte(CMD_TEST);
    rig.link.WriteByte(1);
    EXPECT_EQ(rig.Ask(CMD_GET_CAMERA_TYPE).size(), 1u);
    EXPECT_EQ(rig.Queued(), 0u);
  }
}

TEST(SimProtocol, EmptyFlashPointerHasEachTypesEmptyValue) {
  EXPECT_EQ(Le32(SimRig(OfType(CAMERA_SECTORS)).Ask(CMD_GET_FLASH_POINTER)), kFirstDataSector);
  EXPECT_EQ(Le32(SimRig(OfType(CAMERA_PACKED_PAGES)).Ask(CMD_GET_FLASH_POINTER)), 0u);
  EXPECT_EQ(SimRig(OfType(CAMERA_NAND_PAGES)).Ask(CMD_GET_FLASH_POINTER),
            std::vector<uint8_t>(5, 0));
}

TEST(SimProtocol, CommandsSplitAcrossWritesInAnyWayParseTheSame) {
  // Set compression 4, frame rate 6, clock, then ask for status and clock: first in the
  // program's own writes, then one byte per write, then all in one write.
  const std::vector<uint8_t> script = {CMD_SET_COMPRESSION,
                                       4,
                                       CMD_SET_FRAME_RATE,
                                       6,
                                       CMD_SET_CLOCK,
                                       0xC0,
                                       0x37,
                                       0x36,
                                       0x4A,
                                       CMD_GET_STATUS,
                                       CMD_GET_CLOCK};
  std::vector<std::vector<uint8_t>> replies;
  for (int split : {0, 1, 2}) {
    SimRig rig;
    if (split == 0) {
      rig.link.WriteBuffer(script.data(), 2);
      rig.link.WriteBuffer(script.data() + 2, 2);
      rig.link.WriteByte(script[4]);
      rig.link.WriteBuffer(script.data() + 5, 4);
      rig.link.WriteByte(script[9]);
      rig.link.WriteByte(script[10]);
    } else if (split == 1) {
      for (uint8_t b : script) rig.link.WriteByte(b);
    } else {
      rig.link.WriteBuffer(script.data(), static_cast<uint32_t>(script.size()));
    }
    replies.push_back(rig.ReadOnce(64));
  }
  ASSERT_EQ(replies[0].size(), 20u);
  EXPECT_EQ(replies[0][12], 4);
  EXPECT_EQ(replies[0][14], 6);
  EXPECT_EQ(Le32(replies[0], 16), 1'245'067'200u);
  EXPECT_EQ(replies[1], replies[0]);
  EXPECT_EQ(replies[2], replies[0]);
}

TEST(SimProtocol, StatusReflectsSettingsAndNotReadyForTheFirstQueries) {
  sim::SimOptions o;
  o.notReadyQueries = 2;
  SimRig rig(o);
  CameraStatus s;
  for (int i = 0; i < 2; ++i) {
    auto r = rig.Ask(CMD_GET_STATUS);
    std::copy(r.begin(), r.end(), s.bytes.begin());
    EXPECT_FALSE(s.IsValid());
  }
  rig.link.WriteByte(CMD_SET_MONOCHROME);
  rig.link.WriteByte(CMD_MOTION_DETECT_ON);
  const uint8_t rate[2] = {CMD_SET_FRAME_RATE, 7};
  rig.link.WriteBuffer(rate, 2);
  const uint8_t badRate[2] = {CMD_SET_FRAME_RATE, 8};  // out of range: ignored
  rig.link.WriteBuffer(badRate, 2);
  auto r = rig.Ask(CMD_GET_STATUS);
  std::copy(r.begin(), r.end(), s.bytes.begin());
  EXPECT_TRUE(s.IsValid());
  EXPECT_FALSE(s.Colour());
  EXPECT_TRUE(s.MotionDetectorOn());
  EXPECT_EQ(s.FrameRateIndex(), 7);
  rig.link.WriteByte(CMD_SET_COLOUR);
  rig.link.WriteByte(CMD_MOTION_DETECT_OFF);
  r = rig.Ask(CMD_GET_STATUS);
  std::copy(r.begin(), r.end(), s.bytes.begin());
  EXPECT_TRUE(s.Colour());
  EXPECT_FALSE(s.MotionDetectorOn());
}

TEST(SimProtocol, SettingsCommandsChangeTheCameraState) {
  SimRig rig;
  auto& model = rig.camera->Model();
  rig.link.WriteByte(CMD_LEDS_OFF);
  rig.link.WriteByte(CMD_EXT_RECORDING_ON);
  rig.link.WriteByte(CMD_AUTONOMOUS_ON);
  const uint8_t sens[2] = {CMD_SET_SENSITIVITY, 3};
  rig.link.WriteBuffer(sens, 2);
  EXPECT_FALSE(model.LedsOn());
  EXPECT_TRUE(model.ExternalRecording());
  EXPECT_TRUE(model.Autonomous());
  EXPECT_EQ(model.Sensitivity(), 3);
  rig.link.WriteByte(CMD_LEDS_ON);
  rig.link.WriteByte(CMD_EXT_RECORDING_OFF);
  rig.link.WriteByte(CMD_AUTONOMOUS_OFF);
  EXPECT_TRUE(model.LedsOn());
  EXPECT_FALSE(model.ExternalRecording());
  EXPECT_FALSE(model.Autonomous());
}

TEST(SimProtocol, ClockCountsSecondsOfVirtualTimeFromTheValueSet) {
  SimRig rig;
  rig.link.WriteByte(CMD_SET_CLOCK);
  rig.link.WriteDword(0xFFFFFFF0u);
  EXPECT_EQ(Le32(rig.Ask(CMD_GET_CLOCK)), 0xFFFFFFF0u);
  rig.clock.Advance(20'500);
  // Past 2^32 - 1 the 32-bit counter wraps like the camera's.
  EXPECT_EQ(Le32(rig.Ask(CMD_GET_CLOCK)), 4u);
}

TEST(SimProtocol, StatusHandshakeSucceedsAfterNotReadyAnswers) {
  sim::SimOptions o;
  o.notReadyQueries = 3;
  o.motionDetector = true;
  VirtualClock clock;
  auto camera = std::make_shared<sim::SimCamera>(o, clock);
  FTD2xx link(camera, clock);
  ScriptedPrompts prompts;
  std::optional<CameraStatus> applied;
  auto status =
      RunStatusHandshake(link, prompts, clock, [&](const CameraStatus& s) { applied = s; });
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_TRUE(status->MotionDetectorOn());
  EXPECT_EQ(camera->Model().Sensitivity(), 5);
  EXPECT_TRUE(camera->Model().LedsOn());
  EXPECT_FALSE(camera->Model().Autonomous());
}

TEST(SimProtocol, OnlyDeviceZeroOpensAndClosedHandlesAreRefused) {
  VirtualClock clock;
  sim::SimCamera camera({}, clock);
  FtHandle h = nullptr;
  EXPECT_EQ(camera.Open(1, &h), ftstatus::kDeviceNotFound);
  ASSERT_EQ(camera.Open(0, &h), ftstatus::kOk);
  uint32_t rx = 0;
  EXPECT_EQ(camera.GetQueueStatus(h, &rx), ftstatus::kOk);
  EXPECT_EQ(camera.Close(h), ftstatus::kOk);
  EXPECT_EQ(camera.GetQueueStatus(h, &rx), ftstatus::kInvalidHandle);
  EXPECT_EQ(camera.Close(nullptr), ftstatus::kInvalidHandle);
}

}  // namespace
}  // namespace bf::test
