// One DAC poll (140, 100 ms, the 8-byte block) and one "REFL-FORV" (two answered triples with
// 300 ms between) against the simulated station at 1200-baud pacing. Each is set against
//  - the floor: its pauses plus whatever wire time they do not cover (a poll's block is on the
//    wire during the 100 ms pause; every answered byte costs two byte times);
//  - a raw termios client doing the same sends, sleeps and reads with poll(), in the same run.
//
//   TelemetryBench [rounds]
#include "bench/BenchStats.h"
#include "bench/RawClient.h"
#include "link/CommandSet.h"
#include "link/Connection.h"
#include "link/Telemetry.h"
#include "main/Application.h"
#include "main/UnitMain.h"
#include "serial/AdPort.h"
#include "station/SimStation.h"
#include "tests/support/TempConfigDir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double ByteMs = 10 * 1000.0 / 1200;

void Sleep(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

struct Figures {
  std::vector<double> poll, reflForw;
};

Figures Raw(const std::string &device, int rounds) {
  TRawClient raw(device);
  raw.Answered(Command::Connect);
  Figures f;
  for (int i = 0; i < rounds; ++i) {
    auto start = Clock::now();
    raw.Send(Command::Telemetry);
    Sleep(Pause::BeforeTelemetryBlock);
    for (int b = 0; b < 8; ++b)
      raw.Receive();
    f.poll.push_back(Millis(Clock::now() - start));

    start = Clock::now();
    for (uint8_t b : {Command::Query, Command::QueryMeasure, Command::Refl})
      raw.Answered(b);
    Sleep(Pause::AfterRefl);
    for (uint8_t b : {Command::Query, Command::QueryMeasure, Command::Forw})
      raw.Answered(b);
    f.reflForw.push_back(Millis(Clock::now() - start));
  }
  return f;
}

Figures Tool(int rounds) {
  TForm1 form;
  ConnectStation(form);
  if (form.BitBtn9->isEnabled()) {
    std::fprintf(stderr, "connect failed\n");
    std::exit(1);
  }
  form.CheckBox1->setChecked(true);
  Figures f;
  for (int i = 0; i < rounds; ++i) {
    auto start = Clock::now();
    PollDacValues(form);
    f.poll.push_back(Millis(Clock::now() - start));
    if (form.Memo1->document()->blockCount() != 3) {
      std::fprintf(stderr, "poll failed\n");
      std::exit(1);
    }
    start = Clock::now();
    ReadReflForw(form);
    f.reflForw.push_back(Millis(Clock::now() - start));
    if (!form.Memo1->toPlainText().startsWith("REFL= ")) {
      std::fprintf(stderr, "REFL-FORV failed\n");
      std::exit(1);
    }
  }
  form.MainState.ComPort->SetOpen(false);
  return f;
}

void Report(const char *what, const std::vector<double> &tool, const std::vector<double> &raw, double floor) {
  std::printf(
      "  %-10s tool median %7.2f ms (p90 %7.2f) | raw %7.2f ms | floor %6.2f ms | %.4fx floor, %.4fx raw "
      "(goal <= 1.01x)\n",
      what, Median(tool), Percentile(tool, 0.9), Median(raw), floor, Median(tool) / floor,
      Median(tool) / Median(raw));
}

} // namespace

int main(int argc, char **argv) {
  const int rounds = argc >= 2 ? std::max(3, std::atoi(argv[1])) : 20;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  TempConfigDir dir;
  TSimStation station;
  station.Start({.ComNumber = 2, .Pace = true});
  const Figures raw = Raw(station.SlavePath(), rounds);
  const Figures tool = Tool(rounds);
  // The block (8 bytes) follows the command byte on the wire while the pause runs.
  const double pollFloor = std::max<double>(Pause::BeforeTelemetryBlock, 9 * ByteMs);
  const double reflForwFloor = 6 * 2 * ByteMs + Pause::AfterRefl;
  std::printf("1200-baud paced line, %d rounds:\n", rounds);
  Report("DAC poll", tool.poll, raw.poll, pollFloor);
  Report("REFL-FORV", tool.reflForw, raw.reflForw, reflForwFloor);
  return 0;
}
