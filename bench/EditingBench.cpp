// Editing measured against the wire: one "Параметр +" (four answered bytes and the fixed settle
// pause before the refresh) and one "Переписать ряд" (35 answered bytes), against the simulated
// station at 1200-baud pacing. The references in the same run are the wire time itself (every
// answered byte is two bytes of 10 bits on the line) and a plain termios client sending the same
// bytes with poll(), which shows what the pseudo-terminal and the station cost by themselves.
// Then both operations again with the station journal on against off.
//
//   EditingBench [steps]
#include "bench/BenchStats.h"
#include "bench/JournalOnOff.h"
#include "link/CommandSet.h"
#include "link/Connection.h"
#include "main/Application.h"
#include "main/UnitMain.h"
#include "params/Choice.h"
#include "params/Editing.h"
#include "runtime/Dialogs.h"
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

// The same exchange from a raw client: each byte out, poll for its answer.
std::vector<double> RawExchanges(const std::string &device, const std::vector<uint8_t> &bytes, int count) {
  const int fd = open(device.c_str(), O_RDWR | O_NOCTTY);
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  cfsetspeed(&t, B1200);
  tcsetattr(fd, TCSANOW, &t);
  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    for (const uint8_t out : bytes) {
      (void)!write(fd, &out, 1);
      pollfd p{fd, POLLIN, 0};
      uint8_t in = 0;
      if (poll(&p, 1, 1000) != 1 || read(fd, &in, 1) != 1) {
        std::fprintf(stderr, "raw client got no answer\n");
        std::exit(1);
      }
    }
    times.push_back(Millis(Clock::now() - start));
  }
  close(fd);
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
  std::vector<uint8_t> writeAll(1 + 34, 5);
  writeAll[0] = Command::WriteAll;
  const auto rawStep = RawExchanges(station.SlavePath(), {Command::SetValue, 0, 67, 1}, steps);
  const auto rawColumn = RawExchanges(station.SlavePath(), writeAll, std::max(3, steps / 4));
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
  Print("raw client, the 4 bytes of a step", rawStep, 4 * AnsweredByteMs);
  Print("raw client, the 35 bytes of a column", rawColumn, 35 * AnsweredByteMs);
  std::printf("  against the raw client: step less its pause %.4fx, column %.4fx\n",
              (Median(step) - StepPauseMs) / Median(rawStep), Median(column) / Median(rawColumn));

  const std::string journalFolder = (dir.Root() / "journal").string();
  ChooseField(form, form.Edit1);
  const TOnOff stepOnOff = JournalOnOff(steps, journalFolder, [&] { return Timed(1, form, [&] { StepParameter(form, true); })[0]; });
  ChooseCell(form, 1, 1);
  const TOnOff columnOnOff =
      JournalOnOff(column.size(), journalFolder, [&] { return Timed(1, form, [&] { OverwriteColumn(form); })[0]; });
  std::printf("The station journal on against off:\n");
  PrintOnOff("\"Параметр +\"", stepOnOff);
  PrintOnOff("\"Переписать ряд\"", columnOnOff);
  return 0;
}
