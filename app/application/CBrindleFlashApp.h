#pragma once
#include <QApplication>
#include <string>

namespace bf::ui {

// The application object: names the application and its settings store, puts Qt's own dialogs
// into the system's language, finds and loads the header table, chooses the camera backend,
// then runs the main window modally until it closes. A header table file that cannot be read
// is reported and ends the program before any window appears; one that is no header table is
// reported and the window runs without one (LoadStartupHeaderTable). GUI thread only.
class CBrindleFlashApp {
 public:
  CBrindleFlashApp(int& argc, char** argv);
  // Returns the process exit code.
  int Run();

  // The recording to open at start-up: every argument after the program name, joined by
  // single spaces (the whole command-line text).
  static std::string CommandLineText(const QStringList& arguments);

  // The application's name (also the settings key), its company and its version.
  static void NameApplication();

 private:
  QApplication app_;
};

}  // namespace bf::ui
