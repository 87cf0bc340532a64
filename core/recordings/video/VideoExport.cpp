#include "recordings/video/VideoExport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}
#include <turbojpeg.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>

#include "frames/RebuildJpeg.h"
#include "host/FileErrorText.h"
#include "host/ReplacingFileWriter.h"
#include "recordings/FrameDecodes.h"
#include "recordings/Pacing.h"
#include "recordings/video/TurboJpeg.h"

namespace bf {

namespace {

struct FormatContextFree {
  void operator()(AVFormatContext* c) const { avformat_free_context(c); }
};
struct IoContextFree {
  void operator()(AVIOContext* io) const {
    av_freep(&io->buffer);  // may have been replaced by libavformat; free the current one
    avio_context_free(&io);
  }
};
struct CodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFree {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};

std::string AvErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// The replacing writer as libavformat's output, with the position bookkeeping that seeking
// needs (containers patch their headers and indexes at the end).
class WriterIo {
 public:
  explicit WriterIo(ReplacingFileWriter& writer) : writer_(writer) {}

#if LIBAVFORMAT_VERSION_MAJOR >= 61
  static int Write(void* opaque, const uint8_t* data, int size) {
#else
  static int Write(void* opaque, uint8_t* data, int size) {
#endif
    auto* self = static_cast<WriterIo*>(opaque);
    if (size < 0) return AVERROR(EINVAL);
    if (const uint32_t e = self->writer_.Write({data, static_cast<std::size_t>(size)}); e != 0) {
      return AVERROR(static_cast<int>(e));
    }
    self->position_ += size;
    self->size_ = std::max(self->size_, self->position_);
    return size;
  }

  static int64_t Seek(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<WriterIo*>(opaque);
    whence &= ~AVSEEK_FORCE;
    int64_t target = 0;
    switch (whence) {
      case AVSEEK_SIZE:
        return self->size_;
      case SEEK_SET:
        target = offset;
        break;
      case SEEK_CUR:
        target = self->position_ + offset;
        break;
      case SEEK_END:
        target = self->size_ + offset;
        break;
      default:
        return AVERROR(EINVAL);
    }
    if (target < 0) return AVERROR(EINVAL);
    if (const uint32_t e = self->writer_.Seek(static_cast<uint64_t>(target)); e != 0) {
      return AVERROR(static_cast<int>(e));
    }
    self->position_ = target;
    return target;
  }

 private:
  ReplacingFileWriter& writer_;
  int64_t position_ = 0;
  int64_t size_ = 0;
};

AVPixelFormat PlanarFormat(int subsampling) {
  switch (subsampling) {
    case TJSAMP_444:
      return AV_PIX_FMT_YUV444P;
    case TJSAMP_422:
      return AV_PIX_FMT_YUV422P;
    case TJSAMP_420:
      return AV_PIX_FMT_YUV420P;
    case TJSAMP_GRAY:
      return AV_PIX_FMT_GRAY8;
    case TJSAMP_440:
      return AV_PIX_FMT_YUV440P;
    case TJSAMP_411:
      return AV_PIX_FMT_YUV411P;
    default:
      return AV_PIX_FMT_NONE;
  }
}

// Motion JPEG streams name the full-range formats their pictures decode to.
AVPixelFormat JpegFormat(int subsampling) {
  switch (subsampling) {
    case TJSAMP_444:
      return AV_PIX_FMT_YUVJ444P;
    case TJSAMP_422:
      return AV_PIX_FMT_YUVJ422P;
    case TJSAMP_420:
      return AV_PIX_FMT_YUVJ420P;
    case TJSAMP_GRAY:
      return AV_PIX_FMT_GRAY8;
    default:
      return AV_PIX_FMT_NONE;
  }
}

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

class Exporter {
 public:
  Exporter(const VideoExportOptions& options, ExportOutcome& outcome)
      : options_(options), outcome_(outcome) {}

  // Abandoned half way, the writer (destroyed last) removes its temporary file.

  bool OpenWriter() {
    if (const uint32_t e = writer_.Open(options_.output); e != 0) {
      outcome_.error = FileErrorText(e, options_.output);
      return false;
    }
    return true;
  }

  // Opens the container and the stream for pictures of the first good frame's size.
  bool Start(const video::JpegLayout& layout, AVRational timeBase) {
    layout_ = layout;
    timeBase_ = timeBase;
    const char* name = options_.container == VideoContainer::Avi   ? "avi"
                       : options_.container == VideoContainer::Mp4 ? "mp4"
                                                                   : "matroska";
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, name, nullptr) < 0 || raw == nullptr) {
      return AvFailed("the video container could not be set up", AVERROR(ENOMEM));
    }
    format_.reset(raw);

