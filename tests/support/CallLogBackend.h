#pragma once
// A D2XX backend wrapper that passes every call on and logs what crossed it: the kind of each
// call, the bytes of each successful write and the mask of each purge, so tests can say exactly
// what went to the camera.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/D2xxBackend.h"

namespace bf::test {

class CallLogBackend final : public D2xxBackend {
 public:
  explicit CallLogBackend(std::shared_ptr<D2xxBackend> inner) : inner_(std::move(inner)) {}

  std::vector<std::string> calls;            // "open", "read", "write", "purge", ...
  std::vector<std::vector<uint8_t>> writes;  // bytes of each successful write, in order
  std::vector<uint32_t> purges;              // mask of each purge, in order

  // Log entries from a mark on (taken as calls.size() / writes.size()).
  std::vector<std::string> CallsSince(std::size_t mark) const {
    return {calls.begin() + static_cast<std::ptrdiff_t>(mark), calls.end()};
  }
  std::vector<std::vector<uint8_t>> WritesSince(std::size_t mark) const {
    return {writes.begin() + static_cast<std::ptrdiff_t>(mark), writes.end()};
  }
  // Every byte written from a write mark on, flattened.
  std::vector<uint8_t> BytesSince(std::size_t mark) const {
    std::vector<uint8_t> all;
    for (std::size_t i = mark; i < writes.size(); ++i) {
      all.insert(all.end(), writes[i].begin(), writes[i].end());
    }
    return all;
  }
  // Whether a write from the mark on began with this command code.
  bool Sent(uint8_t code, std::size_t mark = 0) const {
    for (std::size_t i = mark; i < writes.size(); ++i) {
      if (!writes[i].empty() && writes[i][0] == code) return true;
    }
    return false;
  }

  FtStatus Open(uint32_t index, FtHandle* handle) override {
    calls.push_back("open");
    return inner_->Open(index, handle);
  }
  FtStatus Close(FtHandle handle) override {
    calls.push_back("close");
    return inner_->Close(handle);
  }
  FtStatus Read(FtHandle h, void* buffer, uint32_t count, uint32_t* read) override {
    calls.push_back("read");
    return inner_->Read(h, buffer, count, read);
  }
  FtStatus Write(FtHandle h, const void* buffer, uint32_t count, uint32_t* written) override {
    calls.push_back("write");
    const FtStatus status = inner_->Write(h, buffer, count, written);
    if (status == ftstatus::kOk) {
      const auto* bytes = static_cast<const uint8_t*>(buffer);
      writes.emplace_back(bytes, bytes + count);
    }
    return status;
  }
  FtStatus ResetDevice(FtHandle h) override {
    calls.push_back("reset");
    return inner_->ResetDevice(h);
  }
  FtStatus Purge(FtHandle h, uint32_t mask) override {
    calls.push_back("purge");
    purges.push_back(mask);
    return inner_->Purge(h, mask);
  }
  FtStatus SetTimeouts(FtHandle h, uint32_t r, uint32_t w) override {
    calls.push_back("timeouts");
    return inner_->SetTimeouts(h, r, w);
  }
  FtStatus GetQueueStatus(FtHandle h, uint32_t* rx) override {
    calls.push_back("queue");
    return inner_->GetQueueStatus(h, rx);
  }
  FtStatus SetEventNotification(FtHandle h, uint32_t mask, void* p) override {
    calls.push_back("events");
    return inner_->SetEventNotification(h, mask, p);
  }
  FtStatus GetStatus(FtHandle h, uint32_t* rx, uint32_t* tx, uint32_t* ev) override {
    calls.push_back("status");
    return inner_->GetStatus(h, rx, tx, ev);
  }

 private:
  std::shared_ptr<D2xxBackend> inner_;
};

}  // namespace bf::test
