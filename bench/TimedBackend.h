#pragma once
// A camera backend that sums the real and the CPU time its callers spend inside each call, for
// the copy benchmarks to tell the camera's (or the emulation's) share from the program's.
// Calls may come from several threads: the sums are atomics.
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <utility>

#include "link/D2xxBackend.h"

inline double CpuSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

class TimedBackend final : public bf::D2xxBackend {
 public:
  explicit TimedBackend(std::shared_ptr<bf::D2xxBackend> inner) : inner_(std::move(inner)) {}
  double InsideSeconds() const { return static_cast<double>(insideNs_.load()) * 1e-9; }
  // CPU seconds of the calling threads inside the backend.
  double InsideCpuSeconds() const { return static_cast<double>(cpuNs_.load()) * 1e-9; }
  void ResetTimes() {
    insideNs_ = 0;
    cpuNs_ = 0;
  }

  bf::FtStatus Open(uint32_t i, bf::FtHandle* h) override {
    return Timed([&] { return inner_->Open(i, h); });
  }
  bf::FtStatus Close(bf::FtHandle h) override {
    return Timed([&] { return inner_->Close(h); });
  }
  bf::FtStatus Read(bf::FtHandle h, void* b, uint32_t n, uint32_t* r) override {
    return Timed([&] { return inner_->Read(h, b, n, r); });
  }
  bf::FtStatus Write(bf::FtHandle h, const void* b, uint32_t n, uint32_t* w) override {
    return Timed([&] { return inner_->Write(h, b, n, w); });
  }
  bf::FtStatus ResetDevice(bf::FtHandle h) override {
    return Timed([&] { return inner_->ResetDevice(h); });
  }
  bf::FtStatus Purge(bf::FtHandle h, uint32_t m) override {
    return Timed([&] { return inner_->Purge(h, m); });
  }
  bf::FtStatus SetTimeouts(bf::FtHandle h, uint32_t r, uint32_t w) override {
    return Timed([&] { return inner_->SetTimeouts(h, r, w); });
  }
  bf::FtStatus GetQueueStatus(bf::FtHandle h, uint32_t* r) override {
    return Timed([&] { return inner_->GetQueueStatus(h, r); });
  }
  bf::FtStatus SetEventNotification(bf::FtHandle h, uint32_t m, void* p) override {
    return inner_->SetEventNotification(h, m, p);
  }
  bf::FtStatus GetStatus(bf::FtHandle h, uint32_t* r, uint32_t* t, uint32_t* e) override {
    return inner_->GetStatus(h, r, t, e);
  }

 private:
  template <class F>
  bf::FtStatus Timed(F call) {
    const auto t0 = std::chrono::steady_clock::now();
    const double cpu0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const bf::FtStatus status = call();
    insideNs_ +=
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    cpuNs_ += static_cast<int64_t>((CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0) * 1e9);
    return status;
  }
  std::shared_ptr<bf::D2xxBackend> inner_;
  std::atomic<int64_t> insideNs_{0};
  std::atomic<int64_t> cpuNs_{0};
};
