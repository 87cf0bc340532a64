#pragma once
#include <string>

#include "frames/JpegHeaderTable.h"
#include "host/UserPrompts.h"
#include "recordings/Player.h"

namespace bf {

inline constexpr const char* kStillFilter = "Jpeg file (*.jpg)|*.jpg||";
inline constexpr const char* kStillExtension = "jpg";
inline constexpr const char* kNothingToExportText = "Нет кадра для сохранения";
inline constexpr const char* kUnknownCompressionText =
    "Кадр не может быть сохранён: неизвестная степень сжатия";

// "Сохранить": saves the recorded frame on display as a JPEG (table entry, payload, header), all
// three from the one index entry that was on display when the button was pressed. With no
// recording open nothing happens; with no frame of this recording shown yet (just opened, or a
// live picture or nothing on display) the operator is told and no dialog opens. When the frame
// can no longer be read because the file changed on disk, nothing is written and no dialog
// opens; the player keeps the change for its caller to tell (Player::TakeFileChangeNotice).
// File errors are reported with the file system's reason and the file name. GUI thread.
void ExportFrame(Player& player, const JpegHeaderTable& table, UserPrompts& prompts);

// The name with ".ext" appended when its last component has no extension.
std::string WithDefaultExtension(const std::string& path, const std::string& extension);

}  // namespace bf
