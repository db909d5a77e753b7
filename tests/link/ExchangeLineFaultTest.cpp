// Every exchange of the table against the other failures of a real line: late answers, zeros,
// stray bytes, noise, and an adapter pulled in the middle.
#include "serial/AdPort.h"
#include "tests/link/ExchangeTable.h"

#include <random>
#include <thread>

namespace {

enum class TLineFault {
  DelayInside,
  DelayOutside,
  ZeroAnswers,
  StrayBefore,
  StrayDuring,
  NoiseDuring,
  NoiseIdle
};
constexpr TLineFault AllLineFaults[] = {
    TLineFault::DelayInside, TLineFault::DelayOutside, TLineFault::ZeroAnswers, TLineFault::StrayBefore,
    TLineFault::StrayDuring, TLineFault::NoiseDuring,  TLineFault::NoiseIdle};
const char *const LineFaultNames[] = {"DelayInside", "DelayOutside", "ZeroAnswers", "StrayBefore",
                                      "StrayDuring", "NoiseDuring",  "NoiseIdle"};

std::vector<uint8_t> Noise() {
  std::vector<uint8_t> bytes(8192);
  std::mt19937 random(15);
  for (auto &b : bytes)
    b = static_cast<uint8_t>(random());
  return bytes;
}

} // namespace

using HungUpAtByte = FaultAtByte;

// The adapter is pulled while the tool waits for the answer to byte k + 1: the lost-link path of a
// silent station, never an error text of the system; then a new adapter, and connecting works.
TEST_P(HungUpAtByte, TakesTheLostLinkPathAndConnectsAgainAfterwards) {
  const std::size_t k = GetParam().K;
  Row().Prepare(*this);
  station.ClearReceived();
  station.StopAnsweringAfter(k);
  std::thread puller([&] {
    if (station.WaitReceived(k + 1, 5s))
      station.HangUp();
  });
  const auto start = Clock::now();
  Row().Start(*this);
  puller.join();
  EXPECT_LT(Clock::now() - start, 5s);
  ExpectReport(Row().Loss[k]);
  ExpectUntouchedFiles();

  station.Stop();
  station.ClearFaults();
  station.Start({.ComNumber = 2});
  SetStationData();
  ReadyToStartAgain(Row(), true);
  EXPECT_TRUE(boxes.Errors.empty()) << "reconnecting after a pulled adapter: " << boxes.Errors.front();
  Row().Start(*this);
  ExpectNoBox();
  Row().Done(*this, false);
}
INSTANTIATE_TEST_SUITE_P(Table, HungUpAtByte, ::testing::ValuesIn(ShortRowsEveryByte()), CaseName);

class LineFault : public ExchangeFixture,
                  public ::testing::WithParamInterface<std::tuple<std::size_t, TLineFault>> {
protected:
  const TExchangeRow &Row() const { return Rows()[std::get<0>(GetParam())]; }

  // Until the station has sent what the line takes: all of it, or as much as the tool's side
  // drains (with nobody on the port, nothing at all).
  void WaitLineQuiet() {
    std::size_t sent = station.Sent().size();
    for (int quiet = 0; quiet < 4 && sent < 8192;) {
      QTest::qWait(25);
      const std::size_t now = station.Sent().size();
      quiet = now == sent ? quiet + 1 : 0;
      sent = now;
    }
  }
  // Latency of the event loop right now: how long a queued call takes to run.
  std::chrono::milliseconds EventLatency() {
    bool ran = false;
    const auto start = Clock::now();
    QMetaObject::invokeMethod(
        form.get(), [&] { ran = true; }, Qt::QueuedConnection);
    while (!ran && Clock::now() - start < 10s)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  }
};

