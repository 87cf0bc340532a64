#pragma once
#include <functional>
#include <string>

#include "frames/JpegHeaderTable.h"
#include "host/SettingsStore.h"
#include "host/UserPrompts.h"

namespace bf::ui {

// Loads the header table the main window starts with, from where HeaderTableFolder says.
// A file that cannot be read (missing, no access, not a regular file) is reported in an error
// box and the result is false: the program ends before any window appears. A file that was
// read but is no header table for one picture size is reported in an error box too, and the
// result is true with `out` left empty: the window runs on, plays nothing and says so once,
// rather than show garbage. GUI thread, before the main window exists.
bool LoadStartupHeaderTable(SettingsStore& settings, UserPrompts& prompts,
                            const std::string& programFolder,
                            const std::function<bool(const std::string& path)>& fileExists,
                            JpegHeaderTable& out);

}  // namespace bf::ui
