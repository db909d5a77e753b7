// "Запись" and "Чтение" against the simulated station at 1200-baud pacing, measured against the
// wire time plus the fixed pauses, and against a plain termios client doing the same exchange in
// the same run. Then both again with the station journal on against off.
//
//   "Запись": 60 and the 34 values, each answered: 35 bytes out, 35 back.
//   "Чтение": 70, the block of 34, 200 ms, then 170, 20, 97 answered and one more answer.
//
//   TransferBench [repetitions]
#include "bench/BenchStats.h"
#include "bench/JournalOnOff.h"
#include "bench/RawClient.h"
#include "link/CommandSet.h"
#include "link/Connection.h"
#include "main/Application.h"
#include "main/UnitMain.h"
#include "records/SnapshotFile.h"
#include "records/Transfers.h"
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

constexpr double ByteMs = 10 * 1000.0 / 1200; // one byte of 10 bits at 1200 baud
constexpr double WriteWireMs = 2 * 35 * ByteMs;
constexpr double ReadWireMs = (1 + 34 + 2 * 3 + 1) * ByteMs + Pause::BeforeModelQuery;

void Die(const char *what) {
  std::fprintf(stderr, "%s\n", what);
  std::exit(1);
}

// The raw client's "Запись" and "Чтение": the same bytes and pauses as the tool's.
double RawWriteAll(TRawClient &raw, const std::vector<uint8_t> &values) {
  const auto start = Clock::now();
  raw.Answered(Command::WriteAll);
  for (uint8_t v : values)
    raw.Answered(v);
  return Millis(Clock::now() - start);
}

double RawReadAll(TRawClient &raw) {
  const auto start = Clock::now();
  raw.Flush();
  raw.Send(Command::ReadAll);
  for (int i = 0; i < 34; ++i)
    raw.Receive();
  std::this_thread::sleep_for(std::chrono::milliseconds(Pause::BeforeModelQuery));
  for (uint8_t b : {Command::Query, Command::QueryModel, Command::ModelOperand})
    raw.Answered(b);
  raw.Receive();
  return Millis(Clock::now() - start);
}

void PrintFigures(const char *what, const std::vector<double> &tool, const std::vector<double> &raw,
                  double wire) {
  std::printf("%s: wire + pauses %.2f ms\n", what, wire);
  std::printf("  raw termios client: median %.2f ms (%.4fx wire)\n", Median(raw), Median(raw) / wire);
  std::printf(
      "  kstune:             median %.2f ms, max %.2f ms (%.4fx wire, %.4fx raw; goal <= 1.01x wire)\n",
      Median(tool), Percentile(tool, 1.0), Median(tool) / wire, Median(tool) / Median(raw));
}

} // namespace

int main(int argc, char **argv) {
  const int count = argc >= 2 ? std::max(3, std::atoi(argv[1])) : 10;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  TempConfigDir dir;
  TSimStation station;
  station.Start({.ComNumber = 2, .Pace = true});

  // Raw client and kstune take turns, so that both see the same load on the machine.
  std::vector<double> rawWrite, rawRead, toolWrite, toolRead;
  TForm1 form;
  const std::vector<uint8_t> values(34, 100);
  for (int i = 0; i < count; ++i) {
    {
      TRawClient raw(station.SlavePath());
      rawWrite.push_back(RawWriteAll(raw, values));
      rawRead.push_back(RawReadAll(raw));
    }
    ConnectStation(form);
    if (form.BitBtn9->isEnabled())
      Die("connect failed");
    auto start = Clock::now();
    WriteAll(form);
    toolWrite.push_back(Millis(Clock::now() - start));
    if (!form.BitBtn1->isEnabled())
      Die("\"Запись\" failed");
    start = Clock::now();
    ReadAll(form);
    toolRead.push_back(Millis(Clock::now() - start));
    if (!form.BitBtn2->isEnabled())
      Die("\"Чтение\" failed");
    form.MainState.ComPort->SetOpen(false);
  }
  // The snapshot's share of "Запись": a whole replacement, made durable before the rename.
  std::vector<double> snapshot;
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    WriteSnapshot(SnapshotPath(), form.MainState.ParamValues);
    snapshot.push_back(Millis(Clock::now() - start));
  }

  std::printf("1200-baud paced line, %d repetitions\n", count);
  PrintFigures("\"Запись\" (35 answered bytes, snapshot included)", toolWrite, rawWrite, WriteWireMs);
  std::printf("  of which the snapshot file: median %.2f ms\n", Median(snapshot));
  PrintFigures("\"Чтение\" (70, block of 34, 200 ms, 4 answers)", toolRead, rawRead, ReadWireMs);

  const std::string journalFolder = (dir.Root() / "journal").string();
  const auto timed = [&form](void (*operation)(TForm1 &), QPushButton *button) {
    ConnectStation(form);
    // The connect's record (and, first in a run, the opening of the file) is not what is timed.
    Journal().WaitWritten(std::chrono::seconds(5));
    const auto start = Clock::now();
    operation(form);
    const double ms = Millis(Clock::now() - start);
    if (!button->isEnabled())
      Die("an operation failed");
    form.MainState.ComPort->SetOpen(false);
    return ms;
  };
  const TOnOff write = JournalOnOff(count, journalFolder, [&] { return timed(WriteAll, form.BitBtn1); });
  const TOnOff read = JournalOnOff(count, journalFolder, [&] { return timed(ReadAll, form.BitBtn2); });
  std::printf("The station journal on against off:\n");
  PrintOnOff("\"Запись\"", write);
  PrintOnOff("\"Чтение\"", read);
  return 0;
}
