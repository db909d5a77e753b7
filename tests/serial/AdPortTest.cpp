// The port component over real pseudo-terminals: open and close, the byte operations, their
// errors, the wait for a received byte, and reuse across many connects.
#include "tests/serial/AdPortTestSupport.h"

#include "runtime/Dialogs.h"
#include "runtime/Exception.h"
#include "serial/AwWin32.h"

#include <gtest/gtest.h>

#include <future>

namespace {

struct PortTest : ::testing::Test {
  PortTest() {
    TestApplication<QApplication>();
    dir.LinkCom(1, pty1.SlavePath());
    dir.LinkCom(2, pty2.SlavePath());
    dir.LinkCom(3, dir.Root() / "no-such-device");
    ConfigureAsTheLink(port);
    port.SetComNumber(1);
  }
  TempConfigDir dir;
  PtyPair pty1, pty2;
  TApdComPort port;
};

TEST_F(PortTest, ReadByteNeverWaitsAndOneByteIsTakenOnce) {
  port.OpenPort();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Raised([&] { port.ReadByte(); }),
            std::make_pair(-ecBufferIsEmpty, std::string("Buffer is empty")));
  EXPECT_THROW(port.ReadByte(), EBufferIsEmpty);
  EXPECT_LT(ElapsedMs(start), 2000);
  EXPECT_FALSE(port.ByteReady());

  pty1.Write({0xA5});
  ASSERT_TRUE(WaitUntil([&] { return port.ByteReady(); }));
  EXPECT_EQ(port.ReadByte(), 0xA5);
  EXPECT_FALSE(port.ByteReady());
  EXPECT_THROW(port.ReadByte(), EBufferIsEmpty);
}

TEST_F(PortTest, ByteOperationsOnANeverOpenedPortFailOrOpenItAutomatically) {
  struct Operation {
    const char *name;
    std::function<void(TApdComPort &)> run;
  };
  const Operation operations[] = {
      {"SendByte", [](TApdComPort &p) { p.SendByte(7); }},
      {"ByteReady", [](TApdComPort &p) { (void)p.ByteReady(); }},
      {"ReadByte",
       [](TApdComPort &p) {
         try {
           p.ReadByte();
         } catch (const EBufferIsEmpty &) {
         }
       }},
      {"PurgeInput", [](TApdComPort &p) { p.PurgeInput(); }},
      {"PurgeOutput", [](TApdComPort &p) { p.PurgeOutput(); }},
      {"WaitByteReady", [](TApdComPort &p) { (void)p.WaitByteReady(0); }},
  };
  for (const auto &op : operations) {
    SCOPED_TRACE(op.name);
    TApdComPort closed;
    closed.SetComNumber(1);
    closed.SetAutoOpen(false);
    EXPECT_EQ(Raised([&] { op.run(closed); }),
              std::make_pair(-ecCommNotOpen, std::string("ie_NOpen - device not open")));
    EXPECT_FALSE(closed.Open());
    EXPECT_EQ(closed.Dispatcher(), nullptr);

    TApdComPort automatic;
    automatic.SetComNumber(1);
    ASSERT_TRUE(automatic.AutoOpen());
    EXPECT_NO_THROW(op.run(automatic));
    EXPECT_TRUE(automatic.Open());
    EXPECT_EQ(automatic.PortState(), psOpen);
  }
}

TEST_F(PortTest, OpenFailuresLeaveThePortClosedAndAnotherNumberWorks) {
  PtyPair held;
  dir.LinkCom(4, held.SlavePath());
  dir.LinkCom(5, dir.WriteFile("plain", "not a terminal"));
  THeldPort holder(held.SlavePath());
  ASSERT_TRUE(holder.Holding());
  TApdComPort first;
  first.SetComNumber(2);
  first.OpenPort();

  struct Case {
    uint16_t number;
    bool prompt;
    int code;
    const char *message;
  } cases[] = {
      {3, true, -ecBadId, "ie_BadId - Specified comport doesn't exist"},
      {5, true, -ecBadId, "ie_BadId - Specified comport doesn't exist"},
      {4, true, -ecAlreadyOpen, "ie_Open - device already open"}, // another program holds it
      {2, true, -ecAlreadyOpen, "ie_Open - device already open"}, // so does another component
      {0, false, -ecNoPortSelected, "The ComNumber property of the TApdComPort has not been set"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.number);
    port.SetComNumber(c.number);
    port.SetPromptForPort(c.prompt);
    EXPECT_EQ(Raised([&] { port.OpenPort(); }), std::make_pair(c.code, std::string(c.message)));
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.PortState(), psClosed);
    EXPECT_EQ(port.Dispatcher(), nullptr);
  }
  EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
  EXPECT_FALSE(port.Open());

  port.SetComNumber(1);
  port.SetOpen(true);
  EXPECT_TRUE(port.Open());
  port.SendByte(0x42);
  EXPECT_EQ(pty1.Read(1, 5000), std::vector<uint8_t>{0x42});
}

