#include "host/ReplacingFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
// The C runtime's names: files opened binary and not inherited by child processes.
#define O_CLOEXEC (O_NOINHERIT | O_BINARY)
#define fsync _commit
#endif

namespace bf {

namespace {

// Temporaries open right now, kept where a signal handler can reach them without allocating.
constexpr std::size_t kSlots = 32;
constexpr std::size_t kPathMax = 4096;
struct TempSlot {
  std::atomic<bool> used{false};
  std::atomic<bool> ready{false};
  char path[kPathMax];
};
std::array<TempSlot, kSlots> g_slots;

int RegisterTemp(const std::string& path) {
  if (path.size() >= kPathMax) return -1;
  for (std::size_t i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (g_slots[i].used.compare_exchange_strong(expected, true)) {
      std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
      g_slots[i].ready.store(true);
      return static_cast<int>(i);
    }
  }
  return -1;
}

void UnregisterTemp(const std::string& path) {
  for (auto& slot : g_slots) {
    if (slot.ready.load() && std::strcmp(slot.path, path.c_str()) == 0) {
      slot.ready.store(false);
      slot.used.store(false);
      return;
    }
  }
}

std::string TempNameFor(const std::string& target, uint32_t serial) {
  const std::filesystem::path p(target);
  const std::filesystem::path dir = p.parent_path();
  const std::string leaf = "." + p.filename().string() + "." + std::to_string(::getpid()) + "." +
                           std::to_string(serial) + ".tmp";
  return dir.empty() ? leaf : (dir / leaf).string();
}

// Where the bytes must end up: a symbolic link is replaced by what it points to, not by a file.
std::string ResolveTarget(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_symlink(path, ec)) {
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
    if (!ec) return resolved.string();
  }
  return path;
}

uint32_t Errno() {
  return errno == 0 ? EIO : static_cast<uint32_t>(errno);
}

bool RenameOver(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return ::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

uint32_t ReplacingFileWriter::Open(const std::string& path) {
  if (IsOpen() || committed_) return Fail(EBUSY);
  error_ = 0;
  written_ = 0;
  if (path.empty()) return Fail(ENOENT);
  if (path == "-") {
    target_ = path;
    fd_ = 1;
    ownsFd_ = false;
    return 0;
  }
  target_ = ResolveTarget(path);
  struct stat st {};
  const bool exists = ::stat(target_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return Fail(EISDIR);
  if (exists && !S_ISREG(st.st_mode)) {
    // A device, FIFO or socket: it has no folder entry of its own to put a new file in.
    fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) return Fail(Errno());
    return 0;
  }
  static std::atomic<uint32_t> serial{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_ = TempNameFor(target_, serial.fetch_add(1));
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0 || errno != EEXIST) break;
  }
  if (fd_ < 0) {
    const uint32_t code = Errno();
    temp_.clear();
    return Fail(code);
  }
  RegisterTemp(temp_);
#ifndef _WIN32
  // Replacing keeps the old file's permissions; a new file gets the umask's.
  if (exists) (void)::fchmod(fd_, st.st_mode & 07777);
#endif
  return 0;
}

bool ReplacingFileWriter::IsOpen() const {
  return fd_ >= 0;
}

uint32_t ReplacingFileWriter::Write(std::span<const uint8_t> bytes) {
  if (error_ != 0) return error_;
  if (!IsOpen()) return Fail(EBADF);
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(Errno());
    }
    if (n == 0) return Fail(ENOSPC);
    written_ += static_cast<uint64_t>(n);
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return 0;
}

uint32_t ReplacingFileWriter::Commit() {
  if (error_ != 0) {
    Abandon();
    return error_;
  }
  if (!IsOpen()) return Fail(EBADF);
  // A full disk often shows only at the flush or the close.
  if (::fsync(fd_) != 0) {
    // Terminals, pipes and some devices cannot be synchronised; their writes have been taken.
    const bool unsyncable = errno == EINVAL || errno == EROFS || errno == ENOTSUP;
    if (!temp_.empty() || !unsyncable) {
      const uint32_t code = Fail(Errno());
      Abandon();
      return code;
    }
  }
  const int fd = fd_;
  fd_ = -1;
  if (ownsFd_ && ::close(fd) != 0) {
    const uint32_t code = Fail(Errno());
    Abandon();
    return code;
  }
  if (!temp_.empty()) {
    if (!RenameOver(temp_, target_)) {
      const uint32_t code = Fail(Errno());
      Abandon();
      return code;
    }
    UnregisterTemp(temp_);
    temp_.clear();
  }
  committed_ = true;
  return 0;
}

void ReplacingFileWriter::CloseQuietly() {
  if (fd_ >= 0 && ownsFd_) ::close(fd_);
  fd_ = -1;
}

void ReplacingFileWriter::Abandon() {
  CloseQuietly();
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    UnregisterTemp(temp_);
    temp_.clear();
  }
}

uint32_t ReplacingFileWriter::Fail(uint32_t code) {
  if (error_ == 0) error_ = code;
  return error_;
}

ReplacingFileWriter::~ReplacingFileWriter() {
  if (!committed_) Abandon();
}

uint32_t WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes) {
  ReplacingFileWriter writer;
  if (const uint32_t e = writer.Open(path); e != 0) return e;
  if (const uint32_t e = writer.Write(bytes); e != 0) return e;
  return writer.Commit();
}

bool IsSameFile(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return false;
  std::error_code ec;
  const bool same = std::filesystem::equivalent(a, b, ec);
  return !ec && same;
}

void RemoveTemporaryFilesFromSignalHandler() {
  for (auto& slot : g_slots) {
    if (slot.ready.load()) ::unlink(slot.path);
  }
}

}  // namespace bf
