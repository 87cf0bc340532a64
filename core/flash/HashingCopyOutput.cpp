#include "flash/HashingCopyOutput.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "host/ThreadPriority.h"

namespace bf {

namespace {

class HashingCopyOutput final : public CopyOutput {
 public:
  HashingCopyOutput(std::unique_ptr<CopyOutput> inner, std::shared_ptr<FileDigest> digest,
                    bool writeBehind)
      : inner_(std::move(inner)), digest_(std::move(digest)), writeBehind_(writeBehind) {}
  ~HashingCopyOutput() override {
    if (!worker_.joinable()) return;
    {
      // Set under the lock, so the writing thread cannot miss it between its check and its wait.
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }
  HashingCopyOutput(const HashingCopyOutput&) = delete;
  HashingCopyOutput& operator=(const HashingCopyOutput&) = delete;

  uint32_t Open(const std::string& path) override { return inner_->Open(path); }

  uint32_t Write(std::span<const uint8_t> bytes) override {
    if (!writeBehind_) {
      const uint32_t error = inner_->Write(bytes);
      if (error == 0) {
        digest_->HandOver(bytes.size());
        digest_->Add(bytes);
      }
      return error;
    }
    // Copied while the chunk before may still be writing: the caller's buffer is its own again
    // when this returns.
    std::vector<uint8_t> copy = digest_->TakeSpare();
    copy.assign(bytes.begin(), bytes.end());
    {
      std::unique_lock lock(mutex_);
      StartLocked();
      changed_.wait(lock, [this] { return state_ == State::Idle; });
      if (error_ != 0) return error_;
      if (!worker_.joinable()) {
        worker_ = std::thread([this] { Run(); });
      }
      next_ = std::move(copy);
      state_ = State::Held;
    }
    digest_->HandOver(bytes.size());
    return 0;
  }

  void StartWriting() override {
    std::lock_guard lock(mutex_);
    StartLocked();
  }

  uint32_t Drain() override {
    StartWriting();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return state_ == State::Idle; });
    return error_;
  }

  uint32_t Commit() override {
    Drain();
    const uint32_t error = inner_->Commit();
    if (error == 0) digest_->keptAs = inner_->Path();
    return error;
  }
  uint32_t CommitUnfinished(std::string& keptAs) override {
    Drain();
    const uint32_t error = inner_->CommitUnfinished(keptAs);
    if (error == 0) digest_->keptAs = keptAs;
    return error;
  }
  const std::string& Path() const override { return inner_->Path(); }
  uint64_t BytesWritten() const override {
    return writeBehind_ ? written_.load() : inner_->BytesWritten();
  }

 private:
  // Idle: nothing handed over, or written. Held: handed over, waiting for StartWriting. Started:
  // the writing thread may take it. Writing: it has.
  enum class State { Idle, Held, Started, Writing };

  // Lets the writing thread take the chunk held, if there is one.
  void StartLocked() {
    if (state_ != State::Held) return;
    state_ = State::Started;
    changed_.notify_all();
  }

  void Run() {
    LowerThisThreadPriority();
    for (;;) {
      std::vector<uint8_t> chunk;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stopping_ || state_ == State::Started; });
        if (state_ != State::Started) return;
        chunk = std::move(next_);
        state_ = State::Writing;
      }
      const uint32_t error = inner_->Write(chunk);
      if (error == 0) {
        written_ += chunk.size();
        digest_->Add(std::move(chunk));
      }
      {
        std::lock_guard lock(mutex_);
        error_ = error;
        state_ = State::Idle;
      }
      changed_.notify_all();
    }
  }

  std::unique_ptr<CopyOutput> inner_;
  std::shared_ptr<FileDigest> digest_;
  const bool writeBehind_;
  std::atomic<uint64_t> written_{0};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<uint8_t> next_;  // the chunk handed over, until the writing thread takes it
  State state_ = State::Idle;
  uint32_t error_ = 0;  // the failed write's code; no chunk is taken after it
  bool stopping_ = false;
  std::thread worker_;  // last: started on the first chunk, stopped and joined first
};

}  // namespace

std::unique_ptr<CopyOutput> MakeHashingCopyOutput(std::unique_ptr<CopyOutput> inner,
                                                  std::shared_ptr<FileDigest> digest,
                                                  bool writeBehind) {
  return std::make_unique<HashingCopyOutput>(std::move(inner), std::move(digest), writeBehind);
}

}  // namespace bf
