#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/CameraCommands.h"
#include "sim/SparseFlash.h"

namespace bf::sim {

// The flash of one camera type as the camera itself sees it: a data space written round and
// round (type 0: the data areas of the eight zones, gaps skipped; types 1 and 2: the whole
// device), the write position in it, the wrap flag, and the wire forms of the pointer.
//
// Pointer forms: type 0 names the next sector to be written (192 when empty); type 1 the packed
// address of the next byte to be written (0 when empty); type 2 the last byte written (0 when
// empty), because the NAND readout copies up to and including the pointer.
// Threads: one at a time (owned by the simulated camera).
class SimFlash {
 public:
  explicit SimFlash(CameraType type);
  // The backdrop of a wrapped prefill refers back to its flash: it stays where it was built.
  SimFlash(const SimFlash&) = delete;
  SimFlash& operator=(const SimFlash&) = delete;

  CameraType Type() const { return type_; }
  // Bytes of the data space (type 0: 256,000 sectors; type 1: 128 MiB; type 2: 1 GiB).
  uint64_t DataSize() const { return dataSize_; }
  // Type 0 starts every frame record on a sector, so the wrapped readout's sector probe finds one.
  bool AlignsRecordsToSectors() const { return type_ == CAMERA_SECTORS; }

  // Writes at the write position, going on from the start of the data space (and setting the
  // wrap flag) when the end is reached.
  void Append(const uint8_t* data, std::size_t n);
  void SetWritePosition(uint64_t dataOffset) { writePos_ = dataOffset % dataSize_; }
  uint64_t WritePosition() const { return writePos_; }
  void SetWrapped(bool wrapped) { wrapped_ = wrapped; }
  bool Wrapped() const { return wrapped_; }
  // Erased flash: pointer at its empty value, wrap flag 0, everything reads FF.
  void Erase();

  std::vector<uint8_t> PointerReply() const;
  uint8_t WrapFlagReply() const { return wrapped_ ? 1 : 0; }

  // Physical address of a data-space offset.
  uint64_t PhysicalOf(uint64_t dataOffset) const;
  // Physical reads wrap around the end of the device (high address bits are not decoded).
  void ReadPhysical(uint64_t address, uint8_t* dst, std::size_t n) const;
  // Content of the data space seen from a physical range: calls fill(dataOffset, dst, n) for
  // the data parts and writes FF over the gaps. Used to lay old recordings under a wrapped flash.
  template <class Fill>
  void ForEachDataRun(uint64_t address, uint8_t* dst, std::size_t n, Fill&& fill) const;

  SparseFlash& Store() { return store_; }
  const SparseFlash& Store() const { return store_; }

 private:
  CameraType type_;
  uint64_t dataSize_;
  SparseFlash store_;
  uint64_t writePos_ = 0;
  bool wrapped_ = false;
};

}  // namespace bf::sim

#include "sim/SimFlashRuns.inl"
