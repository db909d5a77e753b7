// The component's properties: defaults, what a closed port stores, and what an open port does
// with a new value.
#include "tests/serial/AdPortTestSupport.h"

#include "serial/AwWin32.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

// A dispatcher that counts its writes of the line state.
class TCountingDispatcher : public TApdWin32Dispatcher {
public:
  explicit TCountingDispatcher(int &writes) : TApdWin32Dispatcher(nullptr), writes_(writes) {}

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

TEST(PortProperties, Defaults) {
  TApdComPort port;
  EXPECT_EQ(port.Version(), "v3.00");
  port.SetVersion("v9");
  EXPECT_EQ(port.Version(), "v3.00");
  EXPECT_EQ(port.DeviceLayer(), dlWin32);
  EXPECT_EQ(port.ComNumber(), 0);
  EXPECT_EQ(port.Baud(), 19200);
  EXPECT_TRUE(port.PromptForPort());
  EXPECT_EQ(port.Parity(), pNone);
  EXPECT_EQ(port.DataBits(), 8);
  EXPECT_EQ(port.StopBits(), 1);
  EXPECT_EQ(port.InSize(), 4096);
  EXPECT_EQ(port.OutSize(), 4096);
  EXPECT_TRUE(port.AutoOpen());
  EXPECT_FALSE(port.Open());
  EXPECT_TRUE(port.DTR());
  EXPECT_TRUE(port.RTS());
  EXPECT_EQ(port.HWFlowOptions(), 0u);
  EXPECT_EQ(port.SWFlowOptions(), swfNone);
  EXPECT_EQ(port.XOnChar(), 17);
  EXPECT_EQ(port.XOffChar(), 19);
  EXPECT_EQ(port.BufferFull(), 0);
  EXPECT_EQ(port.BufferResume(), 0);
  EXPECT_EQ(port.Tracing(), tlOff);
  EXPECT_EQ(port.TraceSize(), 10000u);
  EXPECT_EQ(port.TraceName(), "SERX.TRC");
  EXPECT_TRUE(port.TraceHex());
  EXPECT_FALSE(port.TraceAllHex());
  EXPECT_EQ(port.Logging(), tlOff);
  EXPECT_EQ(port.LogSize(), 10000u);
  EXPECT_EQ(port.LogName(), "SERX.LOG");
  EXPECT_TRUE(port.LogHex());
  EXPECT_FALSE(port.LogAllHex());
  EXPECT_TRUE(port.UseMSRShadow());
  EXPECT_TRUE(port.UseEventWord());
  EXPECT_EQ(port.CommNotificationLevel(), 10);
  EXPECT_EQ(port.TapiMode(), tmAuto);
  EXPECT_FALSE(port.RS485Mode());
  EXPECT_EQ(port.PortState(), psClosed);
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

TEST(PortProperties, SizeCapsAndNameLength) {
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
  TApdComPort port;
  port.SetTraceName(std::string(300, 't'));
  port.SetLogName(std::string(256, 'l'));
  EXPECT_EQ(port.TraceName(), std::string(255, 't'));
  EXPECT_EQ(port.LogName(), std::string(255, 'l'));
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

TEST_F(OpenPortProperties, LinesAndFlowControlApplyAtOnce) {
  port.OpenPort();
  // DTR and RTS go to the device at once; the line-state record shows them at its next write.
  port.SetDTR(false);
  port.SetRTS(false);
  port.SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
  EXPECT_EQ(DtrControl(Line()), DtrControlDisable);
  EXPECT_EQ(RtsControl(Line()), RtsControlHandshake);
  EXPECT_NE(Line().Flags & dcbOutxCtsFlow, 0u);
  EXPECT_EQ(Line().XoffLim, 100 - 90);
  EXPECT_EQ(Line().XonLim, 10);
  port.SetHWFlowOptions(0);
  EXPECT_EQ(Line().Flags & dcbOutxCtsFlow, 0u);
  EXPECT_EQ(RtsControl(Line()), RtsControlDisable);
  port.SetSWFlowOptions(swfReceive);
  EXPECT_NE(Line().Flags & dcbInX, 0u);
  EXPECT_EQ(Line().Flags & dcbOutX, 0u);
  port.SetSWFlowOptions(swfNone);
  EXPECT_EQ(Line().Flags & (dcbInX | dcbOutX), 0u);

  // Only the OS layer exists, and the layer never changes under an open port.
  port.SetDeviceLayer(dlFossil);
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
