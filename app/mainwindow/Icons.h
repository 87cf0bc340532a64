#pragma once
#include <QIcon>

namespace bf::ui {

// The program's icons, drawn in code: IDR_MAINFRAME (a small camera) and the six player
// glyphs IDI_BEGIN..IDI_END. An unknown id gives a null icon. GUI thread only.
QIcon LoadAppIcon(int iconId);

}  // namespace bf::ui
