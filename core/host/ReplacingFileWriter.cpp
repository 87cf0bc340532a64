#include "host/ReplacingFileWriter.h"
#include "host/RandomToken.h"
#include "host/TemporaryFileSlots.h"

// The POSIX writer; ReplacingFileWriterWindows.cpp is the same contract on Windows.
#ifndef _WIN32

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

namespace bf {

namespace {

// The termination signals held back for a scope, so that a temporary is never created without
// being registered for the signal handler's cleanup.
class TerminationSignalsHeld {
 public:
  TerminationSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&held, sig);
    ok_ = ::pthread_sigmask(SIG_BLOCK, &held, &saved_) == 0;
  }
  ~TerminationSignalsHeld() {
    if (ok_) ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
  }
  TerminationSignalsHeld(const TerminationSignalsHeld&) = delete;
  TerminationSignalsHeld& operator=(const TerminationSignalsHeld&) = delete;

 private:
  sigset_t saved_{};
  bool ok_ = false;
};

// Folder entries are limited to NAME_MAX bytes; a long target name is shortened in its
// temporary's name only.
constexpr std::size_t kMaxLeafStem = 160;
constexpr int kTemporaryNameAttempts = 16;

// The temporary sits in the target's folder, which may be shared with other users: its name
// carries a random token, so that nobody can create it (or a link by its name) beforehand.
std::string TempNameFor(const std::string& target, const std::string& token) {
  const std::filesystem::path p(target);
  const std::filesystem::path dir = p.parent_path();
  std::string stem = p.filename().string();
  if (stem.size() > kMaxLeafStem) stem.resize(kMaxLeafStem);
  const std::string leaf = "." + stem + "." + token + ".tmp";
  return dir.empty() ? leaf : (dir / leaf).string();
}

uint32_t Errno() {
  return errno == 0 ? EIO : static_cast<uint32_t>(errno);
}

// The name the bytes must end up under: symbolic links are followed link by link (relative
// ones against their own folder) so that the link stays and what it points to is replaced,
// even when that does not exist yet. Returns 0 or ELOOP.
uint32_t FollowLinks(const std::string& path, std::string& out) {
  std::filesystem::path current(path);
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      out = current.string();
      return 0;
    }
    std::error_code ec;
    const std::filesystem::path next = std::filesystem::read_symlink(current, ec);
    if (ec) {
      out = current.string();
      return 0;
    }
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return ELOOP;
}

// After the rename the new name is only durable once the folder itself is synchronised.
void SyncFolderOf(const std::string& path) {
  std::filesystem::path dir = std::filesystem::path(path).parent_path();
  if (dir.empty()) dir = std::filesystem::path(".");
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);  // best effort: the file's own bytes were synchronised and checked
  ::close(fd);
}

// fsync failures that only say the target cannot be synchronised (terminals, pipes, devices);
// the bytes written to them have been taken.
bool CannotBeSynchronised(int err) {
  return err == EINVAL || err == EROFS || err == ENOTSUP || err == ENOTTY || err == EBADF;
}

}  // namespace

