// Runs the application tests inside one QApplication: widgets need it, and the offscreen
// platform keeps them off any real screen (CTest sets it; a direct run gets it here).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName("Kelvane");
  QCoreApplication::setApplicationName("BrindleFlash 1.1.3");
  return RUN_ALL_TESTS();
}
