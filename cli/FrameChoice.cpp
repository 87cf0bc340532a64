#include "cli/FrameChoice.h"

#include <limits>
#include <vector>

#include "cli/StretchBound.h"

namespace bf::cli {

std::optional<StretchBound> FrameChoice::Parse(const std::string& option, const std::string& text,
                                               std::string& why) {
  // Frame numbers are 32-bit here, as every count of an export.
  if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
    const std::optional<uint32_t> n = ParseUnsigned(text);
    if (!n) {
      why = NotANumber(option, text);
      return std::nullopt;
    }
    StretchBound bound;
    bound.isFrame = true;
    bound.frame = *n;
    return bound;
  }
  std::optional<StretchBound> bound = ParseStretchBound(text, why);
  if (!bound) why = option + ": " + why;
  return bound;
}

bool FrameChoice::SetFrom(const std::string& text, std::string& why) {
  fromText_ = text;
  from_ = Parse("--from", text, why);
  return from_.has_value();
}

bool FrameChoice::SetTo(const std::string& text, std::string& why) {
  toText_ = text;
  to_ = Parse("--to", text, why);
  return to_.has_value();
}

void FrameChoice::Declare(CommandLine& line) {
  line.Value("--from", fromGiven_);
  line.Value("--to", toGiven_);
}

void FrameChoice::Take(CommandLine& line) {
  std::string why;
  if (line.Given("--from") && !SetFrom(fromGiven_, why)) line.Fail(why);
  if (line.Given("--to") && !SetTo(toGiven_, why)) line.Fail(why);
}

std::string FrameChoice::OrderProblem() const {
  if (!from_ || !to_ || !HasTime()) return {};
  if ((from_->isFrame && to_->isFrame && from_->frame > to_->frame) ||
      (!from_->isFrame && !to_->isFrame && from_->time > to_->time)) {
    return "--from " + fromText_ + " is after --to " + toText_;
  }
  return {};
}

ExportRange FrameChoice::NumberRange() const {
  ExportRange range;
  if (from_) range.first = static_cast<uint32_t>(from_->frame);
  if (to_) range.last = static_cast<uint32_t>(to_->frame);
  return range;
}

std::optional<std::vector<std::size_t>> FrameChoice::Frames(const FrameIndex& index,
                                                            std::string& why) const {
  for (const std::optional<StretchBound>* b : {&from_, &to_}) {
    if (*b && (*b)->isFrame && (*b)->frame >= index.size()) {
      why = "no frame " + std::to_string((*b)->frame) + " (the recording has " +
            std::to_string(index.size()) + " frames, 0 to " + std::to_string(index.size() - 1) +
            ")";
      return std::nullopt;
    }
  }
  StretchBound first;
  first.isFrame = true;
  StretchBound last;
  last.isFrame = true;
  last.frame = std::numeric_limits<uint64_t>::max();
  std::vector<std::size_t> frames =
      FramesInStretch(index, from_.value_or(first), to_.value_or(last));
  if (frames.empty()) {
    why = "no frame lies from " + (from_ ? fromText_ : std::string("the first frame")) + " to " +
          (to_ ? toText_ : std::string("the last frame"));
    return std::nullopt;
  }
  return frames;
}

std::optional<ExportRange> FrameChoice::StretchRange(const FrameIndex& index,
                                                     std::string& why) const {
  const std::optional<std::vector<std::size_t>> chosen = Frames(index, why);
  if (!chosen) return std::nullopt;
  const std::vector<std::size_t>& frames = *chosen;
  const std::string from = from_ ? fromText_ : "the first frame";
  const std::string to = to_ ? toText_ : "the last frame";
  if (frames.back() - frames.front() + 1 != frames.size()) {
    why = "the frames from " + from + " to " + to + " are not one run in the file (frames " +
          std::to_string(frames.front()) + " to " + std::to_string(frames.back()) +
          " hold others between them: the camera's clock was set back); bfk cut them first";
    return std::nullopt;
  }
  ExportRange range;
  range.first = static_cast<uint32_t>(frames.front());
  range.last = static_cast<uint32_t>(frames.back());
  return range;
}

}  // namespace bf::cli
