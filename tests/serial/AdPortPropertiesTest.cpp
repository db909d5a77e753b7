// The component's properties: defaults, what a closed port stores, and what an open port does
// with a new value.
#include "tests/serial/AdPortTestSupport.h"

#include "serial/AwWin32.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

namespace {

// A dispatcher that counts its writes of the line state.
class TCountingDispatcher : public TApdWin32Dispatcher {
public:
  explicit TCountingDispatcher(int &writes) : TApdWin32Dispatcher(nullptr), writes_(writes) {}
  // The threads may call the overrides until they have ended.
  ~TCountingDispatcher() override { ShutDown(); }

protected:
  int WriteLineState(const TDcb &dcb) override {
    ++writes_;
    return TApdWin32Dispatcher::WriteLineState(dcb);
  }

private:
  int &writes_;
};

class TCountingPort : public TApdComPort {
public:
  int LineWrites = 0;

protected:
  std::unique_ptr<TApdBaseDispatcher> CreateDispatcher() override {
    return std::make_unique<TCountingDispatcher>(LineWrites);
  }
};

// The defaults the station link relies on: it sets only the line and buffer sizes.
TEST(PortProperties, ANewPortHasTheDefaultsTheLinkReliesOn) {
  TApdComPort port;
  EXPECT_EQ(port.Version(), "v3.00");
  EXPECT_TRUE(port.DTR() && port.RTS() && port.PromptForPort() && port.AutoOpen());
  EXPECT_EQ(port.HWFlowOptions(), 0u);
  EXPECT_EQ(port.SWFlowOptions(), swfNone);
  EXPECT_EQ(port.Tracing(), tlOff);
  EXPECT_EQ(port.Logging(), tlOff);
  EXPECT_EQ(port.ComNumber(), 0);
  EXPECT_EQ(port.DeviceLayer(), dlWin32);
  EXPECT_FALSE(port.Open());
}

TEST(PortProperties, ClosedPortStoresOnlyOffOrOnForTracingAndLogging) {
  const std::pair<TTraceLogState, TTraceLogState> cases[] = {
      {tlOn, tlOn}, {tlOff, tlOff}, {tlDump, tlOff}, {tlAppend, tlOff}, {tlClear, tlOff}, {tlPause, tlOff},
  };
  for (const auto &[given, stored] : cases) {
    SCOPED_TRACE(given);
    TApdComPort port;
    port.SetTracing(tlOn);
    port.SetLogging(tlOn);
    port.SetTracing(given);
    port.SetLogging(given);
    EXPECT_EQ(port.Tracing(), stored);
    EXPECT_EQ(port.Logging(), stored);
  }
}

TEST(PortProperties, TraceAndLogSizesAreCappedAtTheirLimits) {
  const struct {
    uint32_t given, trace, log;
  } cases[] = {
      {5000000, 4000000, 5000000},
      {20000000, 4000000, 16000000},
      {4000000, 4000000, 4000000},
      {16000001, 4000000, 16000000},
      {0, 0, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.given);
    TApdComPort port;
    port.SetTraceSize(c.given);
    port.SetLogSize(c.given);
    EXPECT_EQ(port.TraceSize(), c.trace);
    EXPECT_EQ(port.LogSize(), c.log);
  }
}

TEST(PortProperties, FlowThresholdsTakeTheirShareOfTheInputSize) {
  struct Case {
    const char *name;
    std::function<void(TApdComPort &)> set;
    uint16_t full, resume;
  };
  const Case cases[] = {
      {"hardware, unset", [](TApdComPort &p) { p.SetHWFlowOptions(hwfRequireCTS); }, 900, 100},
      {"software, unset", [](TApdComPort &p) { p.SetSWFlowOptions(swfBoth); }, 750, 250},
      {"hardware, full above input size",
       [](TApdComPort &p) {
         p.SetBufferFull(1001); // stored as 90 % of the value given: 900
         p.SetInSize(800);
         p.SetHWFlowOptions(hwfUseDTR);
       },
       720, 80},
      {"hardware, thresholds kept",
       [](TApdComPort &p) {
         p.SetBufferFull(500);
         p.SetBufferResume(200);
         p.SetHWFlowOptions(hwfUseDTR);
       },
       500, 200},
      {"full above input size", [](TApdComPort &p) { p.SetBufferFull(1999); }, 1799, 0},
      {"resume above full",
       [](TApdComPort &p) {
         p.SetBufferFull(555);
         p.SetBufferResume(556);
       },
       555, 55},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    TApdComPort port;
    port.SetInSize(1000);
    c.set(port);
    EXPECT_EQ(port.BufferFull(), c.full);
    EXPECT_EQ(port.BufferResume(), c.resume);
  }
}

TEST(PortProperties, RS485AndRtsHandshakeExcludeEachOther) {
  TApdComPort port;
  port.SetHWFlowOptions(hwfUseRTS | hwfRequireCTS | hwfRequireDSR);
  port.SetRS485Mode(true);
  EXPECT_TRUE(port.RS485Mode());
  EXPECT_EQ(port.HWFlowOptions(), static_cast<unsigned>(hwfRequireDSR));
  EXPECT_FALSE(port.RTS());
  port.SetHWFlowOptions(hwfRequireCTS);
  EXPECT_FALSE(port.RS485Mode());
  port.SetRS485Mode(true);
  port.SetHWFlowOptions(hwfUseDTR);
  EXPECT_TRUE(port.RS485Mode());
}

struct OpenPortProperties : ::testing::Test {
  OpenPortProperties() {
    dir.LinkCom(1, pty.SlavePath());
    ConfigureAsTheLink(port);
    port.SetComNumber(1);
  }
  const TDcb &Line() { return port.Dispatcher()->LineState(); }
  TempConfigDir dir;
  PtyPair pty;
  TCountingPort port;
};

TEST_F(OpenPortProperties, OpenAppliesTheStoredSettings) {
  port.SetDTR(false);
  port.SetXOnChar(1);
  port.SetXOffChar(2);
  port.OpenPort();
  EXPECT_EQ(Line().BaudRate, 1200u);
  EXPECT_EQ(Line().ByteSize, 8);
  EXPECT_EQ(Line().Parity, NoParity);
  EXPECT_EQ(Line().StopBits, OneStopBit);
  EXPECT_EQ(DtrControl(Line()), DtrControlDisable);
  EXPECT_EQ(RtsControl(Line()), RtsControlEnable);
  EXPECT_EQ(Line().XonChar, 1);
  EXPECT_EQ(Line().XoffChar, 2);
  EXPECT_EQ(Line().Flags & (dcbOutxCtsFlow | dcbOutxDsrFlow | dcbInX | dcbOutX), 0u);
}

// RS-485 mode and the event word are the dispatcher's to act on: stored ones reach it at the open,
// new ones at once, and an RTS handshake that ends RS-485 mode ends it there too.
TEST_F(OpenPortProperties, RS485ModeAndEventWordReachTheDispatcher) {
  port.SetRS485Mode(true);
  port.SetUseEventWord(false);
  port.OpenPort();
  struct Step {
    const char *name;
    std::function<void()> change;
    bool rs485, eventWord;
  } steps[] = {
      {"at the open", [] {}, true, false},
      {"event word on", [&] { port.SetUseEventWord(true); }, true, true},
      {"RS-485 off", [&] { port.SetRS485Mode(false); }, false, true},
      {"RS-485 on", [&] { port.SetRS485Mode(true); }, true, true},
      {"RTS handshake", [&] { port.SetHWFlowOptions(hwfUseRTS); }, false, true},
  };
  for (const auto &s : steps) {
    SCOPED_TRACE(s.name);
    s.change();
    EXPECT_EQ(port.Dispatcher()->RS485(), s.rs485);
    EXPECT_EQ(port.Dispatcher()->EventWord(), s.eventWord);
  }
}

TEST_F(OpenPortProperties, BaudChangesOnlyWhenNewAndAfterTheQueuedBytes) {
  port.OpenPort();
  const int writes = port.LineWrites;
  port.SetBaud(1200);
  EXPECT_EQ(port.LineWrites, writes);

  for (int i = 0; i < 60; ++i)
    port.SendByte(static_cast<uint8_t>(i));
  port.SetBaud(9600);
  // Everything queued had left before the line changed.
  EXPECT_EQ(port.Dispatcher()->OutBuffUsed(), 0u);
  EXPECT_EQ(pty.Pending(), 60);
  EXPECT_GT(port.LineWrites, writes);
  EXPECT_EQ(Line().BaudRate, 9600u);
  EXPECT_EQ(port.Baud(), 9600);

  port.SetParity(pEven);
  port.SetDataBits(7);
  port.SetStopBits(2);
  EXPECT_EQ(Line().Parity, EvenParity);
  EXPECT_EQ(Line().ByteSize, 7);
  EXPECT_EQ(Line().StopBits, TwoStopBits);
  // Closed, the values wait for the next open.
  port.ClosePort();
  port.SetBaud(2400);
  port.OpenPort();
  EXPECT_EQ(Line().BaudRate, 2400u);
  EXPECT_EQ(Line().Parity, EvenParity);
}

TEST_F(OpenPortProperties, FlowControlAppliesAtOnce) {
  port.OpenPort();
  port.SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
  EXPECT_EQ(RtsControl(Line()), RtsControlHandshake);
  EXPECT_NE(Line().Flags & dcbOutxCtsFlow, 0u);
  EXPECT_EQ(Line().XoffLim, 100 - 90);
  EXPECT_EQ(Line().XonLim, 10);
  port.SetHWFlowOptions(0);
  EXPECT_EQ(Line().Flags & dcbOutxCtsFlow, 0u);
  port.SetSWFlowOptions(swfReceive);
  EXPECT_EQ(Line().Flags & (dcbInX | dcbOutX), dcbInX);
  port.SetDeviceLayer(dlFossil); // only the OS layer exists
  EXPECT_EQ(port.DeviceLayer(), dlWin32);
}

TEST_F(OpenPortProperties, TraceRunsWhileOpenAndIsWrittenAtClose) {
  const auto traceFile = dir.Root() / "port.trc";
  port.SetTraceName(traceFile.string());
  port.SetTraceHex(false);
  port.SetTracing(tlOn);
  port.OpenPort();
  EXPECT_EQ(port.Tracing(), tlOn);
  port.SendByte('A');
  pty.Write({0});
  ASSERT_TRUE(port.WaitByteReady(10000));
  port.ReadByte();
  port.SetTracing(tlPause);
  EXPECT_EQ(port.Tracing(), tlPause);
  port.SendByte('B'); // not recorded while paused
  port.ClosePort();
  EXPECT_EQ(port.Tracing(), tlOff);
  std::ifstream in(traceFile, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "Transmit: \r\nA\r\n\r\nReceive: \r\n[0]\r\n");
}

TEST_F(OpenPortProperties, ANewTraceSizeRestartsARunningTraceEmpty) {
  const auto traceFile = dir.Root() / "restart.trc";
  port.SetTraceName(traceFile.string());
  port.SetTracing(tlOn);
  port.OpenPort();
  port.SendByte('x');
  port.SetTraceSize(5000000);
  EXPECT_EQ(port.TraceSize(), 4000000u);
  EXPECT_EQ(port.Tracing(), tlOn);
  port.SendByte('y');
  port.SetTracing(tlDump);
  std::ifstream in(traceFile, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "Transmit: \r\ny\r\n");
  EXPECT_EQ(port.Tracing(), tlOff);
}

} // namespace
