// Editing measured against the wire: one "Параметр +" (four answered bytes and the fixed settle
// pause before the refresh) and one "Переписать ряд" (35 answered bytes), against the simulated
// station at 1200-baud pacing. The reference in the same run is the wire time itself: every
// answered byte is two bytes of 10 bits on the line.
//
//   EditingBench [steps]
#include "bench/BenchStats.h"
#include "link/CommandSet.h"
#include "link/Connection.h"
#include "main/Application.h"
#include "main/UnitMain.h"
#include "params/Editing.h"
#include "runtime/Dialogs.h"
#include "station/SimStation.h"
#include "tests/support/TempConfigDir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double AnsweredByteMs = 2 * 10 * 1000.0 / Line::Baud;
constexpr double StepPauseMs = 200; // the settle pause of a step, part of the operation by design

template <typename Action> std::vector<double> Timed(int count, TForm1 &form, Action action) {
  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    action();
    times.push_back(Millis(Clock::now() - start));
    form.Timer1->SetEnabled(false); // no refresh runs between the measured operations
  }
  return times;
}

void Print(const char *what, const std::vector<double> &times, double wireMs) {
  std::printf("  %s: median %.2f ms, p99 %.2f ms; wire %.2f ms: %.4fx wire (goal <= 1.01x)\n", what,
              Median(times), Percentile(times, 0.99), wireMs, Median(times) / wireMs);
}

} // namespace

int main(int argc, char **argv) {
  const int steps = argc >= 2 ? std::max(5, std::atoi(argv[1])) : 20;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  TempConfigDir dir;
  SetMessageBoxHandler([](const std::string &text, const std::string &, int) -> int {
    std::fprintf(stderr, "unexpected box: %s\n", text.c_str());
    std::exit(1);
  });
  TSimStation station;
  station.Start({.ComNumber = 2, .Pace = true});
  TForm1 form;
  ConnectStation(form);
  if (form.BitBtn9->isEnabled()) {
    std::fprintf(stderr, "connect failed\n");
    return 1;
  }
  ChooseField(form, form.Edit1);
  const auto step = Timed(steps, form, [&] { StepParameter(form, true); });
  ChooseCell(form, 1, 1);
  form.Edit7->setText(QStringLiteral("5"));
  const auto column = Timed(std::max(3, steps / 4), form, [&] { OverwriteColumn(form); });
  if (!form.BitBtn15->isEnabled()) {
    std::fprintf(stderr, "column overwrite stopped early\n");
    return 1;
  }
  std::printf("1200-baud paced line, %d steps, %zu column overwrites:\n", steps, column.size());
  Print("\"Параметр +\" (4 answered bytes + 200 ms pause)", step, 4 * AnsweredByteMs + StepPauseMs);
  Print("\"Переписать ряд\" (35 answered bytes)", column, 35 * AnsweredByteMs);
  return 0;
}
