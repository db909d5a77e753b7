// CPU used by a process that holds an open port and does nothing, over 10 s, as a share of one
// core; a plain sleep of the same length is measured first as the reference.
#include "serial/AwWin32.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempConfigDir.h"

#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <thread>

namespace {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Measure(int seconds) {
  const double c0 = CpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return (CpuSeconds() - c0) / wall * 100.0;
}

} // namespace

int main() {
  TempConfigDir dir;
  PtyPair pty;
  dir.LinkCom(1, pty.SlavePath());
  const double reference = Measure(2);
  TApdWin32Dispatcher port(nullptr);
  if (port.OpenDispatcher("\\\\.\\COM1", 1200, NoParity, 8, 1, 100, 100, true, true) != 0) {
    std::fprintf(stderr, "open failed\n");
    return 1;
  }
  const double open = Measure(10);
  std::printf("idle CPU with the port open: %.4f %% of one core over 10 s (plain sleep: %.4f %%)\n", open,
              reference);
  return 0;
}
