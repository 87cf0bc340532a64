#include "flash/CopyVerify.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace bf {

namespace {

// Differences closer than this make one stretch: a report of a few runs, not of every byte.
constexpr uint64_t kJoinGap = 64;
constexpr std::size_t kMostStretches = 1000;

class ComparingCopyOutput final : public CopyOutput {
 public:
  explicit ComparingCopyOutput(std::shared_ptr<ComparedFile> result) : result_(std::move(result)) {}

  uint32_t Open(const std::string& path) override {
    path_ = result_->exists ? result_->path : path;
    if (!result_->exists) return 0;
    std::error_code ec;
    const auto size = std::filesystem::file_size(result_->path, ec);
    in_.open(result_->path, std::ios::binary);
    if (ec || !in_) return error_ = ec ? static_cast<uint32_t>(ec.value()) : ENOENT;
    result_->fileSize = static_cast<uint64_t>(size);
    return 0;
  }

  uint32_t Write(std::span<const uint8_t> bytes) override {
    if (error_ != 0) return error_;
    const uint64_t at = result_->compared;
    std::size_t have = 0;
    if (result_->exists && at < result_->fileSize) {
      have = static_cast<std::size_t>(std::min<uint64_t>(bytes.size(), result_->fileSize - at));
      buffer_.resize(have);
      in_.read(reinterpret_cast<char*>(buffer_.data()), static_cast<std::streamsize>(have));
      if (static_cast<std::size_t>(in_.gcount()) != have) return error_ = EIO;
    }
    if (have > 0 && std::memcmp(buffer_.data(), bytes.data(), have) != 0) {
      for (std::size_t i = 0; i < have; ++i) {
        if (buffer_[i] != bytes[i]) Differ(at + i, 1);
      }
    }
    if (have < bytes.size()) Differ(at + have, bytes.size() - have);  // past the file's end
    result_->compared += bytes.size();
    written_ += bytes.size();
    return 0;
  }

  uint32_t Commit() override {
    if (error_ != 0) return error_;
    // The whole range was read: what the file holds beyond it is no part of the copy.
    if (result_->fileSize > result_->compared) {
      Differ(result_->compared, result_->fileSize - result_->compared);
    }
    in_.close();
    return 0;
  }

  uint32_t CommitUnfinished(std::string& keptAs) override {
    keptAs = path_;
    in_.close();
    return 0;
  }

  const std::string& Path() const override { return path_; }
  uint64_t BytesWritten() const override { return written_; }

 private:
  void Differ(uint64_t offset, uint64_t length) {
    result_->differingBytes += length;
    std::vector<DifferingStretch>& s = result_->stretches;
    if (!s.empty() && offset <= s.back().offset + s.back().length + kJoinGap) {
      s.back().length = offset + length - s.back().offset;
      return;
    }
    if (s.size() == kMostStretches) {
      result_->tooManyStretches = true;
      return;
    }
    s.push_back({result_->fileIndex, offset, length});
  }

  std::shared_ptr<ComparedFile> result_;
  std::string path_;
  std::ifstream in_;
  std::vector<uint8_t> buffer_;
  uint64_t written_ = 0;
  uint32_t error_ = 0;
};

}  // namespace

std::unique_ptr<CopyOutput> MakeComparingCopyOutput(std::shared_ptr<ComparedFile> result) {
  return std::make_unique<ComparingCopyOutput>(std::move(result));
}

}  // namespace bf
