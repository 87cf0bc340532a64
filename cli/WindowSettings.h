#pragma once
#include <string>

namespace bf::cli {

// The window's settings that bfk follows, read from the user's settings store through QSettings
// where bfk has QtCore; a build without Qt (the Windows tree) reads the defaults. Read afresh at
// every call, so a value the window changed meanwhile counts. bfk's one thread.
int WindowPlayerFps();
std::string WindowInstallPath();

}  // namespace bf::cli
