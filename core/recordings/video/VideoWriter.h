#pragma once
extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>

#include "host/ReplacingFileWriter.h"
#include "recordings/video/AvHandles.h"
#include "recordings/video/TurboJpeg.h"
#include "recordings/video/VideoExport.h"
#include "recordings/video/WriterIo.h"

namespace bf::video {

// One video file being made: the replacing writer, the container on it and the one picture
// stream, which takes the camera's JPEGs as they stand (Motion JPEG) or encodes decoded
// pictures as H.264 (MP4). Failures land in the outcome's error. The export's thread.
class VideoWriter {
 public:
  VideoWriter(const VideoExportOptions& options, ExportOutcome& outcome)
      : options_(options), outcome_(outcome) {}

  // Abandoned half way, the writer (destroyed last) removes its temporary file.

  bool OpenWriter();

  // Opens the container and the stream for pictures of the first good frame's size.
  bool Start(const video::JpegLayout& layout, AVRational timeBase);

  bool Started() const { return headerWritten_; }
  const video::JpegLayout& Layout() const { return layout_; }

  bool WriteJpeg(std::span<const uint8_t> jpeg, int64_t pts, int64_t duration);

  bool EncodePicture(const video::YuvPicture& picture, int64_t pts, int64_t duration);

  // Flushes the encoder, writes the trailer and puts the file in place.
  bool Finish();

 private:
  bool OpenEncoder();

  bool DrainEncoder();

  // A libav failure; a failure of the file itself is reported with the file's error text.
  bool AvFailed(const std::string& what, int code);

  const VideoExportOptions& options_;
  ExportOutcome& outcome_;
  ReplacingFileWriter writer_;
  WriterIo writerIo_{writer_};
  std::unique_ptr<AVFormatContext, FormatContextFree> format_;
  std::unique_ptr<AVIOContext, IoContextFree> io_;
  AVStream* stream_ = nullptr;  // owned by format_
  std::unique_ptr<AVCodecContext, CodecContextFree> encoder_;
  std::unique_ptr<AVFrame, FrameFree> frame_;
  std::unique_ptr<SwsContext, SwsFree> scaler_;
  std::map<int64_t, int64_t> durations_;  // by pts, for the packets the encoder hands back
  video::JpegLayout layout_;
  AVRational timeBase_{1, 1000};
  bool headerWritten_ = false;
};

}  // namespace bf::video
