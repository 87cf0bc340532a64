#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "link/FTD2xx.h"
#include "link/FakeBackend.h"
#include "link/StatusHandshake.h"
#include "sim/VirtualClock.h"
#include "support/ScriptedPrompts.h"

namespace bf {
namespace {

using test::FakeBackend;
using Bytes = std::vector<uint8_t>;

Bytes StatusRecord(uint8_t flags, uint8_t compression = 3, uint8_t mode = 0, uint8_t rate = 5) {
  Bytes b = {0xFF, 0xFE, 'J', 'P', 'E', 'G', 1, 2, 3, 4, 5, 6, compression, mode, rate, flags};
  return b;
}

// A camera that answers each CMD_GET_STATUS with the next queued record (or not at all).
struct HandshakeFixture : ::testing::Test {
  VirtualClock clock;
  std::shared_ptr<FakeBackend> fake = std::make_shared<FakeBackend>(&clock);
  FTDClass link{fake, clock};
  ScriptedPrompts prompts;
  std::deque<Bytes> statusAnswers;
  std::vector<CameraStatus> applied;
  size_t writesWhenApplied = 0;

  void SetUp() override {
    fake->onWrite = [this](const Bytes& bytes) {
      if (bytes == Bytes{CMD_GET_STATUS} && !statusAnswers.empty()) {
        fake->Reply(statusAnswers.front());
        statusAnswers.pop_front();
      }
    };
  }

  std::optional<CameraStatus> Run() {
    return RunStatusHandshake(link, prompts, clock, [this](const CameraStatus& s) {
      applied.push_back(s);
      writesWhenApplied = fake->Writes().size();
    });
  }

  size_t CountWrites(const Bytes& bytes) const {
    const auto writes = fake->Writes();
    return static_cast<size_t>(std::count(writes.begin(), writes.end(), bytes));
  }
};

TEST_F(HandshakeFixture, ValidFirstAnswerOpensResetsAndSendsTheClosingCommands) {
  statusAnswers.push_back(StatusRecord(0x00));
  const auto status = Run();
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->Compression(), 3);
  EXPECT_EQ(status->FrameRateIndex(), 5);
  EXPECT_TRUE(status->Colour());
  ASSERT_EQ(applied.size(), 1u);
  EXPECT_EQ(applied[0].bytes, status->bytes);

  ASSERT_GE(fake->calls.size(), 4u);
  EXPECT_EQ(fake->calls[0].op, "Open");
  EXPECT_EQ(fake->calls[0].a, 0u);
  EXPECT_EQ(fake->calls[1].op, "SetTimeouts");
  EXPECT_EQ(fake->calls[2].op, "ResetDevice");
  // Status applied before the closing commands; no sensitivity with the detector off; never
  // frame rate, picture mode or compression.
  EXPECT_EQ(writesWhenApplied, 1u);
  EXPECT_EQ(fake->Writes(),
            (std::vector<Bytes>{
                {CMD_GET_STATUS}, {CMD_LEDS_ON}, {CMD_EXT_RECORDING_OFF}, {CMD_AUTONOMOUS_OFF}}));
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(HandshakeFixture, DetectorOnSendsSensitivityFiveFirst) {
  statusAnswers.push_back(StatusRecord(CameraStatus::kMotionDetectorOn | 0x40, 0, 1, 7));
  const auto status = Run();
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(status->MotionDetectorOn());
  EXPECT_FALSE(status->Colour());
  EXPECT_EQ(fake->Writes(), (std::vector<Bytes>{{CMD_GET_STATUS},
                                                {CMD_SET_SENSITIVITY, 5},
                                                {CMD_LEDS_ON},
                                                {CMD_EXT_RECORDING_OFF},
                                                {CMD_AUTONOMOUS_OFF}}));
  EXPECT_EQ(writesWhenApplied, 1u);
}

TEST_F(HandshakeFixture, NotReadyThenValidIsAcceptedOnTheFirstRetryAfterDraining) {
  statusAnswers.push_back(StatusRecord(CameraStatus::kStatusNotReady));
  statusAnswers.push_back(StatusRecord(0x00, 2));
  // Frame data still in flight from a stream the camera was running: it must be discarded.
  fake->onWrite = [this, inner = fake->onWrite](const Bytes& bytes) {
    if (bytes == Bytes{CMD_STOP_STREAM}) fake->Reply(Bytes(40000, 0xAB), 30);
    inner(bytes);
  };
  const auto status = Run();
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->Compression(), 2);
  EXPECT_EQ(CountWrites({CMD_GET_STATUS}), 2u);
  EXPECT_EQ(CountWrites({CMD_STOP_STREAM}), 1u);
  EXPECT_TRUE(prompts.shown.empty());