TEST_P(LineFault, LeavesTheWindowUsable) {
  const TLineFault fault = std::get<1>(GetParam());
  Row().Prepare(*this);
  station.ClearReceived();
  std::thread line;
  switch (fault) {
  case TLineFault::DelayInside:
    station.SetAnswerDelay(std::chrono::milliseconds(Row().Budget - 70));
    break;
  case TLineFault::DelayOutside:
    station.SetAnswerDelay(std::chrono::milliseconds(Row().Budget + 80));
    break;
  case TLineFault::ZeroAnswers:
    station.SetZeroAnswers(true);
    break;
  case TLineFault::StrayBefore:
  case TLineFault::NoiseIdle:
    station.SendStray(fault == TLineFault::StrayBefore ? std::vector<uint8_t>{0x33} : Noise());
    WaitLineQuiet();
    QTest::qWait(30);
    if (fault == TLineFault::NoiseIdle) {
      EXPECT_LT(EventLatency(), 1s) << "the window answers within a second of the noise";
    }
    station.ClearReceived();
    // Answers that take a little while: a tool that took the stale byte for the first answer
    // would send its next byte before the station's own answer, which the station flags.
    if (fault == TLineFault::StrayBefore)
      station.SetAnswerDelay(12ms);
    break;
  case TLineFault::StrayDuring:
  case TLineFault::NoiseDuring:
    line = std::thread([this, fault] {
      if (station.WaitReceived(1, 5s))
        station.SendStray(fault == TLineFault::StrayDuring ? std::vector<uint8_t>{0x33} : Noise());
    });
    break;
  }
  const auto start = Clock::now();
  Row().Start(*this);
  if (line.joinable())
    line.join();
  // An answer taken from the buffer can end the exchange before its last byte has crossed.
  if (fault != TLineFault::DelayOutside)
    station.WaitReceived(Row().Bytes.size(), 2s);
  EXPECT_LT(Clock::now() - start, 15s);
  EXPECT_TRUE(boxes.Errors.empty()) << boxes.Errors.front();

  switch (fault) {
  case TLineFault::DelayInside:
  case TLineFault::ZeroAnswers:
    ExpectNoBox();
    EXPECT_EQ(station.Received(), Row().Bytes);
    Row().Done(*this, fault == TLineFault::ZeroAnswers);
    return;
  case TLineFault::DelayOutside:
    EXPECT_TRUE(Prefix(1, Row().Bytes));
    ExpectReport(Row().Loss[0]);
    Row().Remains(*this, 0);
    ExpectUntouchedFiles();
    break;
  case TLineFault::StrayBefore:
    // A byte from before is dropped as the command starts: the exchange gets the station's own
    // answers, not answers one behind.
    ExpectNoBox();
    EXPECT_EQ(station.Received(), Row().Bytes);
    EXPECT_EQ(station.EarlyBytes(), std::vector<uint8_t>{}) << "a byte went out before its answer had come";
    Row().Done(*this, false);
    break;
  case TLineFault::StrayDuring:
    if (Row().Bytes[0] == 70) {
      // One byte more than the block reply: "Чтение" is refused, not shown one byte off.
      EXPECT_EQ(station.Received(), One(Row().Bytes[0]));
      ExpectReport(TLossReport::Surplus);
      Row().Remains(*this, 0);
      break;
    }
    // Taken as an answer inside the exchange, which runs to its end without a report.
    ExpectNoBox();
    EXPECT_EQ(station.Received(), Row().Bytes);
    break;
  case TLineFault::NoiseIdle:
  case TLineFault::NoiseDuring:
    WaitLineQuiet();
    EXPECT_LT(EventLatency(), 1s) << "the window answers within a second of the noise";
    // The noise stands for answers; whatever it made of the exchange was said once at most.
    EXPECT_LE(boxes.Messages.size(), 1u);
    break;
  }
  // Once the line is quiet again, the technician reconnects and the exchange works.
  station.ClearFaults();
  if (!boxes.Messages.empty() || fault == TLineFault::DelayOutside || fault == TLineFault::NoiseDuring)
    LetStationForget(); // it may have been left in the middle of an exchange
  ReadyToStartAgain(Row(), true);
  Row().Start(*this);
  ExpectNoBox();
  EXPECT_EQ(station.Received(), Row().SecondBytes());
  Row().Done(*this, false);
}
INSTANTIATE_TEST_SUITE_P(Table, LineFault,
                         ::testing::Combine(::testing::Range<std::size_t>(0, Rows().size()),
                                            ::testing::ValuesIn(AllLineFaults)),
                         [](const ::testing::TestParamInfo<std::tuple<std::size_t, TLineFault>> &info) {
                           return std::string(Rows()[std::get<0>(info.param)].Name) + "_" +
                                  LineFaultNames[static_cast<int>(std::get<1>(info.param))];
                         });

using PulledWhileIdle = FaultAtByte;

// The adapter is pulled between exchanges, while connected: the next exchange meets a dead line
// and takes the lost-link path, never an error text of the system.
TEST_P(PulledWhileIdle, TheNextExchangeTakesTheLostLinkPath) {
  Row().Prepare(*this);
  station.HangUp();
  QTest::qWait(500); // the serial layer's threads meet the dead line first
  const auto start = Clock::now();
  Row().Start(*this);
  EXPECT_LT(Clock::now() - start, 5s);
  ExpectReport(Row().Loss[0]);
  ExpectUntouchedFiles();
}
// Connecting to a pulled adapter is a missing device: the connect row is not among them.
INSTANTIATE_TEST_SUITE_P(Table, PulledWhileIdle, ::testing::ValuesIn(ConnectedRows()), CaseName);

using LateAnswerBefore = FaultAtByte;

