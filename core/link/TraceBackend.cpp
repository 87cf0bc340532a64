#include "link/TraceBackend.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace bf {

namespace {

constexpr std::size_t kHeadBytes = 16;

void AppendNumber(std::string& out, uint64_t value) {
  char digits[20];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) out.push_back(digits[--n]);
}

// fopen(path, "ab"), except that a FIFO without a reader fails at once (ENXIO) instead of
// blocking the program until somebody opens it for reading. errno says why on failure.
std::FILE* OpenForAppending(const std::string& path) {
#ifdef _WIN32
  return std::fopen(path.c_str(), "ab");
#else
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return nullptr;
  // Once open, writes may wait for a slow reader like those to any file.
  const int flags = ::fcntl(fd, F_GETFL);
  std::FILE* file = nullptr;
  if (flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) file = ::fdopen(fd, "ab");
  if (file == nullptr) {
    const int error = errno;
    ::close(fd);
    errno = error;
  }
  return file;
#endif
}

}  // namespace

TraceBackend::TraceBackend(std::unique_ptr<D2xxBackend> inner, std::FILE* file, std::string path,
                           TickSource& ticks)
    : inner_(std::move(inner)),
      file_(file),
      path_(std::move(path)),
      ticks_(ticks),
      startMs_(ticks.NowMs()),
      lastFlushMs_(startMs_) {
  // Our own buffer decides when bytes go out; a second one in the C library would only copy.
  if (file_ != nullptr) std::setvbuf(file_, nullptr, _IONBF, 0);
  buffer_.reserve(kFlushThreshold + 1024);
}

TraceBackend::~TraceBackend() {
  Flush();
  if (file_ != nullptr && std::fclose(file_) != 0 && traceError_.empty()) {
    Fail(std::string("closing failed: ") + std::strerror(errno));
  }
  file_ = nullptr;
}

bool TraceBackend::Flush() {
  lastFlushMs_ = ticks_.NowMs();
  if (file_ == nullptr) {
    buffer_.clear();
    return false;
  }
  if (!buffer_.empty()) {
    const std::size_t n = std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
    const bool ok = n == buffer_.size() && std::fflush(file_) == 0;
    buffer_.clear();
    if (!ok) {
      Fail(std::string("writing failed: ") + std::strerror(errno));
      return false;
    }
  }
  return true;
}

