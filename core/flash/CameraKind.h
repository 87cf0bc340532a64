#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "link/CameraCommands.h"
#include "link/FTD2xx.h"

namespace bf {

// How CMD_READ_FLASH names its range for one camera type.
enum class FlashRangeForm : uint8_t {
  Sectors,  // two 3-byte sector numbers, end excluded: (end - start) * 512 bytes
  Packed,   // two 4-byte PackedAddress values, end included
  Nand,     // two 5-byte NandAddress values, end included
};

// Everything that tells the three camera types apart on the wire. The copy flows and the
// simulated camera both read this one table.
struct CameraKind {
  CameraType type;
  FlashRangeForm rangeForm;
  uint8_t addressBytes;       // bytes of each bound of a CMD_READ_FLASH request
  uint8_t pointerReplyBytes;  // reply of CMD_GET_FLASH_POINTER
  uint32_t emptyPointer;      // the (decoded) pointer of an empty flash
  uint64_t dataBytes;         // bytes that can hold recordings
  uint64_t deviceBytes;       // bytes of the whole flash
  uint32_t chunkBytes;        // longest reply one copy request asks for
};

inline constexpr std::array<CameraKind, 3> kCameraKinds = {{
    {CAMERA_SECTORS, FlashRangeForm::Sectors, 3, 4, 192, 131'072'000, 134'217'728, 63'488},
    {CAMERA_PACKED_PAGES, FlashRangeForm::Packed, 4, 4, 0, 134'217'728, 134'217'728, 524'289},
    {CAMERA_NAND_PAGES, FlashRangeForm::Nand, 5, 5, 0, 1'073'741'824, 1'073'741'824, 524'289},
}};

// The kind for a CMD_GET_CAMERA_TYPE reply; nullptr for any unsupported value.
const CameraKind* FindCameraKind(uint8_t typeReply);
const CameraKind& KindOf(CameraType type);

// The pointer in a CMD_GET_FLASH_POINTER reply of pointerReplyBytes bytes (sector or packed
// address little-endian, or a NandAddress decoded to its linear address), and back.
uint32_t DecodeFlashPointer(const CameraKind& kind, const uint8_t* reply);
std::vector<uint8_t> EncodeFlashPointer(const CameraKind& kind, uint32_t pointer);

// A set wrap flag means a wrapped recording, whatever the pointer says.
inline constexpr bool IsWrapped(uint8_t wrapFlag) {
  return wrapFlag != 0;
}
// Empty: the empty pointer and no wrap. A camera that did not answer gives the zeroed buffers,
// which look empty to types 1 and 2 and give type 0 the pointer 0, which is no data sector.
inline constexpr bool IsFlashEmpty(const CameraKind& kind, uint32_t pointer, uint8_t wrapFlag) {
  return pointer == kind.emptyPointer && !IsWrapped(wrapFlag);
}

// One CMD_READ_FLASH request: the code byte, then start and end, each its own write.
struct FlashReadRequest {
  uint8_t code = CMD_READ_FLASH;
  uint8_t boundBytes = 0;
  std::array<uint8_t, 5> start{};
  std::array<uint8_t, 5> end{};
};
// Bounds are sector numbers (type 0; only the low 3 bytes are sent), packed addresses (type 1)
// or linear addresses (type 2).
FlashReadRequest BuildReadRequest(const CameraKind& kind, uint32_t start, uint32_t end);
// Sends the request as writes of 1, n and n bytes; returns the count of the last write. Throws
// FTDException on a failed device call. Called on the thread that owns the link.
uint32_t SendReadRequest(FTD2xx& link, const CameraKind& kind, uint32_t start, uint32_t end);
// The sector form: CMD_READ_FLASH with two 3-byte sector numbers, end excluded.
inline uint32_t RequestFlashRange(FTD2xx& link, uint32_t start, uint32_t end) {
  return SendReadRequest(link, kCameraKinds[CAMERA_SECTORS], start, end);
}

// The camera's side: a bound as sent, and the device bytes a request asks for (count 0 for an
// empty or reversed range).
uint32_t DecodeRangeBound(const CameraKind& kind, const uint8_t* bytes);
struct FlashByteRange {
  uint64_t first = 0;
  uint64_t count = 0;
};
FlashByteRange RequestedBytes(const CameraKind& kind, uint32_t start, uint32_t end);

}  // namespace bf
