#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "host/TickSource.h"
#include "link/D2xxBackend.h"
#include "sim/VirtualClock.h"

namespace bf::test {

// A scripted D2XX backend: records every call with its bytes, answers reads from a queue of
// chunks, and fails chosen calls. With a VirtualClock it lets time pass the way a device would:
// a chunk may carry a delay before it arrives, and a read with nothing queued costs the whole
// read timeout.
class FakeBackend : public D2xxBackend {
 public:
  struct Call {
    std::string op;
    FtHandle handle = nullptr;
    std::vector<uint8_t> bytes;  // written bytes (Write)
    uint32_t a = 0;              // index, count, mask, read timeout
    uint32_t b = 0;              // write timeout
    void* pointer = nullptr;     // event parameter
    uint64_t atMs = 0;           // virtual time when the call began
  };
  struct Chunk {
    std::vector<uint8_t> data;
    uint32_t delayMs = 0;  // virtual time before the chunk arrives
  };
  struct Failure {
    std::string op;
    FtStatus status = ftstatus::kIoError;
    int skip = 0;  // matching calls to let through first
  };

  explicit FakeBackend(VirtualClock* clock = nullptr) : clock_(clock) {}

  std::vector<Call> calls;
  std::deque<Chunk> replies;
  std::vector<Failure> failures;
  // Called after every successful Write with the bytes written, e.g. to queue a reply.
  std::function<void(const std::vector<uint8_t>&)> onWrite;
  FtHandle nextHandle = reinterpret_cast<FtHandle>(0x1000);
  uint32_t readTimeoutMs = 0;

  void Reply(std::vector<uint8_t> data, uint32_t delayMs = 0) {
    replies.push_back(Chunk{std::move(data), delayMs});
  }
  void FailOn(std::string op, FtStatus status, int skip = 0) {
    failures.push_back(Failure{std::move(op), status, skip});
  }
  std::vector<Call> CallsOf(const std::string& op) const {
    std::vector<Call> out;
    for (const Call& c : calls)
      if (c.op == op) out.push_back(c);
    return out;
  }
  std::vector<std::vector<uint8_t>> Writes() const {
    std::vector<std::vector<uint8_t>> out;
    for (const Call& c : calls)
      if (c.op == "Write") out.push_back(c.bytes);
    return out;
  }

  FtStatus Open(uint32_t deviceIndex, FtHandle* handle) override {
    Record("Open", nullptr, {}, deviceIndex);
    if (FtStatus s = Failing("Open")) return s;
    *handle = nextHandle;
    nextHandle = static_cast<char*>(nextHandle) + 0x10;
    return ftstatus::kOk;
  }
  FtStatus Close(FtHandle handle) override {
    Record("Close", handle);
    if (FtStatus s = Failing("Close")) return s;
    return handle == nullptr ? ftstatus::kInvalidHandle : ftstatus::kOk;
  }
  FtStatus Read(FtHandle handle, void* buffer, uint32_t count, uint32_t* read) override {
    Record("Read", handle, {}, count);
    *read = 0;
    if (FtStatus s = Failing("Read")) return s;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    while (*read < count) {
      if (replies.empty()) {
        if (*read == 0) Advance(readTimeoutMs);  // nothing came: the read timeout runs out
        break;
      }
      Chunk& chunk = replies.front();
      if (readTimeoutMs > 0 && chunk.delayMs > readTimeoutMs) {
        // The chunk is further away than the read timeout: this read gives up first.
        if (*read == 0) {
          Advance(readTimeoutMs);
          chunk.delayMs -= readTimeoutMs;
        }
        break;
      }
      Advance(chunk.delayMs);
      chunk.delayMs = 0;
      const size_t n = std::min<size_t>(chunk.data.size(), count - *read);
      std::memcpy(out + *read, chunk.data.data(), n);
      *read += static_cast<uint32_t>(n);
      chunk.data.erase(chunk.data.begin(), chunk.data.begin() + static_cast<std::ptrdiff_t>(n));
      if (chunk.data.empty()) replies.pop_front();
      // One library read returns what has arrived; a later chunk with a delay is not waited for.
      if (!replies.empty() && replies.front().delayMs > 0) break;
    }
    return ftstatus::kOk;
  }
  FtStatus Write(FtHandle handle, const void* buffer, uint32_t count, uint32_t* written) override {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    Record("Write", handle, std::vector<uint8_t>(bytes, bytes + count));
    *written = 0;
    if (FtStatus s = Failing("Write")) return s;
    *written = count;
    if (onWrite) onWrite(calls.back().bytes);
    return ftstatus::kOk;
  }
  FtStatus ResetDevice(FtHandle handle) override {
    Record("ResetDevice", handle);
    return Failing("ResetDevice");
  }
  FtStatus Purge(FtHandle handle, uint32_t mask) override {
    Record("Purge", handle, {}, mask);
    return Failing("Purge");
  }
  FtStatus SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) override {
    Record("SetTimeouts", handle, {}, readMs, writeMs);
    if (FtStatus s = Failing("SetTimeouts")) return s;
    readTimeoutMs = readMs;
    return ftstatus::kOk;
  }
  FtStatus GetQueueStatus(FtHandle handle, uint32_t* rxBytes) override {
    Record("GetQueueStatus", handle);
    if (FtStatus s = Failing("GetQueueStatus")) return s;
    *rxBytes = Pending();
    return ftstatus::kOk;
  }
  FtStatus SetEventNotification(FtHandle handle, uint32_t mask, void* parameter) override {
    Record("SetEventNotification", handle, {}, mask, 0, parameter);
    return Failing("SetEventNotification");
  }
  FtStatus GetStatus(FtHandle handle, uint32_t* rxBytes, uint32_t* txBytes,
                     uint32_t* eventStatus) override {
    Record("GetStatus", handle);
    if (FtStatus s = Failing("GetStatus")) return s;
    *rxBytes = Pending();
    *txBytes = 7;
    *eventStatus = 9;
    return ftstatus::kOk;
  }

  uint32_t Pending() const {
    uint32_t n = 0;
    for (const Chunk& c : replies) n += static_cast<uint32_t>(c.data.size());
    return n;
  }

 private:
  void Record(std::string op, FtHandle handle, std::vector<uint8_t> bytes = {}, uint32_t a = 0,
              uint32_t b = 0, void* pointer = nullptr) {
    Call call;
    call.op = std::move(op);
    call.handle = handle;
    call.bytes = std::move(bytes);
    call.a = a;
    call.b = b;
    call.pointer = pointer;
    call.atMs = clock_ != nullptr ? clock_->NowMs() : 0;
    calls.push_back(std::move(call));
  }
  FtStatus Failing(const std::string& op) {
    for (auto it = failures.begin(); it != failures.end(); ++it) {
      if (it->op != op) continue;
      if (it->skip > 0) {
        --it->skip;
        return ftstatus::kOk;
      }
      const FtStatus status = it->status;
      failures.erase(it);
      return status;
    }
    return ftstatus::kOk;
  }
  void Advance(uint32_t ms) {
    if (clock_ != nullptr) clock_->Advance(ms);
  }

  VirtualClock* clock_;
};

}  // namespace bf::test
