#include "host/TickSource.h"

#include <chrono>
#include <thread>

namespace bf {

uint64_t SystemTickSource::NowMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemTickSource::SleepMs(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

SystemTickSource& SystemTickSource::Instance() {
  static SystemTickSource instance;
  return instance;
}

}  // namespace bf
