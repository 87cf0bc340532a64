// What the portability check of app/ must find: four POSIX-only lines (two headers, two
// calls), and the lookalikes it must let pass (members named like POSIX functions, the
// standard C++ signal()).
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

struct Child {
  void (*kill)() = nullptr;
};

int Sample(Child& child, Child* other) {
  child.kill();
  other->kill();
  std::FILE* pipe = popen("true", "r");
  const int id = ::getpid();
  return id + (pipe != nullptr ? 1 : 0) + (std::signal(SIGINT, SIG_DFL) == SIG_ERR ? 1 : 0);
}
