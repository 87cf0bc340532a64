#include "mainwindow/FileWriter.h"

#include <cerrno>

namespace bf::ui {
namespace {

std::string WithPath(std::string pattern, const std::string& path) {
  const auto at = pattern.find("%1");
  if (at != std::string::npos) pattern.replace(at, 2, path);
  return pattern;
}

}  // namespace

std::string FileErrorText(int err, const std::string& path) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return WithPath("%1 was not found.", path);
    case EACCES:
    case EPERM:
    case EROFS:
      return WithPath("Access to %1 was denied.", path);
    case EMFILE:
    case ENFILE:
      return WithPath("Too many open files.  Could not access %1.", path);
    case ENOSPC:
    case EDQUOT:
      return WithPath("A disk full error occurred while writing %1.", path);
    case EIO:
      return WithPath("A hardware I/O error was reported while accessing %1.", path);
    case EISDIR:
    case EINVAL:
    case ENAMETOOLONG:
      return WithPath("%1 contains an invalid path.", path);
    default:
      return WithPath("An unknown error occurred while accessing %1.", path);
  }
}

std::optional<FileWriter> FileWriter::Create(const std::string& path, std::string* error) {
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    if (error != nullptr) *error = FileErrorText(errno, path);
    return std::nullopt;
  }
  return FileWriter(path, file);
}

bool FileWriter::Write(std::span<const uint8_t> bytes, std::string* error) {
  if (!file_) {
    if (error != nullptr) *error = FileErrorText(EBADF, path_);
    return false;
  }
  errno = 0;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
    if (error != nullptr) *error = FileErrorText(errno == 0 ? EIO : errno, path_);
    return false;
  }
  return true;
}

bool FileWriter::Close(std::string* error) {
  if (!file_) return true;
  errno = 0;
  const bool flushed = std::fflush(file_.get()) == 0;
  const int flushErr = errno;
  const bool closed = std::fclose(file_.release()) == 0;
  if (flushed && closed) return true;
  if (error != nullptr)
    *error = FileErrorText(!flushed ? flushErr : (errno == 0 ? EIO : errno), path_);
  return false;
}

}  // namespace bf::ui
