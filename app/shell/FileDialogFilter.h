#pragma once
#include <string>
#include <vector>

namespace bf::ui {

// One entry of a file dialog's type list.
struct FileFilterEntry {
  std::string description;            // "Brindle file (*.bfk)"
  std::vector<std::string> patterns;  // {"*.bfk"}
};

// Splits a filter in the classic "Text|patterns|Text|patterns||" form. Patterns within an
// entry are separated by ';'. A trailing description without patterns is dropped.
std::vector<FileFilterEntry> ParseMfcFilter(const std::string& filter);

// The same filter as a Qt name filter list ("Brindle file (*.bfk);;All files (*.*)"). Each
// entry names its patterns in parentheses, because that is where Qt takes them from.
std::string ToQtNameFilter(const std::string& mfcFilter);

}  // namespace bf::ui
