// The answer wait and the block receive, through a connected window.
#include "link/CommandSet.h"
#include "link/Exchange.h"
#include "link/Trace.h"
#include "serial/AdPort.h"
#include "serial/AwUser.h"
#include "tests/support/WindowFixture.h"

#include <fstream>
#include <sstream>

namespace {

class WaitAnswerTest : public LinkTest {
protected:
  void SetUp() override {
    LinkTest::SetUp();
    Click("BitBtn9Click");
    ASSERT_TRUE(Connected());
    station.ClearReceived();
  }
  TApdComPort &Port() { return *form->MainState.ComPort; }
};

} // namespace

TEST_F(WaitAnswerTest, AnyByteCountsAsTheAnswerZeroIncluded) {
  station.SetZeroAnswers(true);
  for (uint8_t byte : {Command::SetValue, Command::ZeroOperand, uint8_t{0x42}, uint8_t{83}}) {
    form->MainState.LastReply = 99;
    ASSERT_TRUE(SendAnswered(*form, byte));
    EXPECT_EQ(form->MainState.LastReply, 0);
  }
  EXPECT_TRUE(boxes.Messages.empty());
  EXPECT_EQ(station.Value(0x42), 83);
}

TEST_F(WaitAnswerTest, AStrayByteLeftFromBeforeIsTakenAsTheAnswer) {
  station.SendStray({0x5A});
  ASSERT_TRUE(station.WaitSent(1, 2s));
  // Give the byte time to reach the receive buffer, then wait without sending anything.
  for (int i = 0; i < 200 && !Port().ByteReady(); ++i)
    std::this_thread::sleep_for(5ms);
  WaitAnswer(*form);
  EXPECT_TRUE(form->MainState.LinkAck);
  EXPECT_EQ(form->MainState.LastReply, 0x5A);
  EXPECT_TRUE(boxes.Messages.empty());
}

TEST_F(WaitAnswerTest, NoAnswerShowsTheBoxAfterTheWholeBudget) {
  station.StopAnsweringAfter(0);
  form->MainState.LinkAck = true;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(SendAnswered(*form, Command::SetValue));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);
  EXPECT_FALSE(form->MainState.LinkAck);
  EXPECT_EQ(boxes.Messages, std::vector<std::string>{LinkLostMessage});
}

TEST_F(WaitAnswerTest, BlockReceiveTakesEveryByteAndFailsOnAShortBlock) {
  std::array<uint8_t, StationProtocol::DacCount> dac{};
  Port().SendByte(Command::Telemetry);
  ASSERT_TRUE(ReceiveBlock(*form, dac, Budget::Block));
  EXPECT_EQ(dac, station.DacValues());

  station.CutBlocksTo(5);
  Port().SendByte(Command::Telemetry);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ReceiveBlock(*form, dac, Budget::Block));
  // It gave up about 200 idle polls after the fifth byte, not at once and not much later.
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 200ms);
  EXPECT_LT(took, 5s);
  EXPECT_FALSE(Port().ByteReady());
}

// What a command finds waiting before it starts is dropped and counted, for the trace (and the
// journal) to say; an empty input is no news.
TEST_F(WaitAnswerTest, PurgeStaleInputDropsWhatWaitsAndCountsIt) {
  const std::string trace = (dir.Root() / "trace.txt").string();
  std::string error;
  ASSERT_TRUE(StartTrace(trace, "test", error)) << error;
  const std::vector<uint8_t> cases[] = {{}, {0x5A}, {1, 2, 3, 4, 5}, {}};
  for (const auto &stale : cases) {
    station.ClearReceived();
    if (!stale.empty()) {
      station.SendStray(stale);
      ASSERT_TRUE(station.WaitSent(stale.size(), 2s));
      for (int i = 0; i < 200 && Port().Dispatcher()->InBuffUsed() < stale.size(); ++i)
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(PurgeStaleInput(*form), stale.size());
    EXPECT_FALSE(Port().ByteReady());
  }
  StopTrace();
  std::ifstream in(trace);
  std::stringstream text;
  text << in.rdbuf();
  std::vector<std::string> notes;
  for (std::string line; std::getline(text, line);)
    if (line.find("устаревших байтов") != std::string::npos)
      notes.push_back(line.substr(line.rfind(' ') + 1));
  EXPECT_EQ(notes, (std::vector<std::string>{"1", "5"}));
  EXPECT_TRUE(station.Received().empty()) << "the purge sends nothing";
}
