#include "host/FileErrorText.h"

#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#endif

namespace bf {

namespace {

const char* Template(uint32_t code) {
  switch (static_cast<int>(code)) {
    case ENOENT:
      return "%1 was not found.";
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return "%1 contains an incorrect path.";
    case EACCES:
    case EPERM:
    case EROFS:
      return "Access to %1 was denied.";
    // A folder named where a file is to be written: access is not the problem.
    case EISDIR:
      return "%1 is a folder, not a file.";
    // Only the replacing writer's exclusive creation of its temporary meets this, when every
    // name it drew was taken.
    case EEXIST:
      return "Could not create a new file next to %1: the names tried were already taken.";
    case EMFILE:
    case ENFILE:
      return "Could not open %1 because there are too many open files.";
    case EBUSY:
    case ETXTBSY:
      return "A sharing violation occurred while accessing %1.";
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
      return "Disk full while accessing %1.";
    case EIO:
      return "A hardware I/O error was reported while accessing %1.";
    default:
      return "An unknown error occurred while accessing %1.";
  }
}

}  // namespace

#ifdef _WIN32
uint32_t ErrnoOfWin32(uint32_t code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
      return ENOENT;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
      return ENOTDIR;
    case ERROR_ACCESS_DENIED:
      return EACCES;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EBUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    default:
      return 0;  // no errno of its own: the unknown-error text
  }
}
#endif

std::string FileErrorTextForSystemCode(uint32_t systemCode, const std::string& fileName) {
#ifdef _WIN32
  return FileErrorText(ErrnoOfWin32(systemCode), fileName);
#else
  return FileErrorText(systemCode, fileName);
#endif
}

std::string FileErrorText(uint32_t systemError, const std::string& fileName) {
  std::string text = Template(systemError);
  const std::size_t at = text.find("%1");
  if (at != std::string::npos) text.replace(at, 2, fileName);
  return text;
}

}  // namespace bf
