#include <gtest/gtest.h>

#include "host/SettingsStore.h"
#include "host/TickSource.h"
#include "support/MemorySettingsStore.h"

namespace bf {

TEST(VirtualClock, SleepAdvancesAndTickCountWraps) {
  VirtualClock clock(0xFFFF'FFF0ull);
  EXPECT_EQ(clock.TickCount(), 0xFFFF'FFF0u);
  clock.SleepMs(0x20);
  EXPECT_EQ(clock.NowMs(), 0x1'0000'0010ull);
  EXPECT_EQ(clock.TickCount(), 0x10u);  // the 32-bit tick wraps; unsigned differences still work
  EXPECT_EQ(clock.TickCount() - 0xFFFF'FFF0u, 0x20u);
}

TEST(MemorySettingsStore, MissingValuesReadAsDefaults) {
  MemorySettingsStore store;
  EXPECT_EQ(store.ReadInt(settings::kSection, settings::kPlayerFps, 10), 10);
  EXPECT_EQ(store.ReadString("", settings::kInstallPath, ""), "");
  store.WriteInt(settings::kSection, settings::kPlayerFps, 7);
  store.WriteString(settings::kSection, settings::kPath, "/rec/");
  EXPECT_EQ(store.ReadInt(settings::kSection, settings::kPlayerFps, 10), 7);
  EXPECT_EQ(store.ReadString(settings::kSection, settings::kPath, ""), "/rec/");
  // Sections are distinct.
  EXPECT_EQ(store.ReadInt("", settings::kPlayerFps, 3), 3);
}

}  // namespace bf
