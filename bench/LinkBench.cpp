// The station link measured against the wire: connect-to-connected, and one answered byte
// through WaitAnswer, against the simulated station unpaced and at 1200-baud pacing. The
// reference in the same run is a plain termios client doing the same exchange with poll(), and
// for the paced line also the wire time itself (two bytes of 10 bits at 1200 baud).
//
//   LinkBench [exchanges]
#include "bench/BenchStats.h"
#include "link/CommandSet.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "main/Application.h"
#include "main/UnitMain.h"
#include "serial/AdPort.h"
#include "station/SimStation.h"
#include "tests/support/TempConfigDir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A raw client: one byte out, poll for the answer, read it.
std::vector<double> RawExchanges(const std::string &device, int count) {
  const int fd = open(device.c_str(), O_RDWR | O_NOCTTY);
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  cfsetspeed(&t, B1200);
  tcsetattr(fd, TCSANOW, &t);
  tcflush(fd, TCIOFLUSH);
  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    const uint8_t out = Command::Connect;
    const auto start = Clock::now();
    (void)!write(fd, &out, 1);
    pollfd p{fd, POLLIN, 0};
    uint8_t in = 0;
    if (poll(&p, 1, 1000) != 1 || read(fd, &in, 1) != 1) {
      std::fprintf(stderr, "raw client got no answer\n");
      std::exit(1);
    }
    times.push_back(Millis(Clock::now() - start));
  }
  close(fd);
  return times;
}

struct LinkFigures {
  std::vector<double> connect, exchange;
};

LinkFigures ToolExchanges(int count) {
  LinkFigures f;
  TForm1 form;
  for (int i = 0; i < 5; ++i) {
    const auto start = Clock::now();
    ConnectStation(form);
    f.connect.push_back(Millis(Clock::now() - start));
    if (form.BitBtn9->isEnabled()) {
      std::fprintf(stderr, "connect failed\n");
      std::exit(1);
    }
    if (i < 4)
      form.MainState.ComPort->SetOpen(false);
  }
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    if (!SendAnswered(form, Command::Connect)) {
      std::fprintf(stderr, "exchange failed\n");
      std::exit(1);
    }
    f.exchange.push_back(Millis(Clock::now() - start));
  }
  form.MainState.ComPort->SetOpen(false);
  return f;
}

void Report(const char *line, int count, bool paced) {
  TSimStation station;
  station.Start({.ComNumber = 2, .Pace = paced});
  const std::vector<double> raw = RawExchanges(station.SlavePath(), count);
  const LinkFigures tool = ToolExchanges(count);
  const double wire = paced ? 2 * 10 * 1000.0 / 1200 : 0;
  std::printf("%s line, %d exchanges:\n", line, count);
  std::printf("  connect to connected: median %.2f ms\n", Median(tool.connect));
  std::printf("  answered byte, raw termios+poll: median %.3f ms, p99 %.3f ms\n", Median(raw), Percentile(raw, 0.99));
  std::printf("  answered byte, WaitAnswer:       median %.3f ms, p99 %.3f ms  (%.3fx raw)\n", Median(tool.exchange),
              Percentile(tool.exchange, 0.99), Median(tool.exchange) / Median(raw));
  if (paced)
    std::printf("  wire time %.2f ms: WaitAnswer %.4fx wire, raw %.4fx wire (goal <= 1.01x)\n", wire,
                Median(tool.exchange) / wire, Median(raw) / wire);
}

} // namespace

int main(int argc, char **argv) {
  const int count = argc >= 2 ? std::max(10, std::atoi(argv[1])) : 200;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  TempConfigDir dir;
  Report("unpaced", count * 5, false);
  Report("1200-baud paced", count, true);
  return 0;
}
