#include "recordings/video/VideoWriter.h"

#include <turbojpeg.h>

#include <algorithm>

#include "host/FileErrorText.h"

namespace bf::video {

namespace {

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

}  // namespace

bool VideoWriter::OpenWriter() {
  if (const uint32_t e = writer_.Open(options_.output); e != 0) {
    outcome_.error = FileErrorText(e, options_.output);
    return false;
  }
  return true;
}

bool VideoWriter::Start(const video::JpegLayout& layout, AVRational timeBase) {
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
  if (options_.rate != 0) stream_->avg_frame_rate = AVRational{static_cast<int>(options_.rate), 1};

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

bool VideoWriter::WriteJpeg(std::span<const uint8_t> jpeg, int64_t pts, int64_t duration) {
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

bool VideoWriter::Finish() {
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

bool VideoWriter::AvFailed(const std::string& what, int code) {
  if (writer_.Error() != 0) {
    outcome_.error = FileErrorText(writer_.Error(), options_.output);
  } else {
    outcome_.error = what + ": " + AvErrorText(code);
  }
  return false;
}

}  // namespace bf::video