TEST_F(PortTest, WaitByteReadyWakesOnArrivalAndTimesOut) {
  port.OpenPort();
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(port.WaitByteReady(150));
  EXPECT_GE(ElapsedMs(start), 140);

  // The wait ends when the byte arrives, long before its limit.
  auto writer = std::async(std::launch::async, [&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    pty1.Write({0x33});
  });
  start = std::chrono::steady_clock::now();
  EXPECT_TRUE(port.WaitByteReady(20000));
  EXPECT_LT(ElapsedMs(start), 10000);
  writer.get();
  // It reads nothing itself.
  EXPECT_TRUE(port.WaitByteReady(0));
  EXPECT_EQ(port.ReadByte(), 0x33);

  // Stop and wait per byte, as the link's exchanges go.
  pty1.StartEcho();
  for (int i = 0; i < 50; ++i) {
    port.SendByte(static_cast<uint8_t>(i * 5));
    ASSERT_TRUE(port.WaitByteReady(10000)) << i;
    EXPECT_EQ(port.ReadByte(), static_cast<uint8_t>(i * 5));
  }
  pty1.StopEcho();
}

TEST_F(PortTest, FullOutputBufferRefusesTheByteAndCloseDiscardsWaitingOutput) {
  port.OpenPort();
  const size_t queued = FillOutput(port);
  ASSERT_EQ(port.Dispatcher()->OutBuffUsed(), 100u);
  EXPECT_EQ(Raised([&] { port.SendByte(0xEE); }),
            std::make_pair(-ecOutputBufferTooSmall, std::string("Output buffer too small for block")));
  EXPECT_EQ(port.Dispatcher()->OutBuffUsed(), 100u); // earlier bytes stay queued

  auto close = std::async(std::launch::async, [&] { port.ClosePort(); });
  ASSERT_EQ(close.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  close.get();
  EXPECT_EQ(port.PortState(), psClosed);
  // The peer gets what had reached the kernel, not the 100 bytes still waiting.
  const auto received = pty1.Read(queued, 1000);
  EXPECT_LE(received.size(), queued - 100);
  EXPECT_GT(received.size(), 0u);
}

TEST_F(PortTest, PurgesDiscardBothDirectionsAndTheLinkGoesOn) {
  port.OpenPort();
  FillOutput(port);
  auto purge = std::async(std::launch::async, [&] { port.PurgeOutput(); });
  ASSERT_EQ(purge.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  purge.get();
  EXPECT_EQ(port.Dispatcher()->OutBuffUsed(), 0u);

  pty1.Read(1 << 20, 300); // the peer drains what the kernel had
  pty1.Write({1, 2, 3});
  ASSERT_TRUE(WaitUntil([&] { return port.Dispatcher()->InBuffUsed() == 3; }));
  port.PurgeInput();
  EXPECT_FALSE(port.ByteReady());

  port.SendByte(0x46);
  EXPECT_EQ(pty1.Read(1, 5000), std::vector<uint8_t>{0x46});
  pty1.Write({9});
  ASSERT_TRUE(port.WaitByteReady(10000));
  EXPECT_EQ(port.ReadByte(), 9);
}

TEST_F(PortTest, ReusedAcrossManyConnectsWithoutLeaks) {
  // Warm-up: one connect makes what lives for the rest of the run (the arrival event).
  port.OpenPort();
  port.ClosePort();
  const int fds = CountEntries("/proc/self/fd");
  const int threads = CountEntries("/proc/self/task");
  pty1.StartEcho();
  pty2.StartEcho();
  for (int i = 0; i < 40; ++i) {
    SCOPED_TRACE(i);
    ConfigureAsTheLink(port);
    if (port.Open())
      port.ClosePort();
    port.SetComNumber(static_cast<uint16_t>(1 + i % 2));
    port.OpenPort();
    port.SetOpen(true);
    ASSERT_TRUE(port.Open());
    port.SendByte(static_cast<uint8_t>(i));
    ASSERT_TRUE(port.WaitByteReady(10000));
    EXPECT_EQ(port.ReadByte(), static_cast<uint8_t>(i));
    if (i % 3 == 0)
      port.ClosePort(); // the disconnect; the others are closed by the next connect
  }
  port.ClosePort();
  pty1.StopEcho();
  pty2.StopEcho();
  EXPECT_EQ(port.PortState(), psClosed);
  EXPECT_EQ(port.Dispatcher(), nullptr);
  EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
  EXPECT_TRUE(WaitUntil([&] { return CountEntries("/proc/self/task") == threads; }));
}

TEST_F(PortTest, ListenersSeeOpenAndCloseInOrderAndOperationsRestWhileClosing) {
  std::vector<std::string> seen;
  port.RegisterUserCallback(
      [&](TApdCustomComPort &, bool opening) { seen.push_back(opening ? "A+" : "A-"); });
  const int b = port.RegisterUserCallback([&](TApdCustomComPort &p, bool opening) {
    seen.push_back(opening ? "B+" : "B-");
    if (!opening) {
      // Closing: Open is already False and the byte operations do nothing.
      EXPECT_FALSE(p.Open());
      EXPECT_EQ(p.PortState(), psClosing);
      EXPECT_FALSE(p.ByteReady());
      EXPECT_EQ(p.ReadByte(), 0);
      EXPECT_NO_THROW(p.SendByte(1));
      EXPECT_FALSE(p.WaitByteReady(10));
    } else {
      EXPECT_TRUE(p.Open());
    }
  });
  port.SetOnPortOpen([&](TApdCustomComPort &) { seen.push_back("open"); });
  port.SetOnPortClose([&](TApdCustomComPort &) { seen.push_back("close"); });
  port.OpenPort();
  port.ClosePort();
  EXPECT_EQ(seen, (std::vector<std::string>{"B+", "A+", "open", "B-", "A-", "close"}));
  EXPECT_EQ(pty1.Read(1, 200).size(), 0u);

  seen.clear();
  port.DeregisterUserCallback(b);
  port.SetOpen(true);
  port.SetOpen(true); // equal: nothing
  port.SetOpen(false);
  EXPECT_EQ(seen, (std::vector<std::string>{"A+", "open", "A-", "close"}));
}

TEST_F(PortTest, ComNumberChangeWhileOpenMovesThePort) {
  port.OpenPort();
  port.SetComNumber(2);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.ComNumber(), 2);
  port.SendByte(0x21);
  EXPECT_EQ(pty2.Read(1, 5000), std::vector<uint8_t>{0x21});
  // The first port is free again.
  TApdComPort other;
  other.SetComNumber(1);
  EXPECT_NO_THROW(other.OpenPort());

  // A failed move leaves the port closed.
  EXPECT_THROW(port.SetComNumber(3), EBadId);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.PortState(), psClosed);
}

