// The Qt prompts' input lock for waits that take no input: the window's controls are off while
// the window goes on handling its other events, and clicks made meanwhile do not act later.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include "shell/QtUserPrompts.h"

namespace bf::ui {
namespace {

TEST(QtUserPrompts, LockedWaitDisablesTheControlsAndDropsItsClicks) {
  QtUserPrompts prompts;
  QWidget window;
  window.resize(200, 100);
  auto* button = new QPushButton(QStringLiteral("Стереть"), &window);
  auto* alreadyOff = new QPushButton(QStringLiteral("Старт"), &window);
  alreadyOff->move(0, 50);
  alreadyOff->setEnabled(false);
  int clicks = 0;
  QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
  prompts.SetParentWindow(&window);
  window.show();
  QCoreApplication::processEvents();

  prompts.SetInputLocked(true);
  EXPECT_FALSE(button->isEnabled());
  const QPointF at(5, 5);
  QCoreApplication::postEvent(
      button, new QMouseEvent(QEvent::MouseButtonPress, at, at, at, Qt::LeftButton, Qt::LeftButton,
                              Qt::NoModifier));
  QCoreApplication::processEvents();
  QCoreApplication::postEvent(
      button, new QMouseEvent(QEvent::MouseButtonRelease, at, at, at, Qt::LeftButton, Qt::NoButton,
                              Qt::NoModifier));
  prompts.SetInputLocked(false);
  QCoreApplication::processEvents();
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(button->isEnabled());
  EXPECT_FALSE(alreadyOff->isEnabled());  // a control off before the wait stays off

  // Afterwards the button works again.
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace bf::ui
