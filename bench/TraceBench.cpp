// The cost of the exchange trace: "Запись" and "Чтение" against the simulated station at
// 1200-baud pacing, with the trace on and off in turns in the same run.
//
//   TraceBench [repetitions]
#include "bench/BenchStats.h"
#include "link/Connection.h"
#include "link/Trace.h"
#include "main/Application.h"
#include "main/UnitMain.h"
#include "records/Transfers.h"
#include "serial/AdPort.h"
#include "station/SimStation.h"
#include "tests/support/TempConfigDir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void Die(const char *what) {
  std::fprintf(stderr, "%s\n", what);
  std::exit(1);
}

void Print(const char *what, const std::vector<double> &off, const std::vector<double> &on) {
  std::printf("%s: trace off median %.2f ms, trace on median %.2f ms (max %.2f): %.4fx (goal <= 1.01x)\n",
              what, Median(off), Median(on), Percentile(on, 1.0), Median(on) / Median(off));
}

} // namespace

int main(int argc, char **argv) {
  const int count = argc >= 2 ? std::max(3, std::atoi(argv[1])) : 10;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  TempConfigDir dir;
  TSimStation station;
  station.Start({.ComNumber = 2, .Pace = true});
  TForm1 form;
  const std::string tracePath = (dir.Root() / "trace.txt").string();

  std::vector<double> writeOff, writeOn, readOff, readOn;
  for (int i = 0; i < 2 * count; ++i) {
    const bool on = i % 2 == 1;
    std::string error;
    if (on && !StartTrace(tracePath, "bench", error))
      Die(error.c_str());
    ConnectStation(form);
    if (form.BitBtn9->isEnabled())
      Die("connect failed");
    auto start = Clock::now();
    WriteAll(form);
    (on ? writeOn : writeOff).push_back(Millis(Clock::now() - start));
    start = Clock::now();
    ReadAll(form);
    (on ? readOn : readOff).push_back(Millis(Clock::now() - start));
    if (!form.BitBtn1->isEnabled() || !form.BitBtn2->isEnabled())
      Die("\"Запись\" or \"Чтение\" failed");
    form.MainState.ComPort->SetOpen(false);
    StopTrace();
  }
  std::printf("1200-baud paced line, %d repetitions each, trace file %ju bytes\n", count,
              static_cast<uintmax_t>(std::filesystem::file_size(tracePath)));
  Print("\"Запись\" (35 answered bytes)", writeOff, writeOn);
  Print("\"Чтение\" (70, block of 34, 200 ms, 4 answers)", readOff, readOn);
  return 0;
}
