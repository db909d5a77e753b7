#include "main/WindowPlacement.h"

#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace {

// Long enough for a window manager to have put its frame around a new window.
constexpr int FrameSettleMs = 300;

int Along(int start, int length, int size, bool keepEnd) {
  if (size <= length)
    return start + (length - size) / 2;
  return keepEnd ? start + length - size : start;
}

} // namespace

QPoint PlaceOnScreen(QSize frameSize, const QRect &available) {
  return {Along(available.left(), available.width(), frameSize.width(), true),
          Along(available.top(), available.height(), frameSize.height(), false)};
}

void PlaceOnItsScreen(QWidget &window) {
  const auto place = [&window] {
    const QRect available = window.screen()->availableGeometry();
    window.move(PlaceOnScreen(window.frameGeometry().size(), available));
  };
  place();
  QTimer::singleShot(FrameSettleMs, &window, [&window, place] {
    if (!window.screen()->availableGeometry().contains(window.frameGeometry()))
      place();
  });
}
