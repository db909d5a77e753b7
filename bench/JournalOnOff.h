#pragma once
// The station journal on against off, in one run: the same operation timed by turns with the
// journal stopped and started (into a file of the benchmark's own), so that both see the same
// load on the machine.
#include "bench/BenchStats.h"
#include "journal/Journal.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

struct TOnOff {
  std::vector<double> Off;
  std::vector<double> On;
};

// action() runs the operation once and returns its duration in ms.
template <typename Action> TOnOff JournalOnOff(size_t count, const std::string &folder, Action action) {
  TOnOff times;
  const size_t block = 1;
  TJournalSettings settings;
  settings.LocalFile = QString::fromStdString(folder + "/journal.sqlite");
  while (times.On.size() < count) {
    for (size_t i = 0; i < block && times.Off.size() < count; ++i)
      times.Off.push_back(action());
    Journal().Start(settings);
    for (size_t i = 0; i < block && times.On.size() < count; ++i)
      times.On.push_back(action());
    Journal().Stop();
  }
  return times;
}

inline void PrintOnOff(const char *what, const TOnOff &times) {
  std::printf("  %s, journal off: median %.2f ms; on: median %.2f ms: %.4fx off (goal <= 1.005x)\n", what,
              Median(times.Off), Median(times.On), Median(times.On) / Median(times.Off));
}
