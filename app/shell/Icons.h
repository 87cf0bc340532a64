#pragma once
#include <QIcon>

namespace bf::ui {

// Resource ids of the program's icons.
enum IconId : int {
  IDR_MAINFRAME = 128,
  IDI_BEGIN = 160,
  IDI_PREVIOUS = 161,
  IDI_PLAY = 162,
  IDI_STOP = 163,
  IDI_NEXT = 164,
  IDI_END = 165,
};

// The program's icons, drawn in code: IDR_MAINFRAME (a small camera) and the six player
// glyphs IDI_BEGIN..IDI_END. An unknown id gives a null icon. GUI thread only.
QIcon LoadAppIcon(int iconId);

}  // namespace bf::ui
