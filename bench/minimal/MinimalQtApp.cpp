// The reference of the start-up benchmark: the usual smallest Qt Widgets program, one window with
// one line of text, linked with Qt alone. It quits at its first paint.
#include <QApplication>
#include <QLabel>
#include <QTimer>

#include "bench/QuitOnPaint.h"

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QuitOnPaint quit;
  QLabel window(QStringLiteral("Hello"));
  window.resize(706, 362);
  window.installEventFilter(&quit);
  window.show();
  return app.exec();
}
