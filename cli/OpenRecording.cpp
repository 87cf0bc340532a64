#include "cli/OpenRecording.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "host/ReportSystemError.h"

namespace bf::cli {

namespace {

bool IsEmptyFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  const auto size = std::filesystem::file_size(path, ec);
  return !ec && size == 0;
}

}  // namespace

bool OpenRecordingOrSay(const std::string& command, const std::string& path, Recording& recording,
                        std::size_t frameLimit) {
  switch (recording.Open(path, frameLimit, Recording::Pairing::JoinSecond)) {
    case Recording::OpenStatus::SystemError:
#ifndef _WIN32
      // What the file reports for a FIFO, a device or a socket, which are never read.
      if (recording.SystemError() == ENODEV) {
        std::fprintf(stderr, "bfk %s: %s is not a regular file\n", command.c_str(), path.c_str());
        return false;
      }
#endif
      if (IsEmptyFile(path)) {
        std::fprintf(stderr, "bfk %s: %s is empty (0 bytes), not a recording\n", command.c_str(),
                     path.c_str());
      } else {
        std::fprintf(stderr, "bfk %s: cannot open %s: %s\n", command.c_str(), path.c_str(),
                     SystemErrorText(recording.SystemError()).c_str());
      }
      return false;
    case Recording::OpenStatus::NotRecording:
      std::fprintf(stderr, "bfk %s: %s is not a recording (no usable frame record)\n",
                   command.c_str(), path.c_str());
      return false;
    case Recording::OpenStatus::Opened:
      break;
  }
  if (recording.IsJoined()) {
    const std::string& other =
        recording.FirstPath() == path ? recording.SecondPath() : recording.FirstPath();
    std::fprintf(stderr, "bfk %s: joined with %s (the copy went round the end of the flash)\n",
                 command.c_str(), other.c_str());
  }
  return true;
}

}  // namespace bf::cli
