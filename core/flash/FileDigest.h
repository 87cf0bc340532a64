#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "host/Sha256.h"

namespace bf {

// One whole chunk as it went to the file.
struct ChunkDigest {
  uint64_t offset = 0;
  uint64_t length = 0;
  std::string sha256;
};

// The digests of one output file, fed with every chunk once the file has taken it (the file is
// never read back for them). The hashing runs on a thread of its own, so that the copy sends its
// next request while the last chunk is still being hashed; at most kQueuedChunks wait for it.
//
// Threads: HandOver and HandedOver on the copying thread; Add and Size on the thread that
// writes the file (the copying thread, or the output's writing thread); FinishHex, Chunks and
// keptAs on the GUI thread once the copy has ended and its writes are done (they wait for the
// hashing to catch up).
class FileDigest {
 public:
  FileDigest() = default;
  // beside: the digest is made beside a copy, whose requests must not wait for it; its thread
  // runs at a lower priority.
  explicit FileDigest(bool beside) : beside_(beside) {}
  ~FileDigest();
  FileDigest(const FileDigest&) = delete;
  FileDigest& operator=(const FileDigest&) = delete;

  void Add(std::span<const uint8_t> chunk);
  // The same, taking the bytes over instead of copying them.
  void Add(std::vector<uint8_t>&& chunk);
  // A buffer whose hashing is done, to be filled with the next chunk: its memory is used again
  // rather than fresh pages faulted in for every chunk. Empty when there is none. Any thread.
  std::vector<uint8_t> TakeSpare();
  // The file's digest; call once, when the file is complete.
  std::string FinishHex();
  // Bytes added so far: in the file (hashed or not yet).
  uint64_t Size() const { return size_.load(); }
  // Notes a chunk handed to the file, which may still be writing it: where the next chunk will
  // stand in the file.
  void HandOver(uint64_t bytes) { handedOver_ += bytes; }
  uint64_t HandedOver() const { return handedOver_.load(); }
  const std::vector<ChunkDigest>& Chunks();

  // The name the bytes are under once the file is in place; empty while it is not (or when
  // nothing was kept).
  std::string keptAs;

 private:
  static constexpr std::size_t kQueuedChunks = 8;
  static constexpr std::size_t kSpareChunks = 2;
  void Run();
  void WaitUntilHashed();

  std::atomic<uint64_t> size_{0};
  std::atomic<uint64_t> handedOver_{0};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<uint8_t>> queue_;
  std::vector<std::vector<uint8_t>> spares_;
  bool beside_ = false;
  bool hashing_ = false;   // the worker holds a chunk taken from the queue
  bool stopping_ = false;  // the worker ends once the queue is empty
  // Touched by the worker only while it runs, read by the others once it has caught up.
  Sha256 whole_;
  uint64_t hashedSize_ = 0;
  std::vector<ChunkDigest> chunks_;
  std::thread worker_;  // last: started on the first chunk, stopped and joined first
};

}  // namespace bf
