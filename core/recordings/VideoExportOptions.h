#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "recordings/ExportProgress.h"

// What a video export is asked for, apart from the export itself (recordings/video/), so that
// bfk parses its command line without the ffmpeg libraries.

namespace bf {

// Containers the export writes. Matroska and AVI carry the rebuilt JPEGs as they are (a Motion
// JPEG stream, no re-encoding); MP4 carries H.264 in 4:2:0, which phones and browsers play.
enum class VideoContainer { Matroska, Avi, Mp4 };

// By the output's extension (.mkv, .avi, .mp4, any case); "-" (standard output) is Matroska,
// the one of the three that can be streamed. Nothing for any other name.
std::optional<VideoContainer> ContainerForPath(const std::string& path);

struct VideoExportOptions {
  std::string output;  // file name, or "-" for standard output
  VideoContainer container = VideoContainer::Matroska;
  ExportRange range;
  // Frame times as the player paces them: 0 = by the recorded timestamps ("Как в оригинале"),
  // otherwise this fixed rate in frames per second (1..1000).
  uint32_t rate = 10;
  int rotation = 0;  // clockwise: 0, 90, 180 or 270
  // Each frame's overlay line (its local time and camera settings, as the window shows it
  // above the picture) drawn into the top of the picture; Motion JPEG frames are then encoded
  // again at their own compression level's quality.
  bool burnIn = false;
  // H.264 only: encoder threads, 0 = as many as the encoder likes.
  int encoderThreads = 0;
};

}  // namespace bf