// An answer that came after its wait (to "REFL-FORV", 10 ms too late) waits in the input: the
// next exchange, whichever it is, still gets the station's own answers, and a station that then
// falls silent is seen as silent.
TEST_P(LateAnswerBefore, TheNextExchangeGetsItsOwnAnswers) {
  Row().Prepare(*this);
  station.SetAnswerDelay(std::chrono::milliseconds(250 + 10));
  Press("BitBtn5Click");
  ExpectOneLinkLostBox();
  station.ClearFaults();
  ASSERT_TRUE(station.WaitSent(1, 2s));
  for (int i = 0; i < 200 && !form->MainState.ComPort->ByteReady(); ++i)
    QTest::qWait(5);
  ASSERT_TRUE(form->MainState.ComPort->ByteReady()) << "the late answer waits in the input";
  boxes.Messages.clear();
  station.ClearReceived();
  Row().Start(*this);
  ExpectNoBox();
  EXPECT_EQ(station.Received(), Row().Bytes);
  Row().Done(*this, false);

  // Late once more, then switched off: the next exchange takes the lost-link path.
  ReadyToStartAgain(Row(), Row().ReconnectAfterLoss);
  station.SetAnswerDelay(std::chrono::milliseconds(250 + 10));
  Press("BitBtn5Click");
  ASSERT_TRUE(station.WaitSent(1, 2s));
  QTest::qWait(50);
  station.StopAnsweringAfter(0);
  boxes.Messages.clear();
  Row().Start(*this);
  ExpectReport(Row().Loss[0]);
}
INSTANTIATE_TEST_SUITE_P(Table, LateAnswerBefore, ::testing::ValuesIn(ConnectedRows()), CaseName);

// A station that answers twice, at once or with its bytes spaced as a slow station may (45 ms,
// within the 200 ms between the bytes of a block): "Чтение" sees the second block in its 200 ms
// pause before the model query and is refused, with what the window and the values held before
// left in place; the date and the DAC poll show the station's own first block, and the purge
// before the next command drops the copy. An adapter that gives back what the tool sends,
// recognised at connect: the echo is taken off and the block is the station's. Either way the
// next use, with the line mended, works.
enum class TSurplus { Echo, AnsweredTwice, AnsweredTwiceSlowly };
const char *const SurplusNames[] = {"_Echo", "_AnsweredTwice", "_AnsweredTwiceSlowly"};

class SurplusOnTheLine : public ExchangeFixture, public ::testing::WithParamInterface<std::tuple<std::size_t, TSurplus>> {
protected:
  const TExchangeRow &Row() const { return Rows()[std::get<0>(GetParam())]; }
};

TEST_P(SurplusOnTheLine, RefusesAReadWithASurplusAndShowsNoShiftedBlock) {
  const TSurplus surplus = std::get<1>(GetParam());
  station.SetEcho(surplus == TSurplus::Echo);
  Row().Prepare(*this);
  if (surplus == TSurplus::Echo)
    RecogniseEcho();
  const Values stored = Stored();
  station.ClearReceived();
  station.SetDoubleAnswers(surplus != TSurplus::Echo);
  station.SetReplyGap(surplus == TSurplus::AnsweredTwiceSlowly ? 45ms : 0ms);
  Row().Start(*this);
  EXPECT_EQ(station.EarlyBytes(), std::vector<uint8_t>{});
  if (surplus != TSurplus::Echo && Row().Bytes[0] == 70) {
    EXPECT_EQ(station.Received(), One(Row().Bytes[0])) << "nothing follows the refused block";
    ExpectReport(TLossReport::Surplus);
    Row().Remains(*this, 0);
    ExpectUntouchedFiles();
    EXPECT_EQ(Stored(), stored) << "ParamValues as before the read";
    EXPECT_EQ(form->BitBtn2->text(), "Нет чтения");
    EXPECT_FALSE(form->BitBtn2->isEnabled());
  } else {
    ExpectNoBox();
    EXPECT_EQ(station.Received(), Row().Bytes);
    Row().Done(*this, false);
  }
  EXPECT_TRUE(Connected());

  station.ClearFaults();
  // The rest of a doubled block crosses and waits in the input.
  for (std::size_t sent = station.Sent().size(), quiet = 0; quiet < 2;) {
    QTest::qWait(60);
    quiet = station.Sent().size() == sent ? quiet + 1 : 0;
    sent = station.Sent().size();
  }
  // An adapter whose echo was switched off is found so at the next connect.
  ReadyToStartAgain(Row(), Row().Bytes[0] == 70 || surplus == TSurplus::Echo);
  Row().Start(*this);
  ExpectNoBox();
  EXPECT_EQ(station.Received(), Row().SecondBytes());
  Row().Done(*this, false);
}
INSTANTIATE_TEST_SUITE_P(Table, SurplusOnTheLine,
                         ::testing::ValuesIn([] {
                           // A slow station matters where the tool looks for a surplus: "Чтение".
                           std::vector<std::tuple<std::size_t, TSurplus>> cases;
                           for (std::size_t r = 0; r < Rows().size(); ++r)
                             if (Rows()[r].Block > 0)
                               for (const TSurplus s : {TSurplus::Echo, TSurplus::AnsweredTwice, TSurplus::AnsweredTwiceSlowly})
                                 if (s != TSurplus::AnsweredTwiceSlowly || Rows()[r].Bytes[0] == 70)
                                   cases.emplace_back(r, s);
                           return cases;
                         }()),
                         [](const ::testing::TestParamInfo<std::tuple<std::size_t, TSurplus>> &info) {
                           return std::string(Rows()[std::get<0>(info.param)].Name) +
                                  SurplusNames[static_cast<int>(std::get<1>(info.param))];
                         });
