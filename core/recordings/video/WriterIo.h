#pragma once
extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cstdint>

#include "host/ReplacingFileWriter.h"

namespace bf::video {

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

}  // namespace bf::video
