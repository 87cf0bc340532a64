#pragma once
#include <stdexcept>
#include <string>

#include "host/UserPrompts.h"

namespace bf {

// The two ways an address operation refuses its argument. Each carries the message the
// operation shows (empty: none); the flow that catches it shows that message through its
// prompts on the GUI thread, so an operation refused on the sector reader's thread still
// speaks through the dialog.
class FlashAddressFailure : public std::runtime_error {
 public:
  explicit FlashAddressFailure(const std::string& message)
      : std::runtime_error(message), message_(message) {}
  // The operation's own message, shown with the error icon; empty for none.
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// The flow ends without a message of its own (after the operation's message).
class UserAbort : public FlashAddressFailure {
 public:
  using FlashAddressFailure::FlashAddressFailure;
};

// The flow ends with the standard report "Out of memory." (after the operation's message).
class GeneralFailure : public FlashAddressFailure {
 public:
  using FlashAddressFailure::FlashAddressFailure;
};

inline constexpr const char* kNoDataAreaText = "Адрес не указывает на область данных";
inline constexpr const char* kCannotAdvanceText = "Не возможно увеличить адрес";
inline constexpr const char* kCannotStepText = "Не удалось увеличить адрес";
inline constexpr const char* kGeneralFailureText = "Out of memory.";

// The platform's standard report of a failure that is not the camera's ("Out of memory.", a
// file failure with its file name, any other failure's text): an OK box with the exclamation
// icon, as the platform gives every plain OK report.
inline constexpr MessageIcon kStandardReportIcon = MessageIcon::Warning;

// Shows what a refused address operation has to say: its own message with the error icon,
// then, for a GeneralFailure, "Out of memory.". Returns the last text shown (empty for a
// silent UserAbort). GUI thread.
std::string ReportAddressFailure(UserPrompts& prompts, const FlashAddressFailure& failure);

}  // namespace bf
