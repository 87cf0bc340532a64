#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "link/CommandSet.h"
#include "link/FTD2xx.h"
#include "link/FakeBackend.h"
#include "sim/VirtualClock.h"
#include "support/ScriptedPrompts.h"

namespace bf {
namespace {

using test::FakeBackend;
using Bytes = std::vector<uint8_t>;

struct OpenLink : ::testing::Test {
  VirtualClock clock;
  std::shared_ptr<FakeBackend> fake = std::make_shared<FakeBackend>(&clock);
  FTDClass link{fake, clock};
  void SetUp() override {
    link.Open(0);
    fake->calls.clear();
  }
};

using ReadWithTimeoutTest = OpenLink;

TEST_F(ReadWithTimeoutTest, ZeroLengthNeverReads) {
  uint8_t b = 0;
  EXPECT_EQ(link.ReadWithTimeout(&b, 0), 0u);
  EXPECT_TRUE(fake->calls.empty());
}

TEST_F(ReadWithTimeoutTest, TrickleUnderTheWindowKeepsReadingUntilTheCount) {
  // 10 chunks of 10 bytes, each 150 ms after the previous: 1.5 s in total, never 200 ms idle.
  Bytes expected;
  for (uint8_t i = 0; i < 10; ++i) {
    Bytes chunk(10, i);
    expected.insert(expected.end(), chunk.begin(), chunk.end());
    fake->Reply(chunk, 150);
  }
  const uint64_t start = clock.NowMs();
  Bytes buffer(100);
  EXPECT_EQ(link.ReadWithTimeout(buffer.data(), 100), 100u);
  EXPECT_EQ(buffer, expected);
  EXPECT_GE(clock.NowMs() - start, 1500u);
  // Stops as soon as the count has arrived: no extra read after the last chunk.
  EXPECT_EQ(fake->CallsOf("Read").size(), 10u);
  // Each read asks only for what is still missing.
  EXPECT_EQ(fake->CallsOf("Read").back().a, 10u);
}

TEST_F(ReadWithTimeoutTest, SilentDeviceGivesZeroAfterTheWindow) {
  const uint64_t start = clock.NowMs();
  Bytes buffer(16);
  EXPECT_EQ(link.ReadWithTimeout(buffer.data(), 16), 0u);
  EXPECT_GT(clock.NowMs() - start, 200u);
  EXPECT_LE(clock.NowMs() - start, 400u);
}

TEST_F(ReadWithTimeoutTest, ShortDataThenSilenceReturnsWhatCame) {
  fake->Reply({1, 2, 3}, 50);
  fake->Reply({4}, 190);
  Bytes buffer(64, 0);
  EXPECT_EQ(link.ReadWithTimeout(buffer.data(), 64), 4u);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4), (Bytes{1, 2, 3, 4}));
}

TEST_F(ReadWithTimeoutTest, GapLongerThanTheWindowEndsTheRead) {
  fake->Reply({1, 2}, 0);
  fake->Reply({3, 4}, 450);  // arrives only after more than 200 ms of silence
  Bytes buffer(4, 0);
  EXPECT_EQ(link.ReadWithTimeout(buffer.data(), 4), 2u);
  EXPECT_EQ(buffer[0], 1);
  EXPECT_EQ(buffer[1], 2);
}

TEST_F(ReadWithTimeoutTest, TickCounterWrapAroundDoesNotEndTheRead) {
  clock.Set((uint64_t{1} << 32) - 100);  // the 32-bit tick count wraps during the read
  for (uint8_t i = 0; i < 4; ++i) fake->Reply(Bytes(4, i), 120);
  Bytes buffer(16);
  EXPECT_EQ(link.ReadWithTimeout(buffer.data(), 16), 16u);
}

TEST_F(ReadWithTimeoutTest, LinkFailurePassesThrough) {
  fake->Reply({1}, 0);
  fake->FailOn("Read", 4, 1);
  Bytes buffer(8);
  EXPECT_THROW(link.ReadWithTimeout(buffer.data(), 8), FTDException);
  EXPECT_EQ(link.GetStatusCode(), 4u);
}

using WireBytesTest = OpenLink;

TEST_F(WireBytesTest, ByteDwordAndBufferHelpers) {
  EXPECT_EQ(link.WriteByte(0x1234), 1u);
  EXPECT_EQ(link.WriteDword(0x1234), 4u);
  const uint8_t raw[5] = {9, 8, 7, 6, 5};
  EXPECT_EQ(link.WriteBuffer(raw, 5), 5u);
  EXPECT_EQ(fake->Writes(),
            (std::vector<Bytes>{{0x34}, {0x34, 0x12, 0x00, 0x00}, {9, 8, 7, 6, 5}}));
}

TEST_F(WireBytesTest, CommandForms) {
  SendCommand(link, CMD_GET_STATUS);
  SendCommandWithValue(link, CMD_SET_FRAME_RATE, 7);
  SendCommandWithValue(link, CMD_SET_COMPRESSION, 0);
  SendCommandWithValue(link, CMD_SET_SENSITIVITY, 5);
  SendTestCommand(link);
  EXPECT_EQ(fake->Writes(), (std::vector<Bytes>{{10}, {2, 7}, {6, 0}, {14, 5}, {23}, {1}}));
}

TEST_F(WireBytesTest, GuardShowsTheStatusTextAndReportsFailure) {
  ScriptedPrompts prompts;
  EXPECT_TRUE(RunGuarded(prompts, [&] { SendCommand(link, CMD_LEDS_ON); }));
  EXPECT_TRUE(prompts.shown.empty());

  fake->FailOn("Write", 4);
  bool after = false;
  EXPECT_FALSE(RunGuarded(prompts, [&] {
    SendCommand(link, CMD_LEDS_OFF);
    after = true;
  }));
  EXPECT_FALSE(after);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Ошибка ввода/вывода");
  EXPECT_EQ(prompts.shown[0].caption, "");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(prompts.shown[0].buttons, MessageButtons::Ok);
}

TEST_F(WireBytesTest, TestCommandFailingHalfwayStopsBeforeTheSecondByte) {
  fake->FailOn("Write", 4);
  EXPECT_THROW(SendTestCommand(link), FTDException);
  EXPECT_EQ(fake->CallsOf("Write").size(), 1u);
}

}  // namespace
}  // namespace bf
