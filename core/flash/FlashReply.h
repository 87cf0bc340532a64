#pragma once
#include <atomic>
#include <cstdint>
#include <span>
#include <stdexcept>

#include "link/FTD2xx.h"

namespace bf {

// What the copy shows when a reply of the camera was shorter or longer than asked: the copy
// cannot go on, as every later byte would be taken for the wrong address. It is the readout's
// own text for memory it could not read.
inline constexpr const char* kBadFlashReplyText =
    "Не возможно сохранить. \nОшибка при чтении содержимого памяти";

// A reply of the camera did not have the length asked for: it stopped part way (the camera
// fell silent), or more bytes were waiting after it.
class FlashReplyError : public std::runtime_error {
 public:
  FlashReplyError() : std::runtime_error(kBadFlashReplyText) {}
};

// The link has no framing: bytes waiting once a reply has been read in full are bytes the
// camera sent beyond it, and the next reply would begin with them. Throws FlashReplyError
// then, and FTDException. One queue-status call.
void ExpectNothingMore(FTD2xx& link);

// One fixed-length answer (camera type, pointer, wrap flag, a probed sector): one Read, a part
// finished with FTD2xx::FinishPartialRead. No byte at all is a camera that does not answer, and
// leaves the buffer as the caller preset it. An answer that stops part way, or bytes waiting after
// it (also after no answer: a late one), throw FlashReplyError. Throws FTDException.
void ReadReply(FTD2xx& link, std::span<uint8_t> reply);

// A run of flash bytes (a chunk of the copy or a search window) read with ReadWithTimeout;
// returns the count that arrived, fewer also when stop was set on the way. Throws
// FlashReplyError when bytes are waiting after a run that arrived whole, and FTDException.
uint32_t ReadFlashBytes(FTD2xx& link, std::span<uint8_t> bytes,
                        const std::atomic<int>* stop = nullptr);

}  // namespace bf