void TraceBackend::Fail(const std::string& what) {
  traceError_ = what;
  std::fprintf(stderr, "%s: %s: %s; the trace stops here\n", kTraceEnvironmentVariable,
               path_.c_str(), what.c_str());
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

void TraceBackend::Begin(const char* op, FtStatus status) {
  buffer_ += "{\"t\": ";
  const uint64_t now = ticks_.NowMs();
  AppendNumber(buffer_, now >= startMs_ ? now - startMs_ : 0);
  buffer_ += ", \"op\": \"";
  buffer_ += op;
  buffer_ += "\", \"status\": ";
  AppendNumber(buffer_, status);
}

void TraceBackend::Field(const char* name, uint64_t value) {
  buffer_ += ", \"";
  buffer_ += name;
  buffer_ += "\": ";
  AppendNumber(buffer_, value);
}

void TraceBackend::HexField(const char* name, const void* bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  buffer_ += ", \"";
  buffer_ += name;
  buffer_ += "\": \"";
  const auto* p = static_cast<const uint8_t*>(bytes);
  for (std::size_t i = 0; i < count; ++i) {
    buffer_.push_back(kDigits[p[i] >> 4]);
    buffer_.push_back(kDigits[p[i] & 0x0F]);
  }
  buffer_ += '"';
}

void TraceBackend::End() {
  buffer_ += "}\n";
  if (file_ == nullptr) {
    buffer_.clear();
  } else if (buffer_.size() >= kFlushThreshold ||
             ticks_.NowMs() - lastFlushMs_ >= kFlushIntervalMs) {
    Flush();
  }
}

FtStatus TraceBackend::Open(uint32_t deviceIndex, FtHandle* handle) {
  const FtStatus status = inner_->Open(deviceIndex, handle);
  Begin("open", status);
  Field("index", deviceIndex);
  End();
  return status;
}

FtStatus TraceBackend::Close(FtHandle handle) {
  const FtStatus status = inner_->Close(handle);
  Begin("close", status);
  End();
  // A closed device is a natural pause: whoever reads the trace now sees everything so far.
  Flush();
  return status;
}

FtStatus TraceBackend::Read(FtHandle handle, void* buffer, uint32_t count, uint32_t* read) {
  uint32_t got = 0;
  const FtStatus status = inner_->Read(handle, buffer, count, &got);
  if (read != nullptr) *read = got;
  Begin("read", status);
  Field("asked", count);
  Field("got", got);
  HexField("head", buffer, std::min<std::size_t>(std::min(got, count), kHeadBytes));
  End();
  return status;
}

FtStatus TraceBackend::Write(FtHandle handle, const void* buffer, uint32_t count,
                             uint32_t* written) {
  uint32_t sent = 0;
  const FtStatus status = inner_->Write(handle, buffer, count, &sent);
  if (written != nullptr) *written = sent;
  Begin("write", status);
  if (sent != count) Field("written", sent);
  HexField("bytes", buffer, count);
  End();
  return status;
}

FtStatus TraceBackend::ResetDevice(FtHandle handle) {
  const FtStatus status = inner_->ResetDevice(handle);
  Begin("reset", status);
  End();
  return status;
}

FtStatus TraceBackend::Purge(FtHandle handle, uint32_t mask) {
  const FtStatus status = inner_->Purge(handle, mask);
  Begin("purge", status);
  Field("mask", mask);
  End();
  return status;
}

FtStatus TraceBackend::SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) {
  const FtStatus status = inner_->SetTimeouts(handle, readMs, writeMs);
  Begin("timeouts", status);
  Field("read_ms", readMs);
  Field("write_ms", writeMs);
  End();
  return status;
}

FtStatus TraceBackend::GetQueueStatus(FtHandle handle, uint32_t* rxBytes) {
  uint32_t count = 0;
  const FtStatus status = inner_->GetQueueStatus(handle, &count);
  if (rxBytes != nullptr) *rxBytes = count;
  Begin("queue", status);
  Field("count", count);
  End();
  return status;
}

FtStatus TraceBackend::SetEventNotification(FtHandle handle, uint32_t mask, void* parameter) {
  const FtStatus status = inner_->SetEventNotification(handle, mask, parameter);
  Begin("notify", status);
  Field("mask", mask);
  End();
  return status;
}

FtStatus TraceBackend::GetStatus(FtHandle handle, uint32_t* rxBytes, uint32_t* txBytes,
                                 uint32_t* eventStatus) {
  uint32_t rx = 0;
  uint32_t tx = 0;
  uint32_t events = 0;
  const FtStatus status = inner_->GetStatus(handle, &rx, &tx, &events);
  if (rxBytes != nullptr) *rxBytes = rx;
  if (txBytes != nullptr) *txBytes = tx;
  if (eventStatus != nullptr) *eventStatus = events;
  Begin("getstatus", status);
  Field("rx", rx);
  Field("tx", tx);
  Field("events", events);
  End();
  return status;
}

std::unique_ptr<D2xxBackend> WithTrace(std::unique_ptr<D2xxBackend> backend,
                                       const std::string& path, TickSource& ticks,
                                       std::string* warning) {
  if (path.empty() || !backend) return backend;
  std::FILE* file = OpenForAppending(path);
  if (file == nullptr) {
    if (warning != nullptr) {
      // A FIFO nobody reads fails with ENXIO, whose system text means nothing to the operator.
      const std::string why =
          errno == ENXIO ? std::string("no program is reading it") : std::strerror(errno);
      *warning = std::string(kTraceEnvironmentVariable) + ": cannot open \"" + path +
                 "\" for appending (" + why + "); the program goes on without a link trace";
    }
    return backend;
  }
  return std::make_unique<TraceBackend>(std::move(backend), file, path, ticks);
}

std::string TracePathFromEnvironment() {
  const char* value = std::getenv(kTraceEnvironmentVariable);
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace bf
