#pragma once
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <string>

namespace bf::video {

// Deleters for the libav objects the export owns, and libav's error texts.
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

inline std::string AvErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace bf::video
