// The start-up benchmark's second reference: kstune's own window layout (resources/UnitMain.ui)
// in the layout's fonts, shown by a program with no logic at all — no options file, no grid
// set-up, no button pictures, no routines. What it costs is what drawing this window costs;
// kstune is measured against it. Linked with Qt alone, it quits at its first paint.
#include <QApplication>
#include <QWidget>

#include "bench/QuitOnPaint.h"
#include "ui_UnitMain.h"

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QuitOnPaint quit;
  QWidget window;
  // The layout's fonts are given in pixels; the window takes them before its controls exist,
  // as kstune's does.
  QFont base;
  base.setFamilies({QStringLiteral("Liberation Sans")});
  base.setPixelSize(11);
  window.setFont(base);
  Ui::UnitMain ui;
  ui.setupUi(&window);
  window.installEventFilter(&quit);
  window.show();
  return app.exec();
}
