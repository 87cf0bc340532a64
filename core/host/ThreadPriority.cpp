#include "host/ThreadPriority.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace bf {

void LowerThisThreadPriority() {
#ifdef _WIN32
  (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#elif defined(__linux__)
  // On Linux a nice value set through the thread's own id is the thread's alone.
  constexpr int kLower = 10;
  const auto self = static_cast<id_t>(::gettid());
  errno = 0;
  const int now = ::getpriority(PRIO_PROCESS, self);
  if (now == -1 && errno != 0) return;
  (void)::setpriority(PRIO_PROCESS, self, now + kLower);
#endif
}

}  // namespace bf