    constexpr int kIoBuffer = 64 * 1024;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
    if (buffer == nullptr) return AvFailed("out of memory", AVERROR(ENOMEM));
    const bool seekable = writer_.CanSeek();
    io_.reset(avio_alloc_context(buffer, kIoBuffer, 1, &writerIo_, nullptr, &WriterIo::Write,
                                 seekable ? &WriterIo::Seek : nullptr));
    if (!io_) {
      av_free(buffer);
      return AvFailed("out of memory", AVERROR(ENOMEM));
    }
    io_->seekable = seekable ? AVIO_SEEKABLE_NORMAL : 0;
    format_->pb = io_.get();
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;

    stream_ = avformat_new_stream(format_.get(), nullptr);
    if (stream_ == nullptr) return AvFailed("out of memory", AVERROR(ENOMEM));
    stream_->time_base = timeBase_;
    if (options_.rate != 0)
      stream_->avg_frame_rate = AVRational{static_cast<int>(options_.rate), 1};

    if (options_.container == VideoContainer::Mp4) {
      if (!OpenEncoder()) return false;
    } else {
      AVCodecParameters* par = stream_->codecpar;
      par->codec_type = AVMEDIA_TYPE_VIDEO;
      par->codec_id = AV_CODEC_ID_MJPEG;
      par->width = layout.width;
      par->height = layout.height;
      par->format = JpegFormat(layout.subsampling);
      par->codec_tag = options_.container == VideoContainer::Avi ? MKTAG('M', 'J', 'P', 'G') : 0;
    }

    AVDictionary* muxerOptions = nullptr;
    if (options_.container == VideoContainer::Mp4 && !seekable) {
      // A pipe cannot take the index at the end: fragments carry it as they go. (Moving the
      // index to the front afterwards would need to reopen the file by name, which the
      // replacing writer's temporary does not allow; players read it at the end just as well.)
      av_dict_set(&muxerOptions, "movflags", "+frag_keyframe+empty_moov", 0);
    }
    const int rc = avformat_write_header(format_.get(), &muxerOptions);
    av_dict_free(&muxerOptions);
    if (rc < 0) return AvFailed("the video header could not be written", rc);
    headerWritten_ = true;
    return true;
  }

  bool Started() const { return headerWritten_; }
  const video::JpegLayout& Layout() const { return layout_; }

  bool WriteJpeg(std::span<const uint8_t> jpeg, int64_t pts, int64_t duration) {
    const std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!packet || av_new_packet(packet.get(), static_cast<int>(jpeg.size())) < 0) {
      return AvFailed("out of memory", AVERROR(ENOMEM));
    }
    std::copy(jpeg.begin(), jpeg.end(), packet->data);
    packet->pts = pts;
    packet->dts = pts;
    packet->duration = duration;
    packet->flags |= AV_PKT_FLAG_KEY;
    packet->stream_index = stream_->index;
    const int rc = av_write_frame(format_.get(), packet.get());
    if (rc < 0) return AvFailed("a frame could not be written", rc);
    return true;
  }

  bool EncodePicture(const video::YuvPicture& picture, int64_t pts, int64_t duration) {
    const AVPixelFormat source = PlanarFormat(picture.layout.subsampling);
    if (source == AV_PIX_FMT_NONE) return true;  // not reached: probed layouts are known
    scaler_.reset(sws_getCachedContext(scaler_.release(), encoder_->width, encoder_->height, source,
                                       encoder_->width, encoder_->height, AV_PIX_FMT_YUV420P,
                                       SWS_POINT, nullptr, nullptr, nullptr));
    if (!scaler_) return AvFailed("the picture could not be converted", AVERROR(ENOMEM));
    // JPEG pictures use the full 0..255 range; H.264 players expect the video range.
    const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(scaler_.get(), coefficients, 1, coefficients, 0, 0, 1 << 16, 1 << 16);
    if (av_frame_make_writable(frame_.get()) < 0) {
      return AvFailed("out of memory", AVERROR(ENOMEM));
    }
    const uint8_t* planes[4] = {};
    int strides[4] = {};
    for (int p = 0; p < picture.planeCount; ++p) {
      planes[p] = picture.planes[p].data();
      strides[p] = picture.widths[p];
    }
    sws_scale(scaler_.get(), planes, strides, 0, encoder_->height, frame_->data, frame_->linesize);
    frame_->pts = pts;
    durations_[pts] = duration;
    const int rc = avcodec_send_frame(encoder_.get(), frame_.get());
    if (rc < 0) return AvFailed("a frame could not be encoded", rc);
    return DrainEncoder();
  }

