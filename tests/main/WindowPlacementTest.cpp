// Where the main window opens, for screens and scale factors that leave it room and that do not.
#include "main/WindowPlacement.h"
#include "tests/support/QtApp.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

TEST(WindowPlacement, CentredWhereItFitsElseTopAndRightEdgesOnTheScreen) {
  const struct {
    const char *what;
    QSize frame;
    QRect available;
    QPoint expected;
  } cases[] = {
      {"fits: centred", {708, 384}, {0, 0, 960, 540}, {126, 78}},
      {"a panel at the top", {708, 384}, {0, 27, 960, 513}, {126, 91}},
      {"the second screen", {708, 384}, {1920, 0, 1280, 1024}, {2206, 320}},
      {"exactly the area", {960, 540}, {0, 0, 960, 540}, {0, 0}},
      {"taller than the area", {708, 600}, {0, 0, 960, 540}, {126, 0}},
      {"wider than the area", {1412, 724}, {0, 0, 1280, 1024}, {-132, 150}},
      {"larger both ways, area offset", {1000, 600}, {100, 20, 960, 540}, {60, 20}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(PlaceOnScreen(c.frame, c.available), c.expected) << c.what;
}

// The offscreen platform's screen is smaller than this window: it opens with its top on the
// screen and its right edge at the screen's right edge.
TEST(WindowPlacement, AWindowLargerThanItsScreenKeepsItsTopRightCornerOnIt) {
  TestApp();
  const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
  QWidget window;
  window.setFixedSize(available.width() + 200, available.height() + 100);
  PlaceOnItsScreen(window);
  EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(available.right() + 1 - window.width(), available.top()));
  EXPECT_EQ(window.frameGeometry().topRight(), QPoint(available.right(), available.top()));
}
