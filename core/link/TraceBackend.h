#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "host/TickSource.h"
#include "link/D2xxBackend.h"

namespace bf {

// The environment variable naming the link trace file; unset or empty: no trace.
inline constexpr const char* kTraceEnvironmentVariable = "BRINDLEFLASH_TRACE";

// A D2xxBackend that passes every call to the backend it wraps and appends one JSON object per
// call to a trace file, for support and for checking the protocol from outside:
//
//   {"t": 12, "op": "write", "status": 0, "bytes": "0d452301"}
//   {"t": 13, "op": "read", "status": 0, "asked": 512, "got": 512, "head": "fffe4a504547..."}
//
// "t" is milliseconds since the trace began, on the tick source the link runs on. Ops: open,
// close, read, write, reset, purge (with "mask"), timeouts, queue (with "count"), notify and
// getstatus. The lines are collected in a buffer of our own and written out when it grows
// large, when its oldest line is a second old, at every close and when the trace ends, so a
// full flash copy pays a few hundred bytes of formatting per chunk and no system call per
// device call.
//
// A trace write that fails is reported once on stderr and the trace stops there; the device
// calls go on unaffected, since the trace must never change what the link does.
//
// Threads: as every backend, used by one thread at a time (the link's owner hands it over
// explicitly), so the buffer needs no lock.
class TraceBackend final : public D2xxBackend {
 public:
  // Lines collected before they are written out, and the longest a line waits in the buffer
  // (so that a program killed from outside loses at most the last second of its trace).
  static constexpr std::size_t kFlushThreshold = 64 * 1024;
  static constexpr uint64_t kFlushIntervalMs = 1000;

  // Takes over file (opened for appending); the trace ends when this object is destroyed.
  TraceBackend(std::unique_ptr<D2xxBackend> inner, std::FILE* file, std::string path,
               TickSource& ticks);
  ~TraceBackend() override;
  TraceBackend(const TraceBackend&) = delete;
  TraceBackend& operator=(const TraceBackend&) = delete;

  FtStatus Open(uint32_t deviceIndex, FtHandle* handle) override;
  FtStatus Close(FtHandle handle) override;
  FtStatus Read(FtHandle handle, void* buffer, uint32_t count, uint32_t* read) override;
  FtStatus Write(FtHandle handle, const void* buffer, uint32_t count, uint32_t* written) override;
  FtStatus ResetDevice(FtHandle handle) override;
  FtStatus Purge(FtHandle handle, uint32_t mask) override;
  FtStatus SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) override;
  FtStatus GetQueueStatus(FtHandle handle, uint32_t* rxBytes) override;
  FtStatus SetEventNotification(FtHandle handle, uint32_t mask, void* parameter) override;
  FtStatus GetStatus(FtHandle handle, uint32_t* rxBytes, uint32_t* txBytes,
                     uint32_t* eventStatus) override;
  std::string LastError() const override { return inner_->LastError(); }

  D2xxBackend& Inner() { return *inner_; }
  // Writes out what is buffered. False when the trace has failed (now or earlier).
  bool Flush();
  // Why the trace stopped, or empty.
  const std::string& TraceError() const { return traceError_; }

 private:
  // Starts a line: {"t": N, "op": "op", "status": N
  void Begin(const char* op, FtStatus status);
  void Field(const char* name, uint64_t value);
  void HexField(const char* name, const void* bytes, std::size_t count);
  // Closes the line and writes the buffer out when it is large.
  void End();
  void Fail(const std::string& what);

  std::unique_ptr<D2xxBackend> inner_;
  std::FILE* file_;
  std::string path_;
  TickSource& ticks_;
  uint64_t startMs_;
  uint64_t lastFlushMs_;
  std::string buffer_;
  std::string traceError_;
};

// The backend to use for a selection: backend itself when path is empty, else a TraceBackend
// over it appending to path. A trace file that cannot be opened leaves backend untraced and
// says why in *warning (the program goes on without a trace).
std::unique_ptr<D2xxBackend> WithTrace(std::unique_ptr<D2xxBackend> backend,
                                       const std::string& path, TickSource& ticks,
                                       std::string* warning);

// The value of BRINDLEFLASH_TRACE, or empty.
std::string TracePathFromEnvironment();

}  // namespace bf
