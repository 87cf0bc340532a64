#include <gtest/gtest.h>

#include "host/SettingsStore.h"
#include "support/MemorySettingsStore.h"

namespace bf {

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
