// The link and the start-up handshake against the simulated camera, on a virtual clock.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "link/CommandSet.h"
#include "link/FTD2xx.h"
#include "link/StatusHandshake.h"
#include "sim/SimCamera.h"
#include "sim/VirtualClock.h"
#include "support/ScriptedPrompts.h"

namespace bf {
namespace {

struct SimFixture : ::testing::Test {
  VirtualClock clock;
  sim::SimOptions options;
  std::shared_ptr<sim::SimCamera> camera;
  ScriptedPrompts prompts;
  int applied = 0;

  std::optional<CameraStatus> Handshake(FTD2xx& link) {
    return RunStatusHandshake(link, prompts, clock, [this](const CameraStatus&) { ++applied; });
  }
  void Make() { camera = std::make_shared<sim::SimCamera>(options, clock); }
};

TEST_F(SimFixture, ReadyCameraTakesItsSettingsAndGetsTheClosingCommands) {
  options.compression = 4;
  options.monochrome = true;
  options.frameRateIndex = 6;
  options.motionDetector = true;
  Make();
  FTDClass link(camera, clock);
  const auto status = Handshake(link);
  ASSERT_TRUE(status.has_value()) << (prompts.shown.empty() ? "" : prompts.shown[0].text);
  EXPECT_EQ(applied, 1);
  EXPECT_EQ(status->Compression(), 4);
  EXPECT_FALSE(status->Colour());
  EXPECT_EQ(status->FrameRateIndex(), 6);
  EXPECT_TRUE(status->MotionDetectorOn());
  EXPECT_EQ(camera->Model().Sensitivity(), 5);
  EXPECT_TRUE(camera->Model().LedsOn());
  EXPECT_FALSE(camera->Model().ExternalRecording());
  EXPECT_FALSE(camera->Model().Autonomous());
  EXPECT_EQ(link.GetStatusCode(), 0u);
}

TEST_F(SimFixture, NotReadyForLongerThanTheRetriesAsksForARestart) {
  options.notReadyQueries = 6;
  Make();
  FTDClass link(camera, clock);
  EXPECT_FALSE(Handshake(link).has_value());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Перезапустите камеру");
  EXPECT_EQ(applied, 0);
}

TEST_F(SimFixture, NotReadyForFiveQueriesIsStillAccepted) {
  options.notReadyQueries = 5;
  Make();
  FTDClass link(camera, clock);
  EXPECT_TRUE(Handshake(link).has_value());
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(SimFixture, StatusCutShortIsAskedForAgainNotTaken) {
  // Half a record still starts with the marker; its cleared tail would pass for compression 0,
  // colour and the slowest frame rate.
  options.compression = 4;
  options.frameRateIndex = 6;
  options.monochrome = true;
  for (const auto fault : {sim::CallFault::TimeoutHalf, sim::CallFault::ShortRead}) {
    Make();
    camera->ArmFault(5, fault);  // open, timeouts, reset, the query, then its read
    FTDClass link(camera, clock);
    const auto status = Handshake(link);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(camera->FaultHitCall(), 5u);
    EXPECT_EQ(status->Compression(), 4);
    EXPECT_EQ(status->FrameRateIndex(), 6);
    EXPECT_FALSE(status->Colour());
    EXPECT_TRUE(prompts.shown.empty());
  }
}

TEST_F(SimFixture, UnpluggedCameraEndsTheHandshakeWithTheLinkText) {
  Make();
  camera->Unplug();
  FTDClass link(camera, clock);
  EXPECT_FALSE(Handshake(link).has_value());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text.rfind("Ошибка инициализации камеры.\n", 0), 0u);
  EXPECT_GT(prompts.shown[0].text.size(), std::string("Ошибка инициализации камеры.\n").size());
}

TEST_F(SimFixture, ReadWithTimeoutDrainsALiveStreamAfterStop) {
  options.frameRateIndex = 7;
  Make();
  FTDClass link(camera, clock);
  link.Open(0);
  SendCommand(link, CMD_START_STREAM);
  clock.Advance(1000);
  SendCommand(link, CMD_STOP_STREAM);
  std::vector<uint8_t> scratch(1 << 20);
  uint32_t drained = 0;
  while (uint32_t n = link.ReadWithTimeout(scratch.data(), 63488)) drained += n;
  EXPECT_GT(drained, 0u);
  EXPECT_EQ(link.GetQueueStatus(), 0u);
  // The camera answers again once the stream is gone.
  SendCommand(link, CMD_GET_STATUS);
  CameraStatus status;
  EXPECT_EQ(link.Read(status.bytes.data(), 16), 16u);
  EXPECT_TRUE(status.IsValid());
}

}  // namespace
}  // namespace bf
