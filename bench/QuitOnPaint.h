#pragma once
// Ends a start-up sample: quits the application once the watched window has been painted.
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

class QuitOnPaint : public QObject {
public:
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() == QEvent::Paint)
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    return false;
  }
};