  // Order: status, stop, >= 100 ms pause, drain reads (all stale bytes gone), status again.
  std::vector<FakeBackend::Call> writes = fake->CallsOf("Write");
  ASSERT_GE(writes.size(), 3u);
  EXPECT_EQ(writes[1].bytes, Bytes{CMD_STOP_STREAM});
  EXPECT_EQ(writes[2].bytes, Bytes{CMD_GET_STATUS});
  auto stop = std::find_if(fake->calls.begin(), fake->calls.end(), [](const auto& c) {
    return c.op == "Write" && c.bytes == Bytes{CMD_STOP_STREAM};
  });
  ASSERT_NE(stop, fake->calls.end());
  auto firstDrain = std::next(stop);
  ASSERT_EQ(firstDrain->op, "Read");
  EXPECT_GE(firstDrain->atMs - stop->atMs, 100u);
  EXPECT_EQ(firstDrain->a, 65536u);
  EXPECT_EQ(fake->Pending(), 0u);
}

TEST_F(HandshakeFixture, SilentCameraIsAskedSixTimesThenRestartIsRequested) {
  const auto status = Run();
  EXPECT_FALSE(status.has_value());
  EXPECT_TRUE(applied.empty());
  EXPECT_EQ(CountWrites({CMD_GET_STATUS}), 6u);
  EXPECT_EQ(CountWrites({CMD_STOP_STREAM}), 5u);
  EXPECT_EQ(fake->Writes().size(), 11u);  // nothing else goes out
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Перезапустите камеру");
  EXPECT_EQ(prompts.shown[0].caption, "Ошибка");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(link.GetStatusCode(), 0u);  // the device opened; only the record was never valid
}

TEST_F(HandshakeFixture, GarbageWithoutTheMarkerIsNotAccepted) {
  Bytes garbage = StatusRecord(0x00);
  garbage[4] = 'X';
  for (int i = 0; i < 6; ++i) statusAnswers.push_back(garbage);
  EXPECT_FALSE(Run().has_value());
  EXPECT_EQ(CountWrites({CMD_GET_STATUS}), 6u);
}

TEST_F(HandshakeFixture, MissingDeviceReportsTheInitialisationError) {
  fake->FailOn("Open", ftstatus::kDeviceNotFound);
  EXPECT_FALSE(Run().has_value());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Ошибка инициализации камеры.\nУстройство не найдено");
  EXPECT_EQ(prompts.shown[0].caption, "");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_TRUE(fake->Writes().empty());
}

TEST_F(HandshakeFixture, LinkFailureAfterTheStatusEndsTheHandshake) {
  statusAnswers.push_back(StatusRecord(0x00));
  fake->FailOn("Write", ftstatus::kIoError, 1);  // the status query passes, LEDs on fails
  EXPECT_FALSE(Run().has_value());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Ошибка инициализации камеры.\nОшибка ввода/вывода");
  EXPECT_EQ(CountWrites({CMD_AUTONOMOUS_OFF}), 0u);
}

}  // namespace
}  // namespace bf
