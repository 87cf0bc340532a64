#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace bf::sim {

// Flash contents held in 64 KiB chunks that exist only once written, so a 1 GiB device costs
// memory in proportion to what was recorded. A chunk never written reads as the backdrop (old
// recordings generated on demand) or, without one, as erased flash (FF).
// Threads: one at a time (owned by the simulated camera).
class SparseFlash {
 public:
  static constexpr std::size_t kChunkSize = 64 * 1024;
  // Fills dst with n bytes of the content starting at a physical address.
  using Backdrop = std::function<void(uint64_t address, uint8_t* dst, std::size_t n)>;

  explicit SparseFlash(uint64_t capacity);

  uint64_t Capacity() const { return capacity_; }
  // address + n must not exceed the capacity.
  void Read(uint64_t address, uint8_t* dst, std::size_t n) const;
  void Write(uint64_t address, const uint8_t* src, std::size_t n);
  // Everything reads FF again; the backdrop is dropped.
  void EraseAll();
  void SetBackdrop(Backdrop backdrop) { backdrop_ = std::move(backdrop); }
  std::size_t AllocatedBytes() const { return allocatedChunks_ * kChunkSize; }

 private:
  using Chunk = std::array<uint8_t, kChunkSize>;
  void FillUnwritten(uint64_t address, uint8_t* dst, std::size_t n) const;

  uint64_t capacity_;
  std::vector<std::unique_ptr<Chunk>> chunks_;
  std::size_t allocatedChunks_ = 0;
  Backdrop backdrop_;
};

}  // namespace bf::sim
