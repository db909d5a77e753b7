#pragma once
// Ends a start-up sample: quits the application once the watched window has been painted.
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <chrono>

class QuitOnPaint : public QObject {
public:
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() == QEvent::Paint && !scheduled_) {
      scheduled_ = true;
      // The window's own paint event comes before its controls'; the zero timer runs once the
      // whole window has been painted and flushed.
      QTimer::singleShot(0, qApp, [this] {
        firstPaint_ = std::chrono::steady_clock::now();
        QCoreApplication::quit();
      });
    }
    return false;
  }
  // When the first complete paint had ended.
  std::chrono::steady_clock::time_point FirstPaint() const { return firstPaint_; }

private:
  bool scheduled_ = false;
  std::chrono::steady_clock::time_point firstPaint_{};
};
