// The replacing writer on Windows: the C runtime's file calls, the temporary renamed over the
// target with MoveFileEx (replace, write through). Devices such as NUL and "-" (standard output)
// are written directly. The Windows file system has no symbolic links to follow here and no
// permission bits to keep.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "host/FileErrorText.h"
#include "host/RandomToken.h"
#include "host/ReplacingFileWriter.h"
#include "host/TemporaryFileSlots.h"

namespace bf {

namespace {

uint32_t Errno() {
  return errno == 0 ? EIO : static_cast<uint32_t>(errno);
}

// The C runtime folds a missing file and a missing folder into ENOENT; the Win32 code it keeps
// in _doserrno tells them apart.
uint32_t OpenErrno() {
  if (errno == ENOENT && (_doserrno == ERROR_PATH_NOT_FOUND || _doserrno == ERROR_INVALID_NAME)) {
    return ENOTDIR;
  }
  return Errno();
}

// The C runtime's errno for a Win32 error code of MoveFileEx; an I/O error for one that has none.
uint32_t FromWin32(DWORD code) {
  const uint32_t e = ErrnoOfWin32(code);
  return e != 0 ? e : EIO;
}

// The temporary sits in the target's folder, which may be shared with other users: its name
// carries a random token, so that nobody can create it beforehand.
std::string TempNameFor(const std::string& target, const std::string& token) {
  const std::filesystem::path p(target);
  const std::filesystem::path dir = p.parent_path();
  const std::string leaf = "." + p.filename().string() + "." + token + ".tmp";
  return dir.empty() ? leaf : (dir / leaf).string();
}

constexpr int kTemporaryNameAttempts = 16;

}  // namespace

uint32_t ReplacingFileWriter::Open(const std::string& path) {
  if (IsOpen() || committed_) return Fail(EBUSY);
  error_ = 0;
  written_ = 0;
  replacesExisting_ = false;
  if (path.empty()) return Fail(ENOENT);
  if (path == "-") {
    target_ = path;
    fd_ = 1;
    ownsFd_ = false;
    _setmode(1, _O_BINARY);
    return 0;
  }
  target_ = path;
  struct _stat64 st {};
  const bool exists = _stat64(target_.c_str(), &st) == 0;
  if (exists && (st.st_mode & _S_IFDIR)) return Fail(EISDIR);
  if (exists && !(st.st_mode & _S_IFREG)) {
    _doserrno = 0;
    fd_ = _open(target_.c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
    if (fd_ < 0) return Fail(OpenErrno());
    return 0;
  }
  if (exists && !(st.st_mode & _S_IWRITE)) return Fail(EACCES);  // a read-only file stays
  if (exists) {
    // A target another program holds open without delete sharing (the player's own open
    // recording among them) cannot be renamed over at Commit. Say so now, before a long copy
    // is written for nothing; a holder that comes later is still caught by Commit.
    HANDLE probe =
        CreateFileA(target_.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
      const DWORD code = GetLastError();
      if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
          code == ERROR_ACCESS_DENIED) {
        return Fail(FromWin32(code));
      }
    } else {
      CloseHandle(probe);
    }
  }
  // _O_EXCL never opens what is already there; a taken name is drawn again, and EEXIST after
  // every attempt says the folder is being flooded with names.
  uint32_t code = EEXIST;
  for (int attempt = 0; attempt < kTemporaryNameAttempts && code == EEXIST; ++attempt) {
    std::string token;
    if (const uint32_t e = RandomToken(token); e != 0) {
      code = e;
      break;
    }
    temp_ = TempNameFor(target_, token);
    _doserrno = 0;
    fd_ = _open(temp_.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                _S_IREAD | _S_IWRITE);
    code = fd_ >= 0 ? 0 : OpenErrno();
  }
  if (fd_ < 0) {
    temp_.clear();
    return Fail(code);
  }
  slot_ = detail::RegisterTemporaryFile(temp_);
  replacesExisting_ = exists;
  return 0;
}

bool ReplacingFileWriter::IsOpen() const {
  return fd_ >= 0;
}

void ReplacingFileWriter::StartWriteback() {
  // FlushFileBuffers waits for the disk: the flush at Commit does it all at once.
}

uint32_t ReplacingFileWriter::Write(std::span<const uint8_t> bytes) {
  if (error_ != 0) return error_;
  if (!IsOpen()) return Fail(EBADF);
  while (!bytes.empty()) {
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1u << 30));
    const int n = _write(fd_, bytes.data(), chunk);
    if (n < 0) return Fail(Errno());
    if (n == 0) return Fail(ENOSPC);
    written_ += static_cast<uint64_t>(n);
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return 0;
}

uint32_t ReplacingFileWriter::Seek(uint64_t offset) {
  if (error_ != 0) return error_;
  if (!IsOpen()) return Fail(EBADF);
  if (_lseeki64(fd_, static_cast<__int64>(offset), SEEK_SET) < 0) return Fail(Errno());
  return 0;
}

bool ReplacingFileWriter::CanSeek() const {
  return IsOpen() && _lseeki64(fd_, 0, SEEK_CUR) >= 0;
}

uint32_t ReplacingFileWriter::Commit() {
  if (error_ != 0) {
    Abandon();
    return error_;
  }
  if (!IsOpen()) return Fail(EBADF);
  if (_commit(fd_) != 0 && !temp_.empty()) {
    const uint32_t code = Fail(Errno());
    Abandon();
    return code;
  }
  const int fd = fd_;
  fd_ = -1;
  if (ownsFd_ && _close(fd) != 0) {
    const uint32_t code = Fail(Errno());
    Abandon();
    return code;
  }
  if (!temp_.empty()) {
    if (MoveFileExA(temp_.c_str(), target_.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
      // A target held open by a program without delete sharing cannot be replaced.
      const uint32_t code = Fail(FromWin32(GetLastError()));
      Abandon();
      return code;
    }
    detail::UnregisterTemporaryFile(slot_);
    slot_ = -1;
    temp_.clear();
  }
  committed_ = true;
  return 0;
}

uint32_t ReplacingFileWriter::CommitAs(const std::string& path) {
  if (!temp_.empty() && error_ == 0) target_ = path;
  return Commit();
}

void ReplacingFileWriter::CloseQuietly() {
  if (fd_ >= 0 && ownsFd_) _close(fd_);
  fd_ = -1;
}

void ReplacingFileWriter::Abandon() {
  CloseQuietly();
  if (!temp_.empty()) {
    _unlink(temp_.c_str());
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

uint32_t SyncFileSystemOf(const std::string&) {
  return 0;  // every file was flushed by its own Commit
}

bool IsSameFile(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return false;
  std::error_code ec;
  const bool same = std::filesystem::equivalent(a, b, ec);
  return !ec && same;
}

void RemoveTemporaryFilesFromSignalHandler() {
  detail::ForEachTemporaryFile([](const char* path) { _unlink(path); });
}

}  // namespace bf

#endif  // _WIN32
