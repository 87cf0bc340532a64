#pragma once
#include <atomic>

namespace bf::cli {

// While alive, Ctrl-C and the other termination signals (SIGTERM, and on POSIX SIGHUP and
// SIGQUIT) do not end bfk: they set `cancel`, so that the work under way can undo itself first.
// Afterwards, EndLikeTheSignal() ends the process as the signal would have (bfk's own handlers
// first remove any temporaries). One at a time, made and used on the main thread; the handler
// only stores to the lock-free flag.
class CancelOnSignal {
 public:
  explicit CancelOnSignal(std::atomic<bool>& cancel);
  ~CancelOnSignal();
  CancelOnSignal(const CancelOnSignal&) = delete;
  CancelOnSignal& operator=(const CancelOnSignal&) = delete;

  // The signal that arrived, 0 when none.
  int Caught() const;
  // Puts the earlier handlers back and raises the caught signal, if any; returns otherwise.
  void EndLikeTheSignal();
};

}  // namespace bf::cli
