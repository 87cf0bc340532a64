#include "cli/OpenRecording.h"

#include <cstdio>

#include "host/ReportSystemError.h"

namespace bf::cli {

bool OpenRecordingOrSay(const std::string& command, const std::string& path, Recording& recording) {
  switch (recording.Open(path)) {
    case Recording::OpenStatus::SystemError:
      std::fprintf(stderr, "bfk %s: cannot open %s: %s\n", command.c_str(), path.c_str(),
                   SystemErrorText(recording.SystemError()).c_str());
      return false;
    case Recording::OpenStatus::NotRecording:
      std::fprintf(stderr, "bfk %s: %s is not a recording (no usable frame record)\n",
                   command.c_str(), path.c_str());
      return false;
    case Recording::OpenStatus::Opened:
      break;
  }
  return true;
}

}  // namespace bf::cli
