#pragma once

class QWidget;

namespace bf::ui {

// The ways to the About box: an item in the window's context menu with F1 everywhere
// (AddAboutEntry), and an item in the system menu where the platform has one (Windows:
// AddAboutToSystemMenu once the window is being initialised; the window passes its native
// messages to IsAboutCommand). GUI thread only.
void AddAboutEntry(QWidget& window);
void AddAboutToSystemMenu(QWidget& window);
void ShowAboutBox(QWidget* parent);
#ifdef _WIN32
// True for the system menu's About command among a window's native messages (a MSG).
bool IsAboutCommand(const void* message);
#endif

}  // namespace bf::ui
