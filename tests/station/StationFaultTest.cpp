// Faults the link tests need from the station, pacing, and a client that comes and goes.
#include "station/SimStation.h"
#include "tests/station/StationClient.h"
#include "tests/support/TempConfigDir.h"

#include <functional>
#include <random>

namespace {

using Clock = std::chrono::steady_clock;

class StationFaultTest : public ::testing::Test {
protected:
  void SetUp() override {
    station.Start();
    client = std::make_unique<TStationClient>(station.SlavePath());
    ASSERT_TRUE(client->IsOpen());
  }

  TempConfigDir dir;
  TSimStation station;
  std::unique_ptr<TStationClient> client;
};

Bytes WriteAll(std::uint8_t first) {
  Bytes sent{60};
  for (int i = 0; i < 34; ++i)
    sent.push_back(static_cast<std::uint8_t>(first + i));
  return sent;
}

TEST_F(StationFaultTest, StopsAnsweringAfterNBytesButStillTakesThemIn) {
  for (std::size_t n : {0u, 1u, 11u}) {
    SCOPED_TRACE(n);
    station.ClearReceived();
    station.StopAnsweringAfter(n);
    const Bytes sent = WriteAll(static_cast<std::uint8_t>(n));
    const Bytes got = client->Exchange(Bytes(sent.begin(), sent.begin() + n + 1), 1, 300ms);
    EXPECT_EQ(got, Bytes(sent.begin(), sent.begin() + n));
    EXPECT_EQ(station.Received().size(), n + 1);
    // The tool gives up; after a while the station is ready for a new exchange.
    station.StopAnsweringAfter(std::nullopt);
    std::this_thread::sleep_for(TSimStation::ExchangeTimeout + 200ms);
    EXPECT_EQ(client->Exchange({250}), (Bytes{250}));
  }
}

TEST_F(StationFaultTest, BlocksAreCutToTheirFirstBytes) {
  station.CutBlocksTo(20);
  client->Write({70});
  const auto values = station.ParamValues();
  EXPECT_EQ(client->Read(34, 500ms), Bytes(values.begin(), values.begin() + 20));
  station.CutBlocksTo(3);
  client->Write({125});
  const auto date = station.ProcessorDate();
  EXPECT_EQ(client->Read(4, 300ms), Bytes(date.begin(), date.begin() + 3));
  client->Write({140});
  EXPECT_EQ(client->Read(8, 300ms).size(), 3u);
  // One-byte answers are not blocks.
  EXPECT_EQ(client->Exchange({55, 0, 30, 1}), (Bytes{55, 0, 30, 1}));
}

TEST_F(StationFaultTest, DelayedAnswersArriveLate) {
  station.SetAnswerDelay(300ms);
  const auto start = Clock::now();
  client->Write({250});
  EXPECT_TRUE(client->Read(1, 150ms).empty());
  EXPECT_EQ(client->Read(1, 2s), (Bytes{250}));
  EXPECT_GE(Clock::now() - start, 250ms);
  station.ClearFaults();
  const auto again = Clock::now();
  EXPECT_EQ(client->Exchange({250}), (Bytes{250}));
  EXPECT_LT(Clock::now() - again, 250ms);
}

// Without an answer in time the tool gives its exchange up and starts the next one at once: the
// station follows, so the next command is no violation.
TEST_F(StationFaultTest, AnExchangeTheToolMustGiveUpIsGivenUpByTheStationToo) {
  struct Case {
    const char *name;
    std::function<void()> fault;
    Bytes sent; // up to the byte whose answer does not come in time
  } cases[] = {
      {"silent after 55", [&] { station.StopAnsweringAfter(1); }, {55, 0}},
      {"answers later than the tool waits", [&] { station.SetAnswerDelay(300ms); }, {55}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    c.fault();
    client->Exchange(c.sent, 1, 400ms);
    station.ClearFaults();
    EXPECT_EQ(client->Exchange({250}, 1, 1s).back(), 250);
    EXPECT_EQ(station.ProtocolErrors(), std::vector<std::string>{});
  }
}

TEST_F(StationFaultTest, ZeroAnswersReplaceEveryReplyByteButTheStateStillChanges) {
  station.SetZeroAnswers(true);
  station.SetModelIndex(4);
  EXPECT_EQ(client->Exchange({55, 0, 0x42, 83}), Bytes(4, 0));
  EXPECT_EQ(station.Value(0x42), 83);
  client->Write({70});
  EXPECT_EQ(client->Read(34), Bytes(34, 0));
  EXPECT_EQ(client->Exchange({170, 20, 97}, 1), Bytes(3, 0));
  EXPECT_EQ(client->Read(1), Bytes(1, 0));
}

// An echoing line gives back each byte before the reply; a double-answering station sends each
// reply twice. Either way more comes back than the command set has the station send.
TEST_F(StationFaultTest, EchoAndDoubleAnswersPutSurplusBytesOnTheLine) {
  station.SetParamValues({});
  station.SetProcessorDate({5, 11, 20, 7});
  station.SetSerialNumber({0x12, 0x0A, 0xFF});
  const Bytes date{5, 11, 20, 7};
  const struct {
    const char *fault;
    Bytes send;
    Bytes back;
  } cases[] = {
      {"echo", {125}, {125, 5, 11, 20, 7}},
      {"echo", {80}, {80, 80}}, // the echo, then the answer to 80 (the echo of 80: any byte)
      {"echo", {250}, {250, 250}},
      {"echo", {90}, {90}}, // unanswered: the echo alone
      {"twice", {125}, {5, 11, 20, 7, 5, 11, 20, 7}},
      {"twice", {250}, {250, 250}},
      {"twice", {90}, {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.fault) + " " + std::to_string(c.send[0]));
    station.ClearFaults();
    std::this_thread::sleep_for(TSimStation::ExchangeTimeout + 100ms);
    std::string fault = c.fault;
    station.SetEcho(fault == "echo");
    station.SetDoubleAnswers(fault == "twice");
    client->Write(c.send);
    EXPECT_EQ(client->Read(c.back.size(), 1s), c.back);
    EXPECT_TRUE(client->Quiet(150ms)) << "nothing more than that";
  }
  station.ClearFaults();
  std::this_thread::sleep_for(TSimStation::ExchangeTimeout + 100ms);
  client->Write({125});
  EXPECT_EQ(client->Read(4, 1s), date) << "ClearFaults ends both";
  EXPECT_TRUE(client->Quiet(150ms));
}

TEST_F(StationFaultTest, StopSendingAfterEndsTheRepliesMidwayButStillTakesBytesIn) {
  station.SetModelIndex(3);
  station.StopSendingAfter(3);
  EXPECT_EQ(client->Exchange({170, 20, 97}), (Bytes{170, 20, 97}));
  EXPECT_TRUE(client->Quiet(200ms)) << "the model index after the answer to 97 is not sent";
  EXPECT_EQ(station.Received().size(), 3u);
  client->Write({250});
  EXPECT_TRUE(client->Quiet(200ms));
  station.StopSendingAfter(std::nullopt);
  std::this_thread::sleep_for(TSimStation::ExchangeTimeout + 100ms);
  EXPECT_EQ(client->Exchange({250}), (Bytes{250}));
}

TEST_F(StationFaultTest, StrayBytesGoOutAtOnceAndUnasked) {
  station.SendStray({0x11, 0x13, 0x03, 0x0D});
  EXPECT_EQ(client->Read(4, 1s), (Bytes{0x11, 0x13, 0x03, 0x0D}));
  EXPECT_TRUE(station.WaitSent(4, 1s));
  EXPECT_TRUE(station.Received().empty());
}

TEST_F(StationFaultTest, HangUpClosesTheLineAndTheLinkLeadsNowhere) {
  TSimStation linked;
  linked.Start({.ComNumber = 4});
  TStationClient onLink(linked.LinkPath());
  ASSERT_TRUE(onLink.IsOpen());
  EXPECT_EQ(onLink.Exchange({250}), (Bytes{250}));
  linked.HangUp();
  EXPECT_TRUE(linked.HungUp());
  EXPECT_TRUE(onLink.SeesHangUp());
  // The name stays (so the tool cannot fall back to a real port) but opens nothing.
  EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(linked.LinkPath())));
  TStationClient reopened(linked.LinkPath());
  EXPECT_FALSE(reopened.IsOpen());
  EXPECT_EQ(errno, ENOENT);
  const auto link = linked.LinkPath();
  linked.Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST_F(StationFaultTest, PacingTakesTenBitTimesPerByteEachWay) {
  const auto unpacedStart = Clock::now();
  client->Write({70});
  ASSERT_EQ(client->Read(34, 2s).size(), 34u);
  const auto unpaced = Clock::now() - unpacedStart;

  station.SetPacing(true);
  const auto answerStart = Clock::now();
  EXPECT_EQ(client->Exchange({250}), (Bytes{250}));
  const auto answer = Clock::now() - answerStart;
  EXPECT_GE(answer, 15ms); // 2 × 8.33 ms on the wire
  EXPECT_LT(answer, 500ms);

  const auto blockStart = Clock::now();
  client->Write({70});
  ASSERT_EQ(client->Read(34, 3s).size(), 34u);
  const auto block = Clock::now() - blockStart;
  EXPECT_GE(block, 270ms); // 35 bytes × 8.33 ms
  EXPECT_LT(block, 3s);
  EXPECT_LT(unpaced, block);

  // Bytes written at once arrive one line slot after another.
  station.ClearReceived();
  client->Write({105, 105, 105});
  ASSERT_TRUE(station.WaitReceived(3, 2s));
  const auto times = station.ReceivedWithTimes();
  EXPECT_GE(times[2].At - times[0].At, 14ms);
}

TEST_F(StationFaultTest, ClientClosingAndReopeningLeavesTheStationServing) {
  client.reset();
  for (int round = 0; round < 3; ++round) {
    TStationClient other(station.SlavePath());
    ASSERT_TRUE(other.IsOpen());
    EXPECT_EQ(other.Exchange({250}), (Bytes{250}));
  }
  {
    TStationClient leaving(station.SlavePath());
    leaving.Write({55, 0}); // gone in the middle of an exchange, its answers unread
    ASSERT_TRUE(station.WaitReceived(5, 2s));
  }
  std::this_thread::sleep_for(TSimStation::ExchangeTimeout + 200ms);
  TStationClient last(station.SlavePath());
  EXPECT_EQ(last.Exchange({55, 0, 0x42, 1}), (Bytes{55, 0, 0x42, 1}));
  EXPECT_FALSE(station.HungUp());
}

TEST_F(StationFaultTest, WhatTheStationSendsWhileNobodyHasThePortOpenIsLost) {
  client.reset();
  station.SendStray({1, 2, 3});
  std::this_thread::sleep_for(100ms);
  {
    TStationClient leaving(station.SlavePath(), false);
    EXPECT_TRUE(leaving.Quiet(100ms));
    station.SetAnswerDelay(300ms);
    leaving.Write({250});
    ASSERT_TRUE(station.WaitReceived(1, 2s));
  }
  std::this_thread::sleep_for(500ms); // the late answer leaves while the port is closed
  TStationClient next(station.SlavePath(), false);
  EXPECT_TRUE(next.Quiet(200ms));
  station.ClearFaults();
  EXPECT_EQ(next.Exchange({250}), (Bytes{250}));
}

TEST_F(StationFaultTest, GarbageNeverStopsTheStation) {
  std::mt19937 random(6);
  Bytes garbage(2000);
  for (auto &b : garbage)
    b = static_cast<std::uint8_t>(random());
  client->Write(garbage);
  ASSERT_TRUE(station.WaitReceived(garbage.size(), 5s));
  while (!client->Read(4096, 200ms).empty()) {
  }
  EXPECT_FALSE(station.ProtocolErrors().empty());
  std::this_thread::sleep_for(TSimStation::ExchangeTimeout + 200ms);
  EXPECT_EQ(client->Exchange({250}), (Bytes{250}));
}

} // namespace