  // Flushes the encoder, writes the trailer and puts the file in place.
  bool Finish() {
    if (encoder_) {
      const int rc = avcodec_send_frame(encoder_.get(), nullptr);
      if (rc < 0) return AvFailed("the encoder could not be flushed", rc);
      if (!DrainEncoder()) return false;
    }
    int rc = av_write_trailer(format_.get());
    if (rc < 0) return AvFailed("the video could not be finished", rc);
    avio_flush(io_.get());
    if (io_->error < 0) return AvFailed("the video could not be written", io_->error);
    if (const uint32_t e = writer_.Commit(); e != 0) {
      outcome_.error = FileErrorText(e, options_.output);
      return false;
    }
    return true;
  }

 private:
  bool OpenEncoder() {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (codec == nullptr) {
      outcome_.error = "no H.264 encoder is available (libavcodec without libx264)";
      return false;
    }
    encoder_.reset(avcodec_alloc_context3(codec));
    if (!encoder_) return AvFailed("out of memory", AVERROR(ENOMEM));
    // 4:2:0 needs even sides; an odd last column or row is left out.
    encoder_->width = layout_.width & ~1;
    encoder_->height = layout_.height & ~1;
    if (encoder_->width == 0 || encoder_->height == 0) {
      outcome_.error = "the pictures are too small for H.264";
      return false;
    }
    encoder_->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder_->time_base = timeBase_;
    if (options_.rate != 0) encoder_->framerate = AVRational{static_cast<int>(options_.rate), 1};
    encoder_->thread_count = options_.encoderThreads;
    encoder_->color_range = AVCOL_RANGE_MPEG;
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) {
      encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    av_opt_set(encoder_->priv_data, "preset", "veryfast", 0);
    int rc = avcodec_open2(encoder_.get(), codec, nullptr);
    if (rc < 0) return AvFailed("the H.264 encoder could not be opened", rc);
    rc = avcodec_parameters_from_context(stream_->codecpar, encoder_.get());
    if (rc < 0) return AvFailed("the H.264 encoder could not be opened", rc);

    frame_.reset(av_frame_alloc());
    if (!frame_) return AvFailed("out of memory", AVERROR(ENOMEM));
    frame_->format = encoder_->pix_fmt;
    frame_->width = encoder_->width;
    frame_->height = encoder_->height;
    rc = av_frame_get_buffer(frame_.get(), 0);
    if (rc < 0) return AvFailed("out of memory", rc);
    return true;
  }

  bool DrainEncoder() {
    const std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!packet) return AvFailed("out of memory", AVERROR(ENOMEM));
    for (;;) {
      int rc = avcodec_receive_packet(encoder_.get(), packet.get());
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
      if (rc < 0) return AvFailed("a frame could not be encoded", rc);
      if (const auto it = durations_.find(packet->pts); it != durations_.end()) {
        packet->duration = it->second;
        durations_.erase(it);
      }
      av_packet_rescale_ts(packet.get(), encoder_->time_base, stream_->time_base);
      packet->stream_index = stream_->index;
      rc = av_write_frame(format_.get(), packet.get());
      av_packet_unref(packet.get());
      if (rc < 0) return AvFailed("a frame could not be written", rc);
    }
  }

  // A libav failure; a failure of the file itself is reported with the file's error text.
  bool AvFailed(const std::string& what, int code) {
    if (writer_.Error() != 0) {
      outcome_.error = FileErrorText(writer_.Error(), options_.output);
    } else {
      outcome_.error = what + ": " + AvErrorText(code);
    }
    return false;
  }

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
  // AVI has no timestamps, only a fixed frame period: the largest one every time is a multiple
  // of (longer holds become empty chunks, as AVI writers do it).
  int64_t tick = 1;
  if (options.container == VideoContainer::Avi) {
    uint32_t g = 0;
    for (uint32_t d : durations) g = std::gcd(g, d);
    tick = std::max<uint32_t>(g, 1);
  }
  const AVRational timeBase = av_make_q(static_cast<int>(tick), 1000);

  Exporter exporter(options, outcome);
  if (!exporter.OpenWriter()) return outcome;

  video::TurboJpeg jpeg;
  std::vector<uint8_t> turned;
  video::YuvPicture picture;
  const bool encode = options.container == VideoContainer::Mp4;
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
    if (usable && encode) usable = jpeg.Decode(data, picture);
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
