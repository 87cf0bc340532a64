#pragma once
#include <string>

#include "recordings/Recording.h"

namespace bf::cli {

// Opens a recording; on failure prints "bfk COMMAND: why" and returns false.
bool OpenRecordingOrSay(const std::string& command, const std::string& path, Recording& recording);

}  // namespace bf::cli
