#include "recordings/ExportFrame.h"

#include <filesystem>

#include "host/FileErrorText.h"
#include "recordings/StillFile.h"

namespace bf {

std::string WithDefaultExtension(const std::string& path, const std::string& extension) {
  if (std::filesystem::path(path).has_extension()) return path;
  return path + "." + extension;
}

void ExportFrame(Player& player, const JpegHeaderTable& table, UserPrompts& prompts) {
  // Taken before the dialog: playback may move on while it is open, and the file must hold
  // the frame that was on display when the button was pressed.
  Player::ShownFrame frame;
  switch (player.CopyShownFrame(frame)) {
    case Player::ShownState::NoRecording:
      return;
    case Player::ShownState::NothingShown:
      prompts.ShowMessage(kNothingToExportText, "", MessageIcon::None);
      return;
    case Player::ShownState::FileChanged:
      return;  // nothing trustworthy to write; the caller tells the operator (see Player)
    case Player::ShownState::Shown:
      break;
  }

  const std::span<const uint8_t> entry =
      table.SelectHeaderEntry(frame.header.Compression(), frame.header.Monochrome());
  if (entry.empty()) {
    prompts.ShowMessage(kUnknownCompressionText, "", MessageIcon::Error);
    return;
  }

  FileDialogRequest request;
  request.filter = kStillFilter;
  request.defaultExtension = kStillExtension;
  request.confirmOverwrite = true;
  request.hideReadOnly = true;
  const std::optional<std::string> chosen = prompts.ChooseSaveFile(request);
  if (!chosen || chosen->empty()) return;
  const std::string path = WithDefaultExtension(*chosen, kStillExtension);

  if (const uint32_t error = WriteStillFile(entry, frame.header, frame.payload, path)) {
    prompts.ShowMessage(FileErrorText(error, path), "", MessageIcon::Error);
  }
}

}  // namespace bf
