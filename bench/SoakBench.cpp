// Soak: many exchanges and connect/disconnect cycles through the window against the simulated
// station, with the process's descriptors, threads and resident memory at the start and the end.
// The goal is equal counts and memory within 1 MB.
//
//   SoakBench [exchanges [cycles]]     (default 10000 and 1000)
//
// An exchange is the set-value exchange of Enter on a chosen field (no pause of its own) once
// parameter editing is in the window; until then it is "Запись" (35 answered bytes).
#include "main/Application.h"
#include "main/UnitMain.h"
#include "station/SimStation.h"
#include "tests/support/ProcEntries.h"
#include "tests/support/TempConfigDir.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMetaObject>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

struct TUsage {
  long Descriptors = 0, Threads = 0, ResidentKb = 0;
};

TUsage Usage() {
  TUsage usage;
  usage.Descriptors = CountEntries("/proc/self/fd");
  usage.Threads = CountEntries("/proc/self/task");
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0)
      usage.ResidentKb = std::atol(line.c_str() + 6);
  return usage;
}

void Print(const char *when, const TUsage &u) {
  std::printf("  %-6s descriptors %ld, threads %ld, resident %ld kB\n", when, u.Descriptors, u.Threads,
              u.ResidentKb);
}

void Click(TForm1 &form, const char *slot) {
  QMetaObject::invokeMethod(&form, slot, Qt::QueuedConnection);
  QCoreApplication::processEvents();
}

void Die(const char *what) {
  std::fprintf(stderr, "%s\n", what);
  std::exit(1);
}

bool Connected(const TForm1 &form) { return !form.BitBtn9->isEnabled() && form.BitBtn10->isEnabled(); }

// One exchange of the soak; false when it did not complete.
bool Exchange(TForm1 &form, TSimStation &station, int i) {
  const std::size_t before = station.Received().size();
  if (form.MainState.SelectedParam != 0) {
    form.Edit1->setText(QString::number(i % 256));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &press);
    return station.Received().size() == before + 4;
  }
  Click(form, "BitBtn1Click");
  return form.BitBtn1->isEnabled() && station.Received().size() == before + 35;
}

} // namespace

int main(int argc, char **argv) {
  const int exchanges = argc >= 2 ? std::atoi(argv[1]) : 10000;
  const int cycles = argc >= 3 ? std::atoi(argv[2]) : 1000;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  TempConfigDir dir;
  TSimStation station;
  station.Start({.ComNumber = 2});
  TForm1 form;

  // Warm up once, so that what is made on first use (the port, its threads) is in both counts.
  Click(form, "BitBtn9Click");
  if (!Connected(form))
    Die("connect failed");
  // Shown and active, so that the field's focus chooses its parameter and Enter reaches the window.
  form.show();
  QApplication::setActiveWindow(&form);
  form.Edit1->setFocus(Qt::MouseFocusReason);
  QCoreApplication::processEvents();
  station.ClearReceived();
  Exchange(form, station, 0);
  const bool stepping = form.MainState.SelectedParam != 0 && station.Received().size() > 1;
  if (!stepping)
    form.MainState.SelectedParam = 0; // editing not in the window yet
  Click(form, "BitBtn10Click");
  Click(form, "BitBtn9Click");
  const TUsage start = Usage();

  const auto t0 = Clock::now();
  int failed = 0;
  for (int i = 0; i < exchanges; ++i) {
    station.ClearReceived(); // the station's own record would grow otherwise
    failed += !Exchange(form, station, i);
  }
  const double exchangeSeconds = std::chrono::duration<double>(Clock::now() - t0).count();
  const auto t1 = Clock::now();
  for (int i = 0; i < cycles; ++i) {
    Click(form, "BitBtn10Click");
    Click(form, "BitBtn9Click");
    failed += !Connected(form);
    station.ClearReceived();
  }
  const double cycleSeconds = std::chrono::duration<double>(Clock::now() - t1).count();
  const TUsage end = Usage();

  std::printf("soak: %d %s exchanges in %.1f s, %d connect/disconnect cycles in %.1f s, %d failed\n",
              exchanges, stepping ? "set-value" : "\"Запись\"", exchangeSeconds, cycles, cycleSeconds,
              failed);
  Print("start", start);
  Print("end", end);
  std::printf("  change: descriptors %+ld, threads %+ld, resident %+ld kB (goal: 0, 0, within 1024)\n",
              end.Descriptors - start.Descriptors, end.Threads - start.Threads,
              end.ResidentKb - start.ResidentKb);
  return failed == 0 ? 0 : 1;
}
