#include "recordings/StillFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

namespace bf {

namespace {

// The temporary file until it has been renamed into place: unlinked on every failure path.
class TempFile {
 public:
  // Created like any new file (0666 less the umask), under a name no one else uses.
  explicit TempFile(const std::string& target) {
    static std::atomic<uint32_t> serial{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
      name_ = NameFor(target, serial.fetch_add(1));
      fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0 || errno != EEXIST) break;
    }
    if (fd_ < 0) error_ = static_cast<uint32_t>(errno);
  }
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(name_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  uint32_t Error() const { return error_; }

  bool Write(std::span<const uint8_t> bytes) {
    while (!bytes.empty() && error_ == 0) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n < 0) {
        if (errno != EINTR) error_ = static_cast<uint32_t>(errno);
      } else if (n == 0) {
        error_ = ENOSPC;
      } else {
        bytes = bytes.subspan(static_cast<std::size_t>(n));
      }
    }
    return error_ == 0;
  }

  // Flush to disk (a full disk often shows only here or at close), close, rename into place.
  bool CommitAs(const std::string& target) {
    if (error_ != 0) return false;
    if (::fsync(fd_) != 0) return Fail();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail();
    if (::rename(name_.c_str(), target.c_str()) != 0) return Fail();
    committed_ = true;
    return true;
  }

 private:
  static std::string NameFor(const std::string& target, uint32_t serial) {
    const std::filesystem::path p(target);
    const std::filesystem::path dir = p.parent_path();
    const std::string leaf = "." + p.filename().string() + "." + std::to_string(::getpid()) + "." +
                             std::to_string(serial) + ".tmp";
    return dir.empty() ? leaf : (dir / leaf).string();
  }
  bool Fail() {
    error_ = static_cast<uint32_t>(errno);
    return false;
  }

  std::string name_;
  int fd_ = -1;
  uint32_t error_ = 0;
  bool committed_ = false;
};

// Where the bytes must end up: a symbolic link is replaced by what it points to, not by a file.
std::string ResolveTarget(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_symlink(path, ec)) {
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
    if (!ec) return resolved.string();
  }
  return path;
}

}  // namespace

uint32_t WriteStillFile(std::span<const uint8_t> tableEntry, const FrameHeader& header,
                        std::span<const uint8_t> payload, const std::string& path) {
  const std::string target = ResolveTarget(path);
  // A directory cannot be replaced by a file; say so before writing anything.
  std::error_code ec;
  if (std::filesystem::is_directory(target, ec)) return EISDIR;
  TempFile file(target);
  if (file.Error() != 0) return file.Error();
  if (file.Write(tableEntry) && file.Write(payload) && file.Write(header.bytes) &&
      file.CommitAs(target)) {
    return 0;
  }
  return file.Error();
}

}  // namespace bf
