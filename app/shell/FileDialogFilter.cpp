#include "shell/FileDialogFilter.h"

namespace bf::ui {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : text) {
    if (c == separator) {
      parts.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  parts.push_back(current);
  return parts;
}

std::string Join(const std::vector<std::string>& parts, const char* separator) {
  std::string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined += separator;
    joined += parts[i];
  }
  return joined;
}

}  // namespace

std::vector<FileFilterEntry> ParseMfcFilter(const std::string& filter) {
  std::vector<FileFilterEntry> entries;
  const std::vector<std::string> fields = Split(filter, '|');
  for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
    if (fields[i].empty() && fields[i + 1].empty()) break;  // the closing "||"
    FileFilterEntry entry;
    entry.description = fields[i];
    for (const std::string& pattern : Split(fields[i + 1], ';')) {
      if (!pattern.empty()) entry.patterns.push_back(pattern);
    }
    if (!entry.patterns.empty()) entries.push_back(std::move(entry));
  }
  return entries;
}

std::string ToQtNameFilter(const std::string& mfcFilter) {
  std::vector<std::string> filters;
  for (const FileFilterEntry& entry : ParseMfcFilter(mfcFilter)) {
    const std::string patterns = "(" + Join(entry.patterns, " ") + ")";
    const std::string& d = entry.description;
    const bool named = d.size() >= patterns.size() &&
                       d.compare(d.size() - patterns.size(), patterns.size(), patterns) == 0;
    filters.push_back(named ? d : d + " " + patterns);
  }
  return Join(filters, ";;");
}

}  // namespace bf::ui
