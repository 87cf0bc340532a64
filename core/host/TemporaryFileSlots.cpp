#include "host/TemporaryFileSlots.h"

#include <array>
#include <atomic>
#include <cstring>

namespace bf::detail {

namespace {

// A slot is claimed (used), filled, then published (ready); a signal handler reads only
// published slots.
constexpr std::size_t kSlots = 32;
constexpr std::size_t kPathMax = 4096;
struct TempSlot {
  std::atomic<bool> used{false};
  std::atomic<bool> ready{false};
  char path[kPathMax];
};
std::array<TempSlot, kSlots> g_slots;
static_assert(std::atomic<bool>::is_always_lock_free, "signal handlers need lock-free flags");

}  // namespace

int RegisterTemporaryFile(const std::string& path) {
  if (path.size() >= kPathMax) return -1;
  for (std::size_t i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (g_slots[i].used.compare_exchange_strong(expected, true)) {
      std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
      g_slots[i].ready.store(true);
      return static_cast<int>(i);
    }
  }
  return -1;
}

void UnregisterTemporaryFile(int slot) {
  if (slot < 0) return;
  g_slots[static_cast<std::size_t>(slot)].ready.store(false);
  g_slots[static_cast<std::size_t>(slot)].used.store(false);
}

void ForEachTemporaryFile(void (*remove)(const char* path)) {
  for (auto& slot : g_slots) {
    if (slot.ready.load()) remove(slot.path);
  }
}

}  // namespace bf::detail
