#include "flash/CopyOutput.h"

#include "host/ReplacingFileWriter.h"

namespace bf {

uint32_t CopyOutput::CommitUnfinished(std::string& keptAs) {
  keptAs = Path();
  const uint32_t error = Commit();
  if (error != 0) keptAs.clear();
  return error;
}

std::string PartialFileName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = path.rfind('.');
  // A leading dot starts a hidden name, not an extension.
  if (dot == std::string::npos || dot <= nameStart) return path + ".partial";
  return path.substr(0, dot) + ".partial" + path.substr(dot);
}

namespace {

class ReplacingCopyOutput final : public CopyOutput {
 public:
  uint32_t Open(const std::string& path) override {
    path_ = path;
    return writer_.Open(path);
  }
  uint32_t Write(std::span<const uint8_t> bytes) override {
    const uint32_t error = writer_.Write(bytes);
    // A copy of a gigabyte would otherwise leave the whole of it to the flush at the end.
    sinceWriteback_ += bytes.size();
    if (error == 0 && sinceWriteback_ >= kWritebackBytes) {
      writer_.StartWriteback();
      sinceWriteback_ = 0;
    }
    return error;
  }
  uint32_t Commit() override { return writer_.Commit(); }
  uint32_t CommitUnfinished(std::string& keptAs) override {
    if (!writer_.ReplacesExisting()) return CopyOutput::CommitUnfinished(keptAs);
    keptAs.clear();
    if (writer_.Error() == 0 && writer_.BytesWritten() == 0) {
      writer_.Abandon();
      return 0;
    }
    // Beside the file itself (a link's target), where the temporary is: a rename in one folder.
    const std::string partial = PartialFileName(writer_.Target());
    const uint32_t error = writer_.CommitAs(partial);
    if (error == 0) keptAs = partial;
    return error;
  }
  const std::string& Path() const override { return path_; }
  uint64_t BytesWritten() const override { return writer_.BytesWritten(); }

 private:
  static constexpr uint64_t kWritebackBytes = 4u << 20;
  ReplacingFileWriter writer_;
  std::string path_;
  uint64_t sinceWriteback_ = 0;
};

}  // namespace

std::unique_ptr<CopyOutput> MakeReplacingCopyOutput() {
  return std::make_unique<ReplacingCopyOutput>();
}

}  // namespace bf
