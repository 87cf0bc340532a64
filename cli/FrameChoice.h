#pragma once
#include <optional>
#include <string>
#include <vector>

#include "cli/Args.h"
#include "cli/CommandLine.h"
#include "recordings/ExportProgress.h"
#include "recordings/FrameIndex.h"
#include "review/StretchCut.h"

namespace bf::cli {

// The --from and --to of a command that exports frames: frame numbers, or times as bfk cut
// takes them. Main thread.
class FrameChoice {
 public:
  // Declares --from and --to; after parsing, Take() reads what was given: a malformed value
  // fails the command line.
  void Declare(CommandLine& line);
  void Take(CommandLine& line);
  // The same for a value at hand: false, with the complaint in `why`, when it is malformed.
  bool SetFrom(const std::string& text, std::string& why);
  bool SetTo(const std::string& text, std::string& why);

  bool HasTime() const { return (from_ && !from_->isFrame) || (to_ && !to_->isFrame); }
  bool Given() const { return from_ || to_; }
  // Whether --to is given without --from.
  bool OnlyTo() const { return !from_ && to_; }

  // A usage complaint when both ends are of one kind and --from comes after --to; empty if not.
  std::string OrderProblem() const;

  // The frames numbers alone name, for the export's own range checks.
  ExportRange NumberRange() const;

  // The frames bfk cut takes from --from (default: the first frame) to --to (default: the
  // last), in file order. Nothing, with `why` set, when a frame number is past the end or no
  // frame lies in the stretch.
  std::optional<std::vector<std::size_t>> Frames(const FrameIndex& index, std::string& why) const;

  // With a time: the frames bfk cut takes from --from (default: the first frame) to --to
  // (default: the last), which must lie together in file order for one export. Nothing, with
  // `why` set, when a frame number is past the end, no frame lies in the stretch, or the
  // stretch's frames are not one run (a camera clock set back puts frames of one time apart).
  std::optional<ExportRange> StretchRange(const FrameIndex& index, std::string& why) const;

 private:
  static std::optional<StretchBound> Parse(const std::string& option, const std::string& text,
                                           std::string& why);

  std::optional<StretchBound> from_;
  std::optional<StretchBound> to_;
  std::string fromText_;
  std::string toText_;
  std::string fromGiven_;
  std::string toGiven_;
};

}  // namespace bf::cli