TEST_F(PortTest, DestroyingAnOpenPortClosesIt) {
  const int fds = CountEntries("/proc/self/fd");
  {
    TApdComPort temporary;
    temporary.SetComNumber(2);
    temporary.OpenPort();
    EXPECT_GT(CountEntries("/proc/self/fd"), fds);
  }
  TApdComPort next;
  next.SetComNumber(2);
  EXPECT_NO_THROW(next.OpenPort());
  next.ClosePort();
  // The arrival event of `next` stays with it until it goes.
  EXPECT_LE(CountEntries("/proc/self/fd"), fds + 1);
}

TEST_F(PortTest, OpenStoredWhileLoadingHappensWhenLoaded) {
  std::vector<std::string> errors;
  auto previous = SetErrorBoxHandler([&](const std::string &m) { errors.push_back(m); });
  port.SetLoading(true);
  port.SetOpen(true);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.PortState(), psClosed);
  port.Loaded();
  EXPECT_EQ(port.PortState(), psOpen);
  EXPECT_TRUE(errors.empty());

  TApdComPort missing;
  missing.SetComNumber(3);
  missing.SetLoading(true);
  missing.SetOpen(true);
  missing.Loaded();
  EXPECT_FALSE(missing.Open());
  EXPECT_EQ(errors, std::vector<std::string>{"ie_BadId - Specified comport doesn't exist"});
  SetErrorBoxHandler(previous);
}

