#include "flash/HashingCopyOutput.h"

namespace bf {

namespace {

class HashingCopyOutput final : public CopyOutput {
 public:
  HashingCopyOutput(std::unique_ptr<CopyOutput> inner, std::shared_ptr<FileDigest> digest)
      : inner_(std::move(inner)), digest_(std::move(digest)) {}

  uint32_t Open(const std::string& path) override { return inner_->Open(path); }
  uint32_t Write(std::span<const uint8_t> bytes) override {
    const uint32_t error = inner_->Write(bytes);
    if (error == 0) digest_->Add(bytes);
    return error;
  }
  uint32_t Commit() override {
    const uint32_t error = inner_->Commit();
    if (error == 0) digest_->keptAs = inner_->Path();
    return error;
  }
  uint32_t CommitUnfinished(std::string& keptAs) override {
    const uint32_t error = inner_->CommitUnfinished(keptAs);
    if (error == 0) digest_->keptAs = keptAs;
    return error;
  }
  const std::string& Path() const override { return inner_->Path(); }
  uint64_t BytesWritten() const override { return inner_->BytesWritten(); }

 private:
  std::unique_ptr<CopyOutput> inner_;
  std::shared_ptr<FileDigest> digest_;
};

}  // namespace

std::unique_ptr<CopyOutput> MakeHashingCopyOutput(std::unique_ptr<CopyOutput> inner,
                                                  std::shared_ptr<FileDigest> digest) {
  return std::make_unique<HashingCopyOutput>(std::move(inner), std::move(digest));
}

}  // namespace bf
