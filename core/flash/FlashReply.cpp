#include "flash/FlashReply.h"

namespace bf {

void ExpectNothingMore(FTD2xx& link) {
  uint32_t waiting = 0;
  link.GetQueueStatus(&waiting);
  if (waiting != 0) throw FlashReplyError();
}

void ReadReply(FTD2xx& link, std::span<uint8_t> reply) {
  const auto length = static_cast<uint32_t>(reply.size());
  const uint32_t received =
      link.FinishPartialRead(reply.data(), length, link.Read(reply.data(), length));
  if (received > 0 && received < length) throw FlashReplyError();
  ExpectNothingMore(link);
}

uint32_t ReadFlashBytes(FTD2xx& link, std::span<uint8_t> bytes, const std::atomic<int>* stop) {
  const auto length = static_cast<uint32_t>(bytes.size());
  const uint32_t received = link.ReadWithTimeout(bytes.data(), length, stop);
  if (received == length) ExpectNothingMore(link);
  return received;
}

}  // namespace bf
