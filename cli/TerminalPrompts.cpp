#include "cli/TerminalPrompts.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace bf::cli {
namespace {

std::string Trimmed(std::string text) {
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
  text.erase(std::find_if_not(text.rbegin(), text.rend(), blank).base(), text.end());
  return text;
}

bool IsYes(std::string answer) {
  answer = Trimmed(std::move(answer));
  std::transform(answer.begin(), answer.end(), answer.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return answer == "y" || answer == "yes" || answer == "д" || answer == "да" || answer == "Д" ||
         answer == "Да" || answer == "ДА";
}

}  // namespace

bool TerminalPrompts::CanAsk() const {
  return isatty(fileno(in_)) != 0;
}

std::optional<std::string> TerminalPrompts::ReadLine() {
  std::string line;
  for (int c = std::fgetc(in_); c != EOF; c = std::fgetc(in_)) {
    if (c == '\n') return line;
    line.push_back(static_cast<char>(c));
  }
  if (line.empty()) return std::nullopt;
  return line;
}

MessageAnswer TerminalPrompts::ShowMessage(const std::string& text, const std::string& caption,
                                           MessageIcon icon, MessageButtons buttons) {
  if (beforeMessage_) beforeMessage_();
  if (icon == MessageIcon::Error) showedError_ = true;
  std::fprintf(out_, "%s: %s%s", prefix_.c_str(), caption.empty() ? "" : (caption + " ").c_str(),
               text.c_str());
  if (buttons == MessageButtons::Ok || savePath_) {
    std::fprintf(out_, "\n");
    std::fflush(out_);
    if (buttons == MessageButtons::YesNo) return MessageAnswer::Yes;
    return MessageAnswer::Ok;
  }
  std::fprintf(out_, " [y/N] ");
  std::fflush(out_);
  const std::optional<std::string> line = ReadLine();
  if (!line) std::fprintf(out_, "\n");
  const bool yes = line && IsYes(*line);
  if (buttons == MessageButtons::YesNo) return yes ? MessageAnswer::Yes : MessageAnswer::No;
  return yes ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

std::optional<std::string> TerminalPrompts::AskPath(const char* what) {
  std::fprintf(out_, "%s: %s (empty to cancel): ", prefix_.c_str(), what);
  std::fflush(out_);
  std::optional<std::string> line = ReadLine();
  if (!line) return std::nullopt;
  std::string path = Trimmed(*line);
  if (path.empty()) return std::nullopt;
  return path;
}

std::optional<std::string> TerminalPrompts::ChooseSaveFile(const FileDialogRequest& request) {
  if (savePath_) return savePath_;
  std::optional<std::string> path = AskPath("save to file");
  if (!path || request.defaultExtension.empty()) return path;
  // A name typed without an extension gets the default one, as the save dialog adds it.
  const std::size_t slash = path->find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  if (path->find('.', nameStart) == std::string::npos) *path += "." + request.defaultExtension;
  return path;
}

std::optional<std::string> TerminalPrompts::ChooseOpenFile(const FileDialogRequest&) {
  return AskPath("open file");
}

}  // namespace bf::cli
