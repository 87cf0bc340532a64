#include "host/TickSource.h"

#include <chrono>
#include <thread>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace bf {

uint64_t SystemTickSource::NowMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemTickSource::SleepMs(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint64_t SystemTickSource::NowUs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemTickSource::SleepUs(uint64_t us) {
#ifdef __linux__
  // Linux lets a sleep run up to 50 us late by default, which thousands of short waits add up.
  thread_local const bool precise = ::prctl(PR_SET_TIMERSLACK, 1000UL) == 0;
  static_cast<void>(precise);
#endif
  std::this_thread::sleep_for(std::chrono::microseconds(us));
}

SystemTickSource& SystemTickSource::Instance() {
  static SystemTickSource instance;
  return instance;
}

}  // namespace bf
