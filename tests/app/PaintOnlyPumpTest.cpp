// The Qt prompts' pump for waits that take no input: repaints happen, input and close requests
// do not reach the window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include "shell/QtUserPrompts.h"

namespace bf::ui {
namespace {

class CountingWidget final : public QWidget {
 public:
  int paints = 0;
  int input = 0;
  int closes = 0;

 protected:
  void paintEvent(QPaintEvent*) override { ++paints; }
  void mousePressEvent(QMouseEvent*) override { ++input; }
  void keyPressEvent(QKeyEvent*) override { ++input; }
  void closeEvent(QCloseEvent* event) override {
    ++closes;
    event->accept();
  }
};

TEST(QtUserPrompts, PaintOnlyPumpRepaintsButTakesNoInputAndNoClose) {
  QtUserPrompts prompts;
  CountingWidget widget;
  widget.resize(100, 100);
  widget.show();
  QCoreApplication::processEvents();
  widget.paints = 0;

  widget.update();
  const QPointF at(10, 10);
  QCoreApplication::postEvent(
      &widget, new QMouseEvent(QEvent::MouseButtonPress, at, at, at, Qt::LeftButton, Qt::LeftButton,
                               Qt::NoModifier));
  QCoreApplication::postEvent(
      &widget, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")));
  QCoreApplication::postEvent(&widget, new QCloseEvent);
  prompts.PumpPaintOnly();
  EXPECT_GT(widget.paints, 0);
  EXPECT_EQ(widget.input, 0);
  EXPECT_EQ(widget.closes, 0);
  EXPECT_TRUE(widget.isVisible());

  // Outside the wait everything is delivered again.
  QCoreApplication::postEvent(
      &widget, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")));
  QCoreApplication::processEvents();
  EXPECT_EQ(widget.input, 1);
}

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
  prompts.PumpPaintOnly();
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
