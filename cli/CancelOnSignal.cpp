#include "cli/CancelOnSignal.h"

#include <csignal>
#include <iterator>

namespace bf::cli {

namespace {

std::atomic<bool>* g_cancel = nullptr;
volatile std::sig_atomic_t g_caught = 0;

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler stores to the flag");

extern "C" void SetCancel(int sig) {
  g_caught = sig;
  if (g_cancel != nullptr) g_cancel->store(true);
}

#ifdef _WIN32
constexpr int kSignals[] = {SIGINT, SIGTERM};
using Saved = void (*)(int);
Saved g_saved[2] = {};
#else
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction g_saved[4] = {};
#endif
bool g_installed[std::size(kSignals)] = {};

void RestoreHandlers() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    if (!g_installed[i]) continue;
#ifdef _WIN32
    std::signal(kSignals[i], g_saved[i]);
#else
    ::sigaction(kSignals[i], &g_saved[i], nullptr);
#endif
    g_installed[i] = false;
  }
  g_cancel = nullptr;
}

}  // namespace

CancelOnSignal::CancelOnSignal(std::atomic<bool>& cancel) {
  g_cancel = &cancel;
  g_caught = 0;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
#ifdef _WIN32
    g_saved[i] = std::signal(kSignals[i], SetCancel);
    g_installed[i] = g_saved[i] != SIG_ERR;
    // A signal ignored by whoever started bfk stays ignored.
    if (g_installed[i] && g_saved[i] == SIG_IGN) std::signal(kSignals[i], SIG_IGN);
#else
    struct sigaction action {};
    action.sa_handler = SetCancel;
    sigemptyset(&action.sa_mask);
    g_installed[i] = ::sigaction(kSignals[i], nullptr, &g_saved[i]) == 0 &&
                     g_saved[i].sa_handler != SIG_IGN &&
                     ::sigaction(kSignals[i], &action, nullptr) == 0;
#endif
  }
}

CancelOnSignal::~CancelOnSignal() {
  RestoreHandlers();
}

int CancelOnSignal::Caught() const {
  return g_caught;
}

void CancelOnSignal::EndLikeTheSignal() {
  const int sig = g_caught;
  if (sig == 0) return;
  RestoreHandlers();
  std::raise(sig);
}

}  // namespace bf::cli
