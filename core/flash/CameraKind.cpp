#include "flash/CameraKind.h"

#include "flash/FlashAddress.h"

namespace bf {

namespace {

void PutLe(uint32_t value, uint8_t* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLe(const uint8_t* in, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v |= uint32_t{in[i]} << (8 * i);
  return v;
}

void PutBound(const CameraKind& kind, uint32_t value, std::array<uint8_t, 5>& out) {
  if (kind.rangeForm == FlashRangeForm::Nand) {
    out = EncodeNandAddress(value);
  } else {
    PutLe(value, out.data(), kind.addressBytes);
  }
}

}  // namespace

const CameraKind* FindCameraKind(uint8_t typeReply) {
  for (const CameraKind& kind : kCameraKinds) {
    if (kind.type == typeReply) return &kind;
  }
  return nullptr;
}

const CameraKind& KindOf(CameraType type) {
  const CameraKind* kind = FindCameraKind(type);
  return kind != nullptr ? *kind : kCameraKinds[0];
}

uint32_t DecodeFlashPointer(const CameraKind& kind, const uint8_t* reply) {
  if (kind.rangeForm == FlashRangeForm::Nand) return DecodeNandAddress(reply);
  return GetLe(reply, 4);
}

std::vector<uint8_t> EncodeFlashPointer(const CameraKind& kind, uint32_t pointer) {
  if (kind.rangeForm == FlashRangeForm::Nand) {
    const NandAddress a = EncodeNandAddress(pointer);
    return {a.begin(), a.end()};
  }
  std::vector<uint8_t> out(4);
  PutLe(pointer, out.data(), 4);
  return out;
}

FlashReadRequest BuildReadRequest(const CameraKind& kind, uint32_t start, uint32_t end) {
  FlashReadRequest r;
  r.boundBytes = kind.addressBytes;
  PutBound(kind, start, r.start);
  PutBound(kind, end, r.end);
  return r;
}

uint32_t SendReadRequest(FTD2xx& link, const CameraKind& kind, uint32_t start, uint32_t end) {
  const FlashReadRequest r = BuildReadRequest(kind, start, end);
  link.WriteByte(r.code);
  link.WriteBuffer(r.start.data(), r.boundBytes);
  return link.WriteBuffer(r.end.data(), r.boundBytes);
}

uint32_t DecodeRangeBound(const CameraKind& kind, const uint8_t* bytes) {
  if (kind.rangeForm == FlashRangeForm::Nand) return DecodeNandAddress(bytes);
  return GetLe(bytes, kind.addressBytes);
}

FlashByteRange RequestedBytes(const CameraKind& kind, uint32_t start, uint32_t end) {
  switch (kind.rangeForm) {
    case FlashRangeForm::Sectors:
      if (end <= start) return {};
      return {uint64_t{start} * kSectorSize, uint64_t{end - start} * kSectorSize};
    case FlashRangeForm::Packed: {
      const uint32_t first = PackedToLinear(start);
      const uint32_t last = PackedToLinear(end);
      if (last < first) return {};
      return {first, uint64_t{last} - first + 1};
    }
    case FlashRangeForm::Nand:
      break;
  }
  if (end < start) return {};
  return {start, uint64_t{end} - start + 1};
}

}  // namespace bf
