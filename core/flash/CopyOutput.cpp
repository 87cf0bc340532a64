#include "flash/CopyOutput.h"

#include "host/ReplacingFileWriter.h"

namespace bf {

namespace {

class ReplacingCopyOutput final : public CopyOutput {
 public:
  uint32_t Open(const std::string& path) override {
    path_ = path;
    return writer_.Open(path);
  }
  uint32_t Write(std::span<const uint8_t> bytes) override { return writer_.Write(bytes); }
  uint32_t Commit() override { return writer_.Commit(); }
  const std::string& Path() const override { return path_; }
  uint64_t BytesWritten() const override { return writer_.BytesWritten(); }

 private:
  ReplacingFileWriter writer_;
  std::string path_;
};

}  // namespace

std::unique_ptr<CopyOutput> MakeReplacingCopyOutput() {
  return std::make_unique<ReplacingCopyOutput>();
}

}  // namespace bf
