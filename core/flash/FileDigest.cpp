#include "flash/FileDigest.h"

#include "host/ThreadPriority.h"

namespace bf {

FileDigest::~FileDigest() {
  if (!worker_.joinable()) return;
  {
    // Set under the lock: the worker checks it in the same breath as the queue, so it cannot
    // miss it between its check and its wait.
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void FileDigest::Add(std::span<const uint8_t> chunk) {
  if (chunk.empty()) return;
  std::vector<uint8_t> copy = TakeSpare();
  copy.assign(chunk.begin(), chunk.end());
  Add(std::move(copy));
}

std::vector<uint8_t> FileDigest::TakeSpare() {
  std::lock_guard lock(mutex_);
  if (spares_.empty()) return {};
  std::vector<uint8_t> spare = std::move(spares_.back());
  spares_.pop_back();
  return spare;
}

void FileDigest::Add(std::vector<uint8_t>&& chunk) {
  if (chunk.empty()) return;
  const std::size_t size = chunk.size();
  {
    std::unique_lock lock(mutex_);
    if (!worker_.joinable()) worker_ = std::thread([this] { Run(); });
    // A hashing that falls behind holds the copy back rather than fill the memory.
    changed_.wait(lock, [this] { return queue_.size() < kQueuedChunks; });
    queue_.push_back(std::move(chunk));
  }
  size_ += size;
  changed_.notify_all();
}

void FileDigest::Run() {
  if (beside_) LowerThisThreadPriority();
  for (;;) {
    std::vector<uint8_t> chunk;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      chunk = std::move(queue_.front());
      queue_.pop_front();
      hashing_ = true;
    }
    changed_.notify_all();
    whole_.Update(chunk);
    ChunkDigest digest{hashedSize_, chunk.size(), Sha256Hex(chunk)};
    {
      std::lock_guard lock(mutex_);
      chunks_.push_back(std::move(digest));
      hashedSize_ += chunk.size();
      hashing_ = false;
      if (spares_.size() < kSpareChunks) spares_.push_back(std::move(chunk));
    }
    changed_.notify_all();
  }
}

void FileDigest::WaitUntilHashed() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && !hashing_; });
}

std::string FileDigest::FinishHex() {
  WaitUntilHashed();
  return whole_.FinishHex();
}

const std::vector<ChunkDigest>& FileDigest::Chunks() {
  WaitUntilHashed();
  return chunks_;
}

}  // namespace bf
