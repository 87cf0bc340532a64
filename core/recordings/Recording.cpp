#include "recordings/Recording.h"

namespace bf {

Recording::OpenStatus Recording::Open(const std::string& path) {
  Close();
  if (!file_.Open(path)) return OpenStatus::SystemError;
  index_ = BuildFrameIndex(file_.Bytes());
  if (index_.empty()) {
    Close();
    return OpenStatus::NotRecording;
  }
  path_ = path;
  return OpenStatus::Opened;
}

void Recording::Close() {
  index_ = FrameIndex{};
  path_.clear();
  file_.Close();
}

}  // namespace bf
