// One answered byte through the port component over a pseudo-terminal with an echo peer:
// waiting with WaitByteReady against polling ByteReady with a 1 ms sleep between empty polls,
// in alternating rounds of the same run. Prints medians, p99s and their ratio.
#include "bench/BenchStats.h"
#include "serial/AdPort.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempConfigDir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Rounds = 6;
constexpr int PerRound = 300;

bool Waited(TApdComPort &port, uint8_t b) {
  port.SendByte(b);
  return port.WaitByteReady(5000) && port.ReadByte() == b;
}

bool Polled(TApdComPort &port, uint8_t b) {
  port.SendByte(b);
  for (int budget = 5000; budget > 0; --budget) {
    if (port.ByteReady())
      return port.ReadByte() == b;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

} // namespace

int main() {
  TempConfigDir dir;
  PtyPair pty;
  pty.StartEcho();
  dir.LinkCom(1, pty.SlavePath());
  TApdComPort port;
  port.SetComNumber(1);
  port.SetAutoOpen(false);
  port.SetBaud(1200);
  port.OpenPort();

  std::vector<double> waited, polled;
  for (int round = 0; round < Rounds; ++round) {
    for (int pass = 0; pass < 2; ++pass) {
      auto &times = pass == 0 ? waited : polled;
      for (int i = 0; i < PerRound; ++i) {
        const auto t0 = Clock::now();
        const bool ok =
            pass == 0 ? Waited(port, static_cast<uint8_t>(i)) : Polled(port, static_cast<uint8_t>(i));
        if (!ok) {
          std::fprintf(stderr, "round trip failed\n");
          return 1;
        }
        times.push_back(Micros(Clock::now() - t0));
      }
    }
  }
  port.ClosePort();
  pty.StopEcho();
  const double wMed = Percentile(waited, 0.5), pMed = Percentile(polled, 0.5);
  const double wP99 = Percentile(waited, 0.99), pP99 = Percentile(polled, 0.99);
  std::printf("one answered byte through the component, %d round trips each\n", Rounds * PerRound);
  std::printf("WaitByteReady           : median %8.1f us  p99 %8.1f us\n", wMed, wP99);
  std::printf("ByteReady + 1 ms sleeps : median %8.1f us  p99 %8.1f us\n", pMed, pP99);
  std::printf("ratio (poll / wait)     : median %5.2fx  p99 %5.2fx\n", pMed / wMed, pP99 / wP99);
  return 0;
}
