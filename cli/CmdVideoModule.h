#pragma once
#include <string>

#include "frames/JpegHeaderTable.h"
#include "recordings/ExportProgress.h"
#include "recordings/Recording.h"
#include "recordings/VideoExportOptions.h"

namespace bf::cli {

// bfk's video export is a module of its own, loaded by `bfk video` alone: the ffmpeg libraries
// behind it take about a tenth of a second to load, which every other command would pay at
// start-up. The module holds the video sources only and takes the rest of the core from bfk
// itself (bfk exports its symbols), so both share one list of temporaries for the cleanup on
// Ctrl-C. (Windows builds with the video export link it into bfk.exe instead.)
inline constexpr const char* kVideoModuleFile = "bfk-video.so";
inline constexpr const char* kVideoModuleEntry = "bfk_video_export";

// The module's entry: ExportVideo with its result in `outcome`.
using VideoModuleEntry = void (*)(const Recording* recording, const JpegHeaderTable* table,
                                  const VideoExportOptions* options, ExportProgress* progress,
                                  ExportOutcome* outcome);

// Loads the module from bfk's folder, else from the installed library folder. The entry, or
// nullptr with the reason in `error`. Main thread; the module stays loaded until bfk ends.
VideoModuleEntry LoadVideoModule(std::string& error);

}  // namespace bf::cli
