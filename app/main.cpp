// BrindleFlash: the camera tool's window. Everything lives in the application object.
#include "application/CBrindleFlashApp.h"

int main(int argc, char** argv) {
  bf::ui::CBrindleFlashApp app(argc, argv);
  return app.Run();
}
