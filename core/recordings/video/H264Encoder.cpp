// The H.264 side of VideoWriter: the encoder's setup, and decoded pictures through it.
#include <turbojpeg.h>

extern "C" {
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "recordings/video/VideoWriter.h"

namespace bf::video {

namespace {

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

}  // namespace

bool VideoWriter::EncodePicture(const video::YuvPicture& picture, int64_t pts, int64_t duration) {
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

bool VideoWriter::OpenEncoder() {
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

bool VideoWriter::DrainEncoder() {
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

}  // namespace bf::video
