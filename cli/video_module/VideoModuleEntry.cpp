// The entry point of bfk's video export module (see cli/CmdVideoModule.h).
#include "cli/CmdVideoModule.h"
#include "recordings/video/VideoExport.h"

#ifdef _WIN32
#define BF_MODULE_ENTRY  // linked into bfk.exe, not loaded
#else
#define BF_MODULE_ENTRY __attribute__((visibility("default")))
#endif

extern "C" BF_MODULE_ENTRY void bfk_video_export(const bf::Recording* recording,
                                                 const bf::JpegHeaderTable* table,
                                                 const bf::VideoExportOptions* options,
                                                 bf::ExportProgress* progress,
                                                 bf::ExportOutcome* outcome) {
  *outcome = bf::ExportVideo(*recording, *table, *options, *progress);
}

// Checked against the loader's type, so that the two cannot drift apart.
[[maybe_unused]] static constexpr bf::cli::VideoModuleEntry kEntryMatchesTheLoader =
    &bfk_video_export;
