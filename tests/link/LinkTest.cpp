#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "link/FTD2xx.h"
#include "link/FTDException.h"
#include "link/FakeBackend.h"
#include "link/StatusText.h"
#include "sim/VirtualClock.h"

namespace bf {
namespace {

using test::FakeBackend;

struct LinkFixture : ::testing::Test {
  VirtualClock clock;
  std::shared_ptr<FakeBackend> fake = std::make_shared<FakeBackend>(&clock);
  FTDClass link{fake, clock};

  template <class F>
  uint32_t ThrownCode(F&& f) {
    try {
      f();
    } catch (const FTDException& e) {
      return e.GetCode();
    }
    ADD_FAILURE() << "no FTDException";
    return 0;
  }
};

TEST(StatusTextTest, FixedRussianTextsAndEmptyAboveTheTable) {
  EXPECT_STREQ(StatusText(0), "Операция завершена успешно");
  EXPECT_STREQ(StatusText(2), "Устройство не найдено");
  EXPECT_STREQ(StatusText(3), "Устройство не открыто");
  EXPECT_STREQ(StatusText(4), "Ошибка ввода/вывода");
  EXPECT_STREQ(StatusText(16), "Неправильные аргуметы");
  EXPECT_STREQ(StatusText(17), "Другая ошибка");
  EXPECT_STREQ(StatusText(18), "");
  EXPECT_STREQ(StatusText(0xFFFFFFFF), "");
  for (uint32_t code = 0; code <= 17; ++code) EXPECT_STRNE(StatusText(code), "") << code;

  const FTDException e(5);
  EXPECT_EQ(e.GetCode(), 5u);
  EXPECT_STREQ(e.GetText(), "Неподходящие ресурсы");
  EXPECT_STREQ(FTDException(18).GetText(), "");
}

TEST_F(LinkFixture, StartsClosedAndOpenSetsTwoHundredMsTimeouts) {
  EXPECT_EQ(link.GetStatusCode(), 3u);
  EXPECT_EQ(link.Handle(), nullptr);
  uint32_t r = 1, w = 1;
  link.GetTimeouts(&r, &w);
  EXPECT_EQ(r, 0u);
  EXPECT_EQ(w, 0u);

  link.Open(0);
  EXPECT_EQ(link.GetStatusCode(), 0u);
  EXPECT_NE(link.Handle(), nullptr);
  link.GetTimeouts(&r, &w);
  EXPECT_EQ(r, 200u);
  EXPECT_EQ(w, 200u);
  ASSERT_EQ(fake->calls.size(), 2u);
  EXPECT_EQ(fake->calls[0].op, "Open");
  EXPECT_EQ(fake->calls[0].a, 0u);
  EXPECT_EQ(fake->calls[1].op, "SetTimeouts");
  EXPECT_EQ(fake->calls[1].a, 200u);
  EXPECT_EQ(fake->calls[1].b, 200u);
}

TEST_F(LinkFixture, OpenFailuresStoreTheStatusAndThrow) {
  fake->FailOn("Open", 2);
  EXPECT_EQ(ThrownCode([&] { link.Open(0); }), 2u);
  EXPECT_EQ(link.GetStatusCode(), 2u);
  EXPECT_EQ(link.Handle(), nullptr);
  EXPECT_EQ(fake->CallsOf("SetTimeouts").size(), 0u);

  // Second step failing: the device stays open and the recorded timeouts are already 200.
  fake->FailOn("SetTimeouts", 4);
  EXPECT_EQ(ThrownCode([&] { link.Open(0); }), 4u);
  EXPECT_EQ(link.GetStatusCode(), 4u);
  EXPECT_NE(link.Handle(), nullptr);
  uint32_t r = 0, w = 0;
  link.GetTimeouts(&r, &w);
  EXPECT_EQ(r, 200u);
  EXPECT_EQ(w, 200u);
}

TEST_F(LinkFixture, CloseSemantics) {
  // Never opened: the library gets a null handle, its failure changes nothing, no throw.
  EXPECT_EQ(link.Close(), ftstatus::kInvalidHandle);
  ASSERT_EQ(fake->calls.size(), 1u);
  EXPECT_EQ(fake->calls[0].handle, nullptr);
  EXPECT_EQ(link.GetStatusCode(), 3u);

  link.Open(0);
  const FtHandle held = link.Handle();
  fake->FailOn("Close", 4);
  EXPECT_EQ(link.Close(), 4u);
  EXPECT_EQ(link.GetStatusCode(), 0u);  // a failed close changes nothing
  EXPECT_EQ(link.Handle(), held);

  EXPECT_EQ(link.Close(), 0u);
  EXPECT_EQ(link.GetStatusCode(), 3u);
  EXPECT_EQ(link.Handle(), nullptr);
}

TEST(LinkLifetimeTest, DestructionClosesTheOpenHandle) {
  VirtualClock clock;
  auto fake = std::make_shared<FakeBackend>(&clock);
  FtHandle held = nullptr;
  {
    FTDClass link(fake, clock);
    link.Open(0);
    held = link.Handle();
    fake->FailOn("Close", 4);  // a failing close on destruction is ignored, not thrown
  }
  ASSERT_EQ(fake->CallsOf("Close").size(), 1u);
  EXPECT_EQ(fake->CallsOf("Close")[0].handle, held);
}

TEST_F(LinkFixture, ReopeningReleasesTheHandleItHeld) {
  link.Open(0);
  const FtHandle first = link.Handle();
  link.Open(0);
  EXPECT_NE(link.Handle(), first);
  ASSERT_EQ(fake->CallsOf("Close").size(), 1u);
  EXPECT_EQ(fake->CallsOf("Close")[0].handle, first);

  // A failing reopen keeps the handle it had.
  const FtHandle second = link.Handle();
  fake->FailOn("Open", 3);
  EXPECT_EQ(ThrownCode([&] { link.Open(0); }), 3u);
  EXPECT_EQ(link.Handle(), second);
}

TEST_F(LinkFixture, EveryCallStoresItsStatusAndTheNextSuccessClearsIt) {
  link.Open(0);
  fake->FailOn("Write", 4);
  EXPECT_EQ(ThrownCode([&] { link.WriteByte(1); }), 4u);
  EXPECT_EQ(link.GetStatusCode(), 4u);
  EXPECT_EQ(link.WriteByte(1), 1u);
  EXPECT_EQ(link.GetStatusCode(), 0u);

  fake->FailOn("Read", 10);
  fake->FailOn("ResetDevice", 1);
  fake->FailOn("Purge", 6);
  fake->FailOn("GetQueueStatus", 17);
  fake->FailOn("GetStatus", 5);
  fake->FailOn("SetEventNotification", 16);
  uint8_t b = 0;
  uint32_t x = 0, y = 0, z = 0;
  EXPECT_EQ(ThrownCode([&] { link.Read(&b, 1); }), 10u);
  EXPECT_EQ(ThrownCode([&] { link.ResetDevice(); }), 1u);
  EXPECT_EQ(ThrownCode([&] { link.Purge(3); }), 6u);
  EXPECT_EQ(ThrownCode([&] { link.GetQueueStatus(); }), 17u);
  EXPECT_EQ(ThrownCode([&] { link.GetStatus(&x, &y, &z); }), 5u);
  EXPECT_EQ(ThrownCode([&] { link.SetEventNotification(nullptr, 1); }), 16u);
  EXPECT_EQ(link.GetStatusCode(), 16u);
}

TEST_F(LinkFixture, PassThroughOperations) {
  link.Open(0);
  fake->Reply({1, 2, 3});
  EXPECT_EQ(link.GetQueueStatus(), 3u);
  uint32_t rx = 0, tx = 0, ev = 0;
  link.GetQueueStatus(&rx);
  EXPECT_EQ(rx, 3u);
  link.GetStatus(&rx, &tx, &ev);
  EXPECT_EQ(rx, 3u);
  EXPECT_EQ(tx, 7u);
  EXPECT_EQ(ev, 9u);

  link.Purge(3);
  EXPECT_EQ(fake->CallsOf("Purge")[0].a, 3u);

  int parameter = 0;
  link.SetEventNotification(&parameter, 0x21);
  const auto notify = fake->CallsOf("SetEventNotification");
  ASSERT_EQ(notify.size(), 1u);
  EXPECT_EQ(notify[0].a, 0x21u);  // mask first, then the parameter
  EXPECT_EQ(notify[0].pointer, &parameter);
}

TEST_F(LinkFixture, SetTimeoutsWithAZeroDoesNothing) {
  link.Open(0);
  const size_t before = fake->calls.size();
  link.SetTimeouts(0, 500);
  link.SetTimeouts(500, 0);
  EXPECT_EQ(fake->calls.size(), before);
  uint32_t r = 0, w = 0;
  link.GetTimeouts(&r, &w);
  EXPECT_EQ(r, 200u);
  EXPECT_EQ(w, 200u);

  link.SetTimeouts(1000, 300);
  link.GetTimeouts(&r, &w);
  EXPECT_EQ(r, 1000u);
  EXPECT_EQ(w, 300u);

  fake->FailOn("SetTimeouts", 6);
  EXPECT_EQ(ThrownCode([&] { link.SetTimeouts(50, 50); }), 6u);
  link.GetTimeouts(&r, &w);
  EXPECT_EQ(r, 1000u);  // a refused change is not recorded
}

TEST_F(LinkFixture, GetStatusTextNeverWritesPastMaxLength) {
  link.Open(0);  // status 0: "Операция завершена успешно"
  const std::string full = StatusText(0);

  char big[128];
  EXPECT_TRUE(link.GetStatusText(big, sizeof big));
  EXPECT_EQ(full, big);

  for (uint32_t max = 1; max <= full.size() + 1; ++max) {
    char buffer[80];
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_TRUE(link.GetStatusText(buffer, max));
    const size_t len = std::strlen(buffer);
    EXPECT_LT(len, max);
    for (size_t i = max; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0x5A) << "max " << max;
    // A cut never splits a multi-byte character.
    EXPECT_EQ(full.compare(0, len, buffer), 0);
    if (len < full.size()) {
      EXPECT_NE(static_cast<unsigned char>(full[len]) & 0xC0, 0x80) << "max " << max;
    }
  }

  char untouched = 0x5A;
  EXPECT_FALSE(link.GetStatusText(&untouched, 0));
  EXPECT_EQ(untouched, 0x5A);
}

TEST_F(LinkFixture, GetStatusTextAboveTheTableGivesEmptyAndFalse) {
  link.Open(0);
  fake->FailOn("ResetDevice", 42);
  EXPECT_THROW(link.ResetDevice(), FTDException);
  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_FALSE(link.GetStatusText(buffer, sizeof buffer));
  EXPECT_EQ(buffer[0], '\0');
}

}  // namespace
}  // namespace bf
