#include "cli/CmdVideoModule.h"

#ifdef BF_VIDEO_LINKED

// Built into bfk itself (cli/video_module/VideoModuleEntry.cpp).
extern "C" void bfk_video_export(const bf::Recording* recording, const bf::JpegHeaderTable* table,
                                 const bf::VideoExportOptions* options,
                                 bf::ExportProgress* progress, bf::ExportOutcome* outcome);

bf::cli::VideoModuleEntry bf::cli::LoadVideoModule(std::string&) {
  return &bfk_video_export;
}

#else

#include <dlfcn.h>

#include <filesystem>

#include "frames/HeaderTableLocation.h"
#include "frames/RebuildJpeg.h"
#include "recordings/Pacing.h"

#ifndef BF_LIB_FROM_BIN
#define BF_LIB_FROM_BIN "../lib/brindleflash"
#endif

namespace bf::cli {

namespace {

// Core functions the module uses that no command of bfk calls: named here so that bfk links
// them in and the module can bind to them. (A module missing one is refused at load, as
// dlopen binds every symbol at once; `bfk video`'s tests load it.)
using AnyFunction = void (*)();
[[gnu::used]] const AnyFunction kKeptForTheModule[] = {
    reinterpret_cast<AnyFunction>(&RebuildJpeg),
    reinterpret_cast<AnyFunction>(&FrameDurationsMs),
};

}  // namespace

VideoModuleEntry LoadVideoModule(std::string& error) {
  const std::filesystem::path bin(RunningProgramFolder());
  std::string reasons;
  for (const std::filesystem::path& folder : {bin, (bin / BF_LIB_FROM_BIN).lexically_normal()}) {
    const std::string path = (folder / kVideoModuleFile).string();
    if (!std::filesystem::exists(path)) continue;
    // Every symbol is bound now, so that a module that does not fit this bfk is refused here
    // rather than failing half way through a video.
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      const char* why = ::dlerror();
      reasons += std::string("; ") + (why != nullptr ? why : path);
      continue;
    }
    if (void* entry = ::dlsym(module, kVideoModuleEntry)) {
      return reinterpret_cast<VideoModuleEntry>(entry);
    }
    reasons += "; " + path + " has no entry " + kVideoModuleEntry;
    ::dlclose(module);
  }
  error = std::string("the video export (") + kVideoModuleFile + ") could not be loaded from " +
          bin.string() + " or " + (bin / BF_LIB_FROM_BIN).lexically_normal().string() + reasons;
  return nullptr;
}

}  // namespace bf::cli

#endif  // BF_VIDEO_LINKED