uint32_t ReplacingFileWriter::Open(const std::string& path) {
  if (IsOpen() || committed_) return Fail(EBUSY);
  error_ = 0;
  written_ = 0;
  replacesExisting_ = false;
  temp_.clear();
  if (path.empty()) return Fail(ENOENT);
  if (path == "-") {
    target_ = path;
    fd_ = STDOUT_FILENO;
    ownsFd_ = false;
    return 0;
  }
  ownsFd_ = true;
  target_ = path;

  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return Fail(Errno());  // ELOOP, EACCES, ENOTDIR...
  if (exists && S_ISDIR(st.st_mode)) return Fail(EISDIR);
  if (exists && !S_ISREG(st.st_mode)) {
    // A device, FIFO or socket has no bytes of its own to keep and cannot be replaced by a
    // file; it is opened through the name as given (links included) and written directly.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) return Fail(Errno());
    return 0;
  }
  if (const uint32_t e = FollowLinks(path, target_); e != 0) return Fail(e);
  // A file the user may not write stays protected, as it was when files were overwritten
  // in place (renaming needs only the folder's permission).
  if (exists && ::access(target_.c_str(), W_OK) != 0) return Fail(Errno());

  const TerminationSignalsHeld held;
  // O_EXCL never opens what is already there, a symbolic link included. A taken name is
  // drawn again; with 64 random bits a clash means the folder is being flooded, and EEXIST
  // then says so.
  uint32_t code = EEXIST;
  for (int attempt = 0; attempt < kTemporaryNameAttempts && code == EEXIST; ++attempt) {
    std::string token;
    if (const uint32_t e = RandomToken(token); e != 0) {
      code = e;
      break;
    }
    temp_ = TempNameFor(target_, token);
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    code = fd_ >= 0 ? 0 : Errno();
  }
  if (fd_ < 0) {
    temp_.clear();
    return Fail(code);
  }
  slot_ = detail::RegisterTemporaryFile(temp_);
  replacesExisting_ = exists;
  if (exists) {
    // The replacement keeps the old file's permissions and, where allowed, its owner.
    (void)::fchmod(fd_, st.st_mode & 07777);
    if (::fchown(fd_, st.st_uid, st.st_gid) != 0)
      (void)::fchown(fd_, static_cast<uid_t>(-1), st.st_gid);
    (void)::fchmod(fd_, st.st_mode & 07777);  // chown may have cleared set-id bits
  }
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

void ReplacingFileWriter::StartWriteback() {
#ifdef __linux__
  // Only the start of the writing is asked for; its errors show at the flush in Commit.
  if (IsOpen() && error_ == 0 && !deferSync_) {
    (void)::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
  }
#endif
}

uint32_t ReplacingFileWriter::Seek(uint64_t offset) {
  if (error_ != 0) return error_;
  if (!IsOpen()) return Fail(EBADF);
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return Fail(Errno());
  return 0;
}

bool ReplacingFileWriter::CanSeek() const {
  return IsOpen() && ::lseek(fd_, 0, SEEK_CUR) >= 0;
}

uint32_t ReplacingFileWriter::Commit() {
  if (error_ != 0) {
    Abandon();
    return error_;
  }
  if (!IsOpen()) return Fail(EBADF);
  // A full disk or a failing device often shows only at the flush or the close.
  if (!deferSync_ && ::fsync(fd_) != 0 && (!temp_.empty() || !CannotBeSynchronised(errno))) {
    const uint32_t code = Fail(Errno());
    Abandon();
    return code;
  }
  const int fd = fd_;
  fd_ = -1;
  if (ownsFd_ && ::close(fd) != 0) {
    const uint32_t code = Fail(Errno());
    Abandon();
    return code;
  }
  if (!temp_.empty()) {
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
      const uint32_t code = Fail(Errno());
      Abandon();
      return code;
    }
    detail::UnregisterTemporaryFile(slot_);
    slot_ = -1;
    temp_.clear();
    if (!deferSync_) SyncFolderOf(target_);
  }
  committed_ = true;
  return 0;
}

uint32_t ReplacingFileWriter::CommitAs(const std::string& path) {
  if (!temp_.empty() && error_ == 0) target_ = path;
  return Commit();
}

void ReplacingFileWriter::CloseQuietly() {
  if (fd_ >= 0 && ownsFd_) ::close(fd_);
  fd_ = -1;
}

void ReplacingFileWriter::Abandon() {
  CloseQuietly();
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    detail::UnregisterTemporaryFile(slot_);
    slot_ = -1;
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

uint32_t SyncFileSystemOf(const std::string& path) {
  const int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Errno();
  // syncfs writes back the whole file system at once; fsync of the descriptor adds the
  // entries of the folder itself (the names of renamed files).
  uint32_t code = 0;
  if (::syncfs(fd) != 0 || ::fsync(fd) != 0) code = Errno();
  if (::close(fd) != 0 && code == 0) code = Errno();
  return code;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return false;
  struct stat sa {};
  struct stat sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void RemoveTemporaryFilesFromSignalHandler() {
  detail::ForEachTemporaryFile([](const char* path) { ::unlink(path); });
}

}  // namespace bf

#endif  // !_WIN32
