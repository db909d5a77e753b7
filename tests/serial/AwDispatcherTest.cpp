// The dispatcher's data path over a pseudo-terminal: both ring buffers, purges, line settings,
// the trace, the open errors.
#include "serial/OoMisc.h"
#include "tests/serial/AwTestSupport.h"
#include "tests/support/HeldPort.h"

#include <fcntl.h>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <numeric>
#include <sstream>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::vector<uint8_t> Pattern(size_t count, unsigned seed) {
  std::vector<uint8_t> bytes(count);
  unsigned x = seed;
  for (auto &b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }
  return bytes;
}

TEST(AwDispatcher, BytesTravelBothWays) {
  TPortFixture f;
  ASSERT_EQ(f.Open(), 0);
  EXPECT_EQ(f.port.RunningThreads(), 3);
  uint8_t c = 0;
  EXPECT_FALSE(f.port.CharReady());
  EXPECT_EQ(f.port.GetChar(c), -ecBufferIsEmpty);
  EXPECT_EQ(f.port.PeekChar(1), -ecBufferIsEmpty);

  f.pty.Write(std::vector<uint8_t>{7, 8, 9});
  ASSERT_TRUE(WaitUntil([&] { return f.port.InBuffUsed() == 3; }));
  EXPECT_TRUE(f.port.CharReady());
  EXPECT_EQ(f.port.PeekChar(3), 9);
  EXPECT_EQ(f.port.PeekChar(4), -ecBufferIsEmpty);
  EXPECT_EQ(f.Take(3), (std::vector<uint8_t>{7, 8, 9}));
  EXPECT_FALSE(f.port.CharReady());

  ASSERT_EQ(f.port.PutChar(0x41), 0);
  ASSERT_EQ(f.port.PutBlock("BC", 2), 0);
  EXPECT_EQ(f.pty.Read(3, 10000), (std::vector<uint8_t>{'A', 'B', 'C'}));
}

TEST(AwDispatcher, EachArrivalWakesTheEventThreadOnce) {
  TPortFixture f;
  ASSERT_EQ(f.Open(), 0);
  const unsigned long before = f.port.EventWakeups();
  constexpr int Bytes = 40;
  for (int i = 0; i < Bytes; ++i) {
    f.pty.Write(std::vector<uint8_t>{static_cast<uint8_t>(i)});
    ASSERT_EQ(f.Take(1), std::vector<uint8_t>{static_cast<uint8_t>(i)});
  }
  // A level-triggered wait that re-reports unread bytes wakes dozens of times per byte.
  EXPECT_LE(f.port.EventWakeups() - before, 2u * Bytes);
  // Bytes nobody takes are not announced again and again.
  f.pty.Write(std::vector<uint8_t>(DispatchBufferSize + 100, 1));
  ASSERT_TRUE(WaitUntil([&] { return f.port.InBuffUsed() == DispatchBufferSize; }));
  const unsigned long full = f.port.EventWakeups();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LE(f.port.EventWakeups() - full, 2u);
}

TEST(AwDispatcher, FullReceiveRingLeavesTheRestInTheOs) {
  TPortFixture f;
  ASSERT_EQ(f.Open(), 0);
  const auto sent = Pattern(DispatchBufferSize + 1000, 1);
  std::thread writer([&] { f.pty.Write(sent); });
  ASSERT_TRUE(WaitUntil([&] { return f.port.InBuffUsed() == DispatchBufferSize; }));
  // Nothing more fits; the ring stays full and ready while the OS holds the rest.
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(f.port.InBuffUsed(), DispatchBufferSize);
  EXPECT_TRUE(f.port.CharReady());
  EXPECT_EQ(f.Take(sent.size()), sent);
  writer.join();
}

