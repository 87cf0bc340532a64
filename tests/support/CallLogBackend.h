#pragma once
// A D2XX backend wrapper that passes every call on and logs what crossed it: the kind of each
// call with its count or mask, result and status, the bytes of each successful write and the
// mask of each purge, so tests can say exactly what went to the camera and what came back.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "link/D2xxBackend.h"

namespace bf::test {

class CallLogBackend final : public D2xxBackend {
 public:
  explicit CallLogBackend(std::shared_ptr<D2xxBackend> inner) : inner_(std::move(inner)) {}

  struct Call {
    std::string name;     // as in `calls`
    uint32_t arg = 0;     // count asked for, purge mask
    uint32_t result = 0;  // count read or written, queue count
    FtStatus status = ftstatus::kOk;
  };

  std::vector<std::string> calls;            // "open", "read", "write", "purge", ...
  std::vector<Call> log;                     // the same calls with their details
  std::vector<std::vector<uint8_t>> writes;  // bytes of each successful write, in order
  std::vector<uint32_t> purges;              // mask of each purge, in order
  // Called before every read, on the caller's thread; set it while nothing runs.
  std::function<void()> beforeRead;

  std::size_t WriteCount() const {
    std::lock_guard lock(mutex_);
    return writes.size();
  }

  int Count(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(
        std::count_if(log.begin(), log.end(), [&](const Call& c) { return c.name == name; }));
  }
  // Index in `log` of the first call from `from` on with this name, or -1.
  int Find(const std::string& name, std::size_t from = 0) const {
    std::lock_guard lock(mutex_);
    for (std::size_t i = from; i < log.size(); ++i) {
      if (log[i].name == name) return static_cast<int>(i);
    }
    return -1;
  }
  // Log entries from a mark on (taken as calls.size() / writes.size()).
  std::vector<std::string> CallsSince(std::size_t mark) const {
    std::lock_guard lock(mutex_);
    return {calls.begin() + static_cast<std::ptrdiff_t>(mark), calls.end()};
  }
  std::vector<std::vector<uint8_t>> WritesSince(std::size_t mark) const {
    std::lock_guard lock(mutex_);
    return {writes.begin() + static_cast<std::ptrdiff_t>(mark), writes.end()};
  }
  // Every byte written from a write mark on, flattened.
  std::vector<uint8_t> BytesSince(std::size_t mark) const {
    std::lock_guard lock(mutex_);
    std::vector<uint8_t> all;
    for (std::size_t i = mark; i < writes.size(); ++i) {
      all.insert(all.end(), writes[i].begin(), writes[i].end());
    }
    return all;
  }
  // Whether a write from the mark on began with this command code.
  bool Sent(uint8_t code, std::size_t mark = 0) const {
    std::lock_guard lock(mutex_);
    for (std::size_t i = mark; i < writes.size(); ++i) {
      if (!writes[i].empty() && writes[i][0] == code) return true;
    }
    return false;
  }

  FtStatus Open(uint32_t index, FtHandle* handle) override {
    return Note("open", index, 0, inner_->Open(index, handle));
  }
  FtStatus Close(FtHandle handle) override { return Note("close", 0, 0, inner_->Close(handle)); }
  FtStatus Read(FtHandle h, void* buffer, uint32_t count, uint32_t* read) override {
    if (beforeRead) beforeRead();
    const FtStatus status = inner_->Read(h, buffer, count, read);
    return Note("read", count, read != nullptr ? *read : 0, status);
  }
  FtStatus Write(FtHandle h, const void* buffer, uint32_t count, uint32_t* written) override {
    const FtStatus status = inner_->Write(h, buffer, count, written);
    if (status == ftstatus::kOk) {
      const auto* bytes = static_cast<const uint8_t*>(buffer);
      std::lock_guard lock(mutex_);
      writes.emplace_back(bytes, bytes + count);
    }
    return Note("write", count, written != nullptr ? *written : 0, status);
  }
  FtStatus ResetDevice(FtHandle h) override { return Note("reset", 0, 0, inner_->ResetDevice(h)); }
  FtStatus Purge(FtHandle h, uint32_t mask) override {
    {
      std::lock_guard lock(mutex_);
      purges.push_back(mask);
    }
    return Note("purge", mask, 0, inner_->Purge(h, mask));
  }
  FtStatus SetTimeouts(FtHandle h, uint32_t r, uint32_t w) override {
    return Note("timeouts", r, 0, inner_->SetTimeouts(h, r, w));
  }
  FtStatus GetQueueStatus(FtHandle h, uint32_t* rx) override {
    const FtStatus status = inner_->GetQueueStatus(h, rx);
    return Note("queue", 0, rx != nullptr ? *rx : 0, status);
  }
  FtStatus SetEventNotification(FtHandle h, uint32_t mask, void* p) override {
    return Note("events", mask, 0, inner_->SetEventNotification(h, mask, p));
  }
  FtStatus GetStatus(FtHandle h, uint32_t* rx, uint32_t* tx, uint32_t* ev) override {
    const FtStatus status = inner_->GetStatus(h, rx, tx, ev);
    return Note("status", 0, rx != nullptr ? *rx : 0, status);
  }

 private:
  FtStatus Note(const char* name, uint32_t arg, uint32_t result, FtStatus status) {
    std::lock_guard lock(mutex_);
    calls.emplace_back(name);
    log.push_back({name, arg, result, status});
    return status;
  }

  mutable std::mutex mutex_;
  std::shared_ptr<D2xxBackend> inner_;
};

}  // namespace bf::test
