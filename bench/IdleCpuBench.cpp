// CPU used by a process that holds an open port and does nothing, over 10 s, as a share of one
// core. References from the same run: a plain sleep, and a bare thread that wakes every 50 ms
// (the dispatch thread's pass) doing nothing, which is the floor of that design.
#include "platform/CommDevice.h"
#include "serial/AwWin32.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempConfigDir.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <poll.h>
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
  double bareTick;
  {
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
      while (!stop.load())
        poll(nullptr, 0, DispatchTickMs);
    });
    bareTick = Measure(10);
    stop.store(true);
    ticker.join();
  }
  TApdWin32Dispatcher port(nullptr);
  if (port.OpenDispatcher(ComPortName(1), 1200, NoParity, 8, 1, 100, 100, true, true) != 0) {
    std::fprintf(stderr, "open failed\n");
    return 1;
  }
  const double open = Measure(10);
  std::printf("idle CPU with the port open: %.4f %% of one core over 10 s\n", open);
  std::printf("references: plain sleep %.4f %%, bare 50 ms wake-up %.4f %% (port open = %.2fx the bare wake-up)\n",
              reference, bareTick, open / bareTick);
  return 0;
}
