#include "recordings/video/VideoExport.h"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/rational.h>
}

#include <mutex>
#include <span>

#include "frames/JpegEncoder.h"
#include "frames/OverlayText.h"
#include "frames/RebuildJpeg.h"
#include "recordings/FrameDecodes.h"
#include "recordings/Pacing.h"
#include "recordings/video/BurnIn.h"
#include "recordings/video/TurboJpeg.h"
#include "recordings/video/VideoPacing.h"
#include "recordings/video/VideoWriter.h"

namespace bf {

namespace {

// A picture the camera finished ends with the end-of-image marker, possibly followed by the
// padding of a sector-aligned record. A frame cut short (the last one of a copy that ends
// mid-frame, a damaged stretch) has none and does not decode as a whole.
bool HasEndOfImage(std::span<const uint8_t> jpeg) {
  constexpr std::size_t kLookBack = 512 + 2;
  const std::size_t from = jpeg.size() > kLookBack ? jpeg.size() - kLookBack : 0;
  for (std::size_t i = jpeg.size(); i >= from + 2; --i) {
    if (jpeg[i - 2] == 0xFF && jpeg[i - 1] == 0xD9) return true;
  }
  return false;
}

}  // namespace

ExportOutcome ExportVideo(const Recording& recording, const JpegHeaderTable& table,
                          const VideoExportOptions& options, ExportProgress& progress) {
  // The libraries' progress chatter is not for the operator; their errors still show.
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_ERROR); });
  ExportOutcome outcome;
  const ResolvedRange range = ResolveRange(options.range, recording.Count());
  if (!range.error.empty()) {
    outcome.error = range.error;
    return outcome;
  }
  if (options.rotation != 0 && options.rotation != 90 && options.rotation != 180 &&
      options.rotation != 270) {
    outcome.error = "the rotation must be 0, 90, 180 or 270";
    return outcome;
  }
  if (options.rate > 1000) {
    outcome.error = "the frame rate must be 1..1000";
    return outcome;
  }
  progress.total = range.count;
  const std::span<const FrameIndexEntry> frames =
      std::span(recording.Index()).subspan(range.first, range.count);

  // Presentation times in ms, as the player would show the frames.
  const std::vector<uint32_t> durations = FrameDurationsMs(frames, options.rate);
  const int64_t tick = video::VideoTickMs(options.container, durations);
  const AVRational timeBase = av_make_q(static_cast<int>(tick), 1000);

  video::VideoWriter exporter(options, outcome);
  if (!exporter.OpenWriter()) return outcome;

  video::TurboJpeg jpeg;
  std::vector<uint8_t> turned;
  video::YuvPicture picture;
  std::vector<uint8_t> burnt;
  const bool encode = options.container == VideoContainer::Mp4;
  const bool decode = encode || options.burnIn;
  int64_t timeMs = 0;            // end of the current frame's slot
  int64_t originMs = 0;          // start of the first written frame's slot
  std::vector<uint8_t> payload;  // reused: one allocation for the whole export
  for (uint32_t k = 0; k < range.count; ++k) {
    if (progress.Cancelled()) {
      outcome.status = ExportOutcome::Status::Cancelled;
      outcome.written = 0;
      return outcome;
    }
    const uint32_t i = range.first + k;
    // A skipped frame leaves a gap in the times, which players fill by holding the frame
    // before it, so the frames after it keep their times.
    const int64_t holdMs = durations[k];
    timeMs += durations[k];

    // A recording cut short or written over on disk while it is read: the video would end
    // early or show other pictures, so it is not made at all.
    if (!recording.ReadPayload(i, payload)) {
      outcome.error = "the recording " + recording.Path() +
                      " changed on disk while it was read (frame " + std::to_string(i) +
                      " is no longer there); nothing was written";
      outcome.written = 0;
      return outcome;
    }
    const std::vector<uint8_t> rebuilt = RebuildJpeg(table, recording.Index()[i].header, payload);
    std::span<const uint8_t> data = rebuilt;
    if (!HasEndOfImage(data)) data = {};
    // Copied into the video as it stands, a picture that does not decode would only show up
    // as noise or a blank when the video is played.
    if (!data.empty() && !FrameDecodes(table, recording.Index()[i].header, payload)) {
      outcome.undecodable.push_back(i);
      data = {};
    }
    if (!data.empty() && options.rotation != 0) {
      data = jpeg.Rotate(rebuilt, options.rotation, turned) ? std::span<const uint8_t>(turned)
                                                            : std::span<const uint8_t>();
    }
    video::JpegLayout layout;
    bool usable = !data.empty() && jpeg.Probe(data, layout);
    if (usable && exporter.Started()) {
      usable = layout.width == exporter.Layout().width && layout.height == exporter.Layout().height;
    }
    if (usable && decode) usable = jpeg.Decode(data, picture);
    if (usable && options.burnIn) {
      const FrameHeader& header = recording.Index()[i].header;
      video::BurnInText(picture, BuildOverlayText(header));
      if (!encode) {
        if (!jpeg.Encode(picture, QualityForCompression(header.Compression()), burnt)) {
          outcome.error = "frame " + std::to_string(i) + " could not be encoded again";
          outcome.written = 0;
          return outcome;
        }
        data = burnt;
      }
    }
    if (!usable) {
      ++outcome.skipped;
      progress.FrameDone();
      continue;
    }
    if (!exporter.Started()) {
      if (!exporter.Start(layout, timeBase)) return outcome;
      // The video starts with its first picture, also when frames before it were skipped.
      originMs = timeMs - holdMs;
    }
    const int64_t pts = (timeMs - holdMs - originMs) / tick;
    const bool ok = encode ? exporter.EncodePicture(picture, pts, holdMs / tick)
                           : exporter.WriteJpeg(data, pts, holdMs / tick);
    if (!ok) {
      outcome.written = 0;
      return outcome;
    }
    ++outcome.written;
    progress.FrameDone();
  }
  if (outcome.written == 0) {
    outcome.error = "no frame of the range could be decoded; nothing was written";
    return outcome;
  }
  if (!exporter.Finish()) {
    outcome.written = 0;
    return outcome;
  }
  outcome.status = ExportOutcome::Status::Done;
  return outcome;
}

}  // namespace bf