TEST_F(PortTest, TriggerHandlerHearsOfArrivalsOnTheUserThread) {
  const auto self = std::this_thread::get_id();
  unsigned lastCount = 0;
  bool onUserThread = true;
  port.SetOnTriggerAvail([&](TApdCustomComPort &, unsigned count) {
    lastCount = count;
    onUserThread = onUserThread && std::this_thread::get_id() == self;
  });
  port.OpenPort();
  pty1.Write({1, 2, 3, 4});
  ASSERT_TRUE(WaitUntil([&] { return lastCount == 4; }));
  EXPECT_TRUE(onUserThread);
  port.ClosePort();
}

TEST_F(PortTest, ATriggerHandlerMayCloseThePort) {
  int calls = 0;
  port.SetOnTriggerAvail([&](TApdCustomComPort &p, unsigned) {
    ++calls;
    p.ClosePort();
  });
  port.OpenPort();
  pty1.Write({1});
  ASSERT_TRUE(WaitUntil([&] { return port.PortState() == psClosed; }));
  pty1.Write({2});
  WaitUntil([] { return false; }, 100); // nothing more may come
  EXPECT_EQ(calls, 1);
  port.OpenPort(); // and the port opens again
  EXPECT_TRUE(port.Open());
}

} // namespace

namespace {

// An unplugged adapter: bytes are still queued (and dropped by the output thread), purges and line
// changes have nothing to act on, and the missing answer is all the user sees; the close ends.
TEST_F(PortTest, APeerThatGoesAwayLooksLikeASilentLineAndTheCloseEnds) {
  port.OpenPort();
  pty1.CloseMaster();
  ASSERT_TRUE(WaitUntil([&] { return port.Dispatcher()->PortLost(); }));
  std::string message;
  try {
    port.SendByte(1);
    port.PurgeInput();
    port.PurgeOutput();
    port.SendByte(2);
    port.SetBaud(9600);
  } catch (const Exception &e) {
    message = e.Message;
  }
  EXPECT_EQ(message, "");
  EXPECT_FALSE(port.WaitByteReady(100));
  EXPECT_TRUE(WaitUntil([&] { return port.Dispatcher()->OutBuffUsed() == 0; }))
      << "failed writes drop their bytes";
  auto close = std::async(std::launch::async, [&] { port.ClosePort(); });
  ASSERT_EQ(close.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  close.get();
  EXPECT_EQ(port.PortState(), psClosed);
}

// A dispatcher whose device read fails with an exception, as an I/O thread's error would.
class TFailingReadDispatcher : public TApdWin32Dispatcher {
public:
  TFailingReadDispatcher() : TApdWin32Dispatcher(nullptr) {}
  ~TFailingReadDispatcher() override { ShutDown(); }

protected:
  int ReadDevice(uint8_t *, unsigned) override { throw Exception("the adapter's driver failed"); }
};

class TFailingReadPort : public TApdComPort {
protected:
  std::unique_ptr<TApdBaseDispatcher> CreateDispatcher() override {
    return std::make_unique<TFailingReadDispatcher>();
  }
};

TEST_F(PortTest, AnErrorInAnIoThreadReachesTheErrorBox) {
  std::vector<std::string> errors;
  auto previous = SetErrorBoxHandler([&](const std::string &m) { errors.push_back(m); });
  TFailingReadPort failing;
  ConfigureAsTheLink(failing);
  failing.SetComNumber(2);
  failing.OpenPort();
  pty2.Write({1});
  EXPECT_TRUE(WaitUntil([&] { return !errors.empty(); }));
  EXPECT_EQ(errors, std::vector<std::string>{"the adapter's driver failed"});
  failing.ClosePort();
  SetErrorBoxHandler(previous);
}

TEST_F(PortTest, ABabblingPeerFillsTheReceiveBufferWithoutHarm) {
  port.OpenPort();
  std::atomic<bool> stop{false};
  std::thread babbler([&] {
    const std::vector<uint8_t> block(512, 0x55);
    while (!stop.load()) {
      // Never blocks: what the kernel cannot take is dropped, as a babbling line's would be.
      [[maybe_unused]] auto n = ::write(pty1.Master(), block.data(), block.size());
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  ASSERT_TRUE(WaitUntil([&] { return port.Dispatcher()->InBuffUsed() == DispatchBufferSize; }));
  EXPECT_TRUE(port.ByteReady());
  EXPECT_EQ(port.ReadByte(), 0x55);
  port.PurgeInput();
  port.SendByte(0x46);
  EXPECT_TRUE(port.WaitByteReady(10000));
  port.ClosePort();
  stop.store(true);
  babbler.join();
  EXPECT_EQ(port.PortState(), psClosed);
}

} // namespace