// Fills the kernel's buffer towards the peer (which does not read) and the output ring behind
// it, so that the output thread sits in a pending write. Returns the bytes queued, in order.
std::vector<uint8_t> HoldOutputPending(TPortFixture &f, unsigned seed, unsigned reserve = 10) {
  std::vector<uint8_t> queued;
  const auto chunk = Pattern(47, seed);
  unsigned lastFree = ~0u;
  int stableTicks = 0;
  while (stableTicks < 20) {
    if (f.port.OutBuffFree() >= chunk.size() + reserve &&
        f.port.PutBlock(chunk.data(), static_cast<unsigned>(chunk.size())) == 0) {
      queued.insert(queued.end(), chunk.begin(), chunk.end());
      stableTicks = 0;
      continue;
    }
    const unsigned free = f.port.OutBuffFree();
    stableTicks = free == lastFree ? stableTicks + 1 : 0;
    lastFree = free;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return queued;
}

TEST(AwDispatcher, OutputRingFillsExactlyAndSendsWrappedDataInOrder) {
  TPortFixture f;
  ASSERT_EQ(f.Open(100, 1000), 0);
  auto queued = HoldOutputPending(f, 2);
  const unsigned free = f.port.OutBuffFree();
  ASSERT_GT(free, 0u);
  const auto last = Pattern(free, 3);
  ASSERT_EQ(f.port.PutBlock(last.data(), free), 0);
  EXPECT_EQ(f.port.OutBuffFree(), 0u);
  EXPECT_EQ(f.port.OutBuffUsed(), 1000u);
  EXPECT_EQ(f.port.PutChar(1), -ecOutputBufferTooSmall);
  queued.insert(queued.end(), last.begin(), last.end());
  EXPECT_EQ(f.pty.Read(queued.size(), 20000), queued);
}

TEST(AwDispatcher, PurgeOutputAbandonsAPendingWrite) {
  TPortFixture f;
  ASSERT_EQ(f.Open(100, 1000), 0);
  HoldOutputPending(f, 4);
  auto purge = std::async(std::launch::async, [&] { return f.port.FlushOutBuffer(); });
  ASSERT_EQ(purge.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(purge.get(), 0);
  EXPECT_EQ(f.port.OutBuffUsed(), 0u);
  // Whatever the kernel still held may arrive; after it, the next byte goes out normally.
  f.pty.Read(1 << 20, 300);
  ASSERT_EQ(f.port.PutChar(0x5A), 0);
  EXPECT_EQ(f.pty.Read(1, 10000), std::vector<uint8_t>{0x5A});
}

TEST(AwDispatcher, PurgeInputEmptiesTheRingAndTheOsQueue) {
  TPortFixture f;
  ASSERT_EQ(f.Open(), 0);
  f.pty.Write(Pattern(DispatchBufferSize + 500, 5));
  ASSERT_TRUE(WaitUntil([&] { return f.port.InBuffUsed() == DispatchBufferSize; }));
  EXPECT_EQ(f.port.FlushInBuffer(), 0);
  EXPECT_FALSE(f.port.CharReady());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(f.port.CharReady()) << "bytes left in the OS queue came through";
  f.pty.Write(std::vector<uint8_t>{42});
  EXPECT_EQ(f.Take(1), std::vector<uint8_t>{42});
}

TEST(AwDispatcher, SetLineWritesOnlyChanges) {
  TPortFixture f;
  ASSERT_EQ(f.Open(), 0);
  EXPECT_EQ(f.pty.MasterSpeed(), B1200);
  struct Case {
    int32_t baud;
    int parity, dataBits, stopBits;
    int writes;
    speed_t speed;
  } cases[] = {
      {1200, NoParity, 8, 1, 0, B1200},                             // the current values
      {KeepBaud, KeepParity, KeepDataBits, KeepStopBits, 0, B1200}, // keep everything
      {9600, KeepParity, KeepDataBits, KeepStopBits, 1, B9600},     // new rate
      {KeepBaud, EvenParity, 7, 2, 1, B9600},                       // new framing
      {9600, EvenParity, 7, 2, 0, B9600},                           // same again
  };
  for (const auto &c : cases) {
    const int before = f.port.LineStateWrites;
    EXPECT_EQ(f.port.SetLine(c.baud, c.parity, c.dataBits, c.stopBits), 0);
    EXPECT_EQ(f.port.LineStateWrites - before, c.writes) << c.baud << "/" << c.parity << "/" << c.dataBits;
    EXPECT_EQ(f.pty.MasterSpeed(), c.speed);
  }
  EXPECT_EQ(f.port.LineState().ByteSize, 7);
  EXPECT_EQ(f.port.LineState().Parity, EvenParity);
  EXPECT_EQ(f.port.LineState().StopBits, TwoStopBits);
  EXPECT_EQ(f.port.SetLine(KeepBaud, NoParity, 5, 2), 0);
  EXPECT_EQ(f.port.LineState().StopBits, One5StopBits);
  EXPECT_LT(f.port.SetLine(1234, KeepParity, KeepDataBits, KeepStopBits), 0);
}

TEST(AwDispatcher, NewBaudRateSendsWaitingBytesFirst) {
  TPortFixture f;
  ASSERT_EQ(f.Open(100, 4000), 0);
  // A slow far end: the bytes take a while to leave.
  std::vector<uint8_t> got;
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done.load()) {
      auto part = f.pty.Read(64, 2);
      got.insert(got.end(), part.begin(), part.end());
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  const auto bytes = Pattern(3000, 6);
  ASSERT_EQ(f.port.PutBlock(bytes.data(), static_cast<unsigned>(bytes.size())), 0);
  ASSERT_EQ(f.port.SetLine(9600, KeepParity, KeepDataBits, KeepStopBits), 0);
  // By the time the rate changed, every byte had left the dispatcher and the kernel.
  const size_t atChange = f.pty.Pending();
  done.store(true);
  reader.join();
  EXPECT_EQ(f.port.OutBuffUsed(), 0u);
  auto rest = f.pty.Read(bytes.size(), 1000);
  got.insert(got.end(), rest.begin(), rest.end());
  EXPECT_GE(got.size() - rest.size() + atChange, bytes.size());
  EXPECT_EQ(got, bytes);
}

TEST(AwDispatcher, TraceDumpShowsReceivedBytes) {
  TPortFixture f;
  ASSERT_EQ(f.Open(), 0);
  ASSERT_EQ(f.port.InitTracing(100), 0);
  f.pty.Write(std::vector<uint8_t>{0, 65, 200});
  ASSERT_EQ(f.Take(3).size(), 3u);
  ASSERT_EQ(f.port.PutBlock("a\x01", 2), 0);
  const auto file = f.dir.Root() / "SERX.TRC";
  ASSERT_EQ(f.port.DumpTrace(file.string(), false, false), 0);
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "Receive: \r\n[0]A[200]\r\n\r\nTransmit: \r\na[1]\r\n");
  EXPECT_FALSE(f.port.TracingOn());
}

TEST(AwDispatcher, TraceFormatsAndWraps) {
  TPortFixture f;
  ASSERT_EQ(f.Open(), 0);
  EXPECT_EQ(f.port.InitTracing(MaxTraceSize + 1), -ecBadArgument);
  struct Case {
    bool inHex, allHex;
    const char *expected;
  } cases[] = {
      {true, false, "Transmit: \r\n[20]![0A]\r\n"},
      {false, false, "Transmit: \r\n ![10]\r\n"},
      {false, true, "Transmit: \r\n[20][21][0A]\r\n"},
  };
  for (const auto &c : cases) {
    ASSERT_EQ(f.port.InitTracing(3), 0);
    ASSERT_EQ(f.port.PutBlock("x !\n", 4), 0); // four entries in a ring of three: 'x' is lost
    const auto file = f.dir.Root() / "t.trc";
    ASSERT_EQ(f.port.DumpTrace(file.string(), c.inHex, c.allHex), 0);
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), c.expected) << c.inHex << c.allHex;
  }
}

