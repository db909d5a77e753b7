// One answered byte over a pseudo-terminal with an echo peer: through the dispatcher (put byte,
// echo, poll byte ready, get byte) against raw termios + poll on the same peer, in one run.
// Rounds alternate so that both see the same machine load. Prints medians, p99s and ratios.
#include "bench/BenchStats.h"
#include "serial/AwWin32.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempConfigDir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Rounds = 10;
constexpr int PerRound = 1000;

bool RawRoundTrip(int fd, uint8_t b) {
  if (write(fd, &b, 1) != 1)
    return false;
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 5000) != 1)
    return false;
  uint8_t back;
  return read(fd, &back, 1) == 1 && back == b;
}

bool DispatcherRoundTrip(TApdBaseDispatcher &d, uint8_t b) {
  if (d.PutChar(b) != 0)
    return false;
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (!d.CharReady()) {
    if (Clock::now() > deadline)
      return false;
    std::this_thread::yield();
  }
  uint8_t back;
  return d.GetChar(back) == 0 && back == b;
}

} // namespace

int main() {
  TempConfigDir dir;
  PtyPair pty;
  pty.StartEcho();
  dir.LinkCom(1, pty.SlavePath());

  std::vector<double> raw, disp, rawMedians, dispMedians;
  for (int round = 0; round < Rounds; ++round) {
    std::vector<double> r, d;
    {
      const int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
      termios tio;
      tcgetattr(fd, &tio);
      cfmakeraw(&tio);
      tio.c_cc[VMIN] = 1;
      tio.c_cc[VTIME] = 0;
      cfsetspeed(&tio, B1200);
      tcsetattr(fd, TCSANOW, &tio);
      for (int i = 0; i < PerRound; ++i) {
        const auto t0 = Clock::now();
        if (!RawRoundTrip(fd, static_cast<uint8_t>(i))) {
          std::fprintf(stderr, "raw round trip failed\n");
          return 1;
        }
        r.push_back(Micros(Clock::now() - t0));
      }
      close(fd);
    }
    {
      TApdWin32Dispatcher port(nullptr);
      if (port.OpenDispatcher("\\\\.\\COM1", 1200, NoParity, 8, 1, 100, 100, true, true) != 0) {
        std::fprintf(stderr, "open failed\n");
        return 1;
      }
      for (int i = 0; i < PerRound; ++i) {
        const auto t0 = Clock::now();
        if (!DispatcherRoundTrip(port, static_cast<uint8_t>(i))) {
          std::fprintf(stderr, "dispatcher round trip failed\n");
          return 1;
        }
        d.push_back(Micros(Clock::now() - t0));
      }
    }
    rawMedians.push_back(Percentile(r, 0.5));
    dispMedians.push_back(Percentile(d, 0.5));
    raw.insert(raw.end(), r.begin(), r.end());
    disp.insert(disp.end(), d.begin(), d.end());
  }
  pty.StopEcho();
  const double rawMed = Percentile(raw, 0.5), dispMed = Percentile(disp, 0.5);
  const double rawP99 = Percentile(raw, 0.99), dispP99 = Percentile(disp, 0.99);
  const double rawRounds = Percentile(rawMedians, 0.5), dispRounds = Percentile(dispMedians, 0.5);
  std::printf("one answered byte, %d round trips each\n", Rounds * PerRound);
  std::printf("raw termios+poll : median %7.1f us  p99 %7.1f us  median of round medians %7.1f us\n", rawMed,
              rawP99, rawRounds);
  std::printf("dispatcher       : median %7.1f us  p99 %7.1f us  median of round medians %7.1f us\n", dispMed,
              dispP99, dispRounds);
  std::printf("ratio            : median %5.2fx  p99 %5.2fx  round medians %5.2fx\n", dispMed / rawMed,
              dispP99 / rawP99, dispRounds / rawRounds);
  return 0;
}
