#pragma once
#include <cstdint>
#include <string>

namespace bf {

// The standard file-error texts of the original platform's file class, chosen from a system
// error code (errno) and with %1 replaced by the file name. A folder and a taken name, which
// that platform reports as a denied access, are called what they are.
//   ENOENT                        "%1 was not found."
//   ENOTDIR, ENAMETOOLONG, ELOOP  "%1 contains an incorrect path."
//   EACCES, EPERM, EROFS          "Access to %1 was denied."
//   EISDIR                        "%1 is a folder, not a file."
//   EEXIST                        "Could not create a new file next to %1: the names tried
//                                 were already taken."
//   EMFILE, ENFILE                "Could not open %1 because there are too many open files."
//   EBUSY, ETXTBSY                "A sharing violation occurred while accessing %1."
//   ENOSPC, EDQUOT, EFBIG         "Disk full while accessing %1."
//   EIO                           "A hardware I/O error was reported while accessing %1."
//   anything else                 "An unknown error occurred while accessing %1."
std::string FileErrorText(uint32_t systemError, const std::string& fileName);

// The same for a code as the platform's own file calls leave it: errno here; on Windows the
// code of GetLastError, which is first taken to the C runtime's errno.
std::string FileErrorTextForSystemCode(uint32_t systemCode, const std::string& fileName);

#ifdef _WIN32
// The C runtime's errno for a Win32 error code of the file calls (GetLastError), 0 for a code
// that has none of its own.
uint32_t ErrnoOfWin32(uint32_t code);
#endif

}  // namespace bf