TEST(AwDispatcher, TraceBreaksLinesAt78) {
  TPortFixture f;
  ASSERT_EQ(f.Open(100, 1000), 0);
  ASSERT_EQ(f.port.InitTracing(1000), 0);
  std::vector<uint8_t> bytes(30, 200); // "[200]" is 5 characters: 15 per line
  ASSERT_EQ(f.port.PutBlock(bytes.data(), 30), 0);
  const auto file = f.dir.Root() / "t.trc";
  ASSERT_EQ(f.port.DumpTrace(file.string(), false, false), 0);
  std::ifstream in(file, std::ios::binary);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "Transmit: \r");
  std::getline(in, line);
  EXPECT_EQ(line.size(), 15u * 5 + 1);
  std::getline(in, line);
  EXPECT_EQ(line.size(), 15u * 5 + 1);
}

TEST(AwDispatcher, OpenFailuresGiveTheirErrorAndStartNoThread) {
  TempConfigDir dir;
  PtyPair held, free;
  dir.LinkCom(1, dir.Root() / "no-such-device");
  dir.LinkCom(2, dir.WriteFile("plain", "not a terminal"));
  dir.LinkCom(3, held.SlavePath());
  dir.LinkCom(4, free.SlavePath());
  THeldPort holder(held.SlavePath());
  ASSERT_TRUE(holder.Holding());

  TApdWin32Dispatcher first(nullptr);
  ASSERT_EQ(first.OpenDispatcher("\\\\.\\COM4", 1200, NoParity, 8, 1, 100, 100, true, true), 0);
  struct Case {
    const char *name;
    int expected;
  } cases[] = {
      {"\\\\.\\COM1", -ErrorFileNotFound}, // dangling link: no device
      {"\\\\.\\COM2", -ErrorFileNotFound}, // a regular file is no port
      {"\\\\.\\COM3", -ErrorAccessDenied}, // held by another process
      {"\\\\.\\COM4", -ErrorAccessDenied}, // already open in this process
      {"\\\\.\\COM0", -ErrorFileNotFound},
  };
  for (const auto &c : cases) {
    TApdWin32Dispatcher d(nullptr);
    EXPECT_EQ(d.OpenDispatcher(c.name, 1200, NoParity, 8, 1, 100, 100, true, true), c.expected) << c.name;
    EXPECT_EQ(d.RunningThreads(), 0);
  }
  holder.Release();
  // Once the other process let go, the port opens.
  TApdWin32Dispatcher later(nullptr);
  EXPECT_EQ(later.OpenDispatcher("\\\\.\\COM3", 1200, NoParity, 8, 1, 100, 100, true, true), 0);
}

