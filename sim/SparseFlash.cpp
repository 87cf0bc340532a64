#include "sim/SparseFlash.h"

#include <algorithm>
#include <cstring>

namespace bf::sim {

SparseFlash::SparseFlash(uint64_t capacity)
    : capacity_(capacity), chunks_((capacity + kChunkSize - 1) / kChunkSize) {}

void SparseFlash::FillUnwritten(uint64_t address, uint8_t* dst, std::size_t n) const {
  if (backdrop_) {
    backdrop_(address, dst, n);
  } else {
    std::memset(dst, 0xFF, n);
  }
}

void SparseFlash::Read(uint64_t address, uint8_t* dst, std::size_t n) const {
  while (n > 0) {
    const std::size_t index = static_cast<std::size_t>(address / kChunkSize);
    const std::size_t offset = static_cast<std::size_t>(address % kChunkSize);
    const std::size_t part = std::min(n, kChunkSize - offset);
    if (const Chunk* chunk = chunks_[index].get()) {
      std::memcpy(dst, chunk->data() + offset, part);
    } else {
      FillUnwritten(address, dst, part);
    }
    address += part;
    dst += part;
    n -= part;
  }
}

void SparseFlash::Write(uint64_t address, const uint8_t* src, std::size_t n) {
  while (n > 0) {
    const std::size_t index = static_cast<std::size_t>(address / kChunkSize);
    const std::size_t offset = static_cast<std::size_t>(address % kChunkSize);
    const std::size_t part = std::min(n, kChunkSize - offset);
    auto& chunk = chunks_[index];
    if (!chunk) {
      chunk = std::make_unique<Chunk>();
      FillUnwritten(address - offset, chunk->data(), kChunkSize);
      ++allocatedChunks_;
    }
    std::memcpy(chunk->data() + offset, src, part);
    address += part;
    src += part;
    n -= part;
  }
}

void SparseFlash::EraseAll() {
  for (auto& chunk : chunks_) chunk.reset();
  allocatedChunks_ = 0;
  backdrop_ = nullptr;
}

}  // namespace bf::sim
