#pragma once
// The one application object of a test program, made on first use on the offscreen platform.
// App is what the program's code needs: QCoreApplication for the journal (Qt finds its drivers
// through it), QApplication for widgets, the tool's TApplication for its window. An object made
// before is given back when it is of that kind; of another kind it is a fault of the test.
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

template <typename App> App &TestApplication() {
  static App *app = [] {
    if (QCoreApplication *existing = QCoreApplication::instance()) {
      App *same = dynamic_cast<App *>(existing);
      if (!same) {
        std::fprintf(stderr, "the test program already has an application object of another kind\n");
        std::abort();
      }
      return same;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "kstune-test";
    static char *argv[] = {name, nullptr};
    return new App(argc, argv);
  }();
  return *app;
}