TEST(AwDispatcher, HandlesAreReusedLowestFirst) {
  auto a = std::make_unique<TApdWin32Dispatcher>(nullptr);
  auto b = std::make_unique<TApdWin32Dispatcher>(nullptr);
  const int handleA = a->Handle();
  EXPECT_EQ(TApdBaseDispatcher::FromHandle(b->Handle()), b.get());
  a.reset();
  EXPECT_EQ(TApdBaseDispatcher::FromHandle(handleA), nullptr);
  TApdWin32Dispatcher c(nullptr);
  EXPECT_EQ(c.Handle(), handleA);
}

TEST(AwDispatcher, DataAvailableNotificationCarriesCountAndHandle) {
  TPortFixture f;
  std::atomic<unsigned> lastCount{0};
  std::atomic<long> lastParam{-1};
  f.port.RegisterProcTriggerHandler([&](unsigned msg, unsigned wParam, long lParam) {
    if (msg == apw_TriggerAvail) {
      lastCount.store(wParam);
      lastParam.store(lParam);
    }
  });
  ASSERT_EQ(f.Open(), 0);
  f.pty.Write(std::vector<uint8_t>{1, 2});
  ASSERT_TRUE(WaitUntil([&] { return lastCount.load() == 2; }));
  EXPECT_EQ(lastParam.load() >> 16, f.port.Handle());
}

// A recipient that closes the port from the dispatch thread: the device is closed and its lock
// gone when the recipient returns, and the threads end.
TEST(AwDispatcher, ShutDownFromTheDispatchThreadClosesTheDevice) {
  TPortFixture f;
  std::atomic<int> calls{0};
  std::atomic<int> reopened{-1};
  f.port.RegisterProcTriggerHandler([&](unsigned msg, unsigned, long) {
    if (msg != apw_TriggerAvail || calls++ > 0)
      return;
    f.port.ShutDown();
    std::unique_ptr<TCommDevice> again;
    reopened.store(TCommDevice::Open(f.pty.SlavePath(), again));
  });
  ASSERT_EQ(f.Open(), 0);
  f.pty.Write(std::vector<uint8_t>{1});
  ASSERT_TRUE(WaitUntil([&] { return reopened.load() != -1; }));
  EXPECT_EQ(reopened.load(), 0) << "the port is free";
  EXPECT_TRUE(WaitUntil([&] { return f.port.RunningThreads() == 0; }));
  EXPECT_EQ(calls.load(), 1);
}

} // namespace
