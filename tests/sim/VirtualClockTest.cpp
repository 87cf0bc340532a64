#include <gtest/gtest.h>

#include "sim/VirtualClock.h"

namespace bf {

TEST(VirtualClock, SleepAdvancesAndTickCountWraps) {
  VirtualClock clock(0xFFFF'FFF0ull);
  EXPECT_EQ(clock.TickCount(), 0xFFFF'FFF0u);
  clock.SleepMs(0x20);
  EXPECT_EQ(clock.NowMs(), 0x1'0000'0010ull);
  EXPECT_EQ(clock.TickCount(), 0x10u);  // the 32-bit tick wraps; unsigned differences still work
  EXPECT_EQ(clock.TickCount() - 0xFFFF'FFF0u, 0x20u);
}

}  // namespace bf
