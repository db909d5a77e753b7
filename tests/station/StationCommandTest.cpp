// The station's side of every command, driven byte by byte from a plain termios client.
#include "station/SimStation.h"
#include "tests/station/StationClient.h"
#include "tests/support/TempConfigDir.h"

#include <functional>

namespace {

class StationCommandTest : public ::testing::Test {
protected:
  void SetUp() override {
    station.SetLog([this](const std::string &line) {
      std::lock_guard lock(logMutex);
      log.push_back(line);
    });
    station.Start();
    client = std::make_unique<TStationClient>(station.SlavePath());
    ASSERT_TRUE(client->IsOpen());
  }
  std::vector<std::string> Log() {
    std::lock_guard lock(logMutex);
    return log;
  }

  // Declared before the station, so they outlive its thread.
  std::mutex logMutex;
  std::vector<std::string> log;
  TempConfigDir dir;
  TSimStation station;
  std::unique_ptr<TStationClient> client;
};

TEST_F(StationCommandTest, AnsweredExchangesGiveOneAnswerPerByteAndStoreTheirOperands) {
  station.SetSerialNumber({0x12, 0x0A, 0xFF});
  struct Case {
    const char *name;
    Bytes sent;
    std::function<Bytes()> expected; // computed from the state when the exchange is over
    std::function<void()> check;
  };
  const std::vector<Case> cases = {
      {"connect", {250}, [] { return Bytes{250}; }, [] {}},
      {"set value",
       {55, 0, 0x42, 83},
       [] {
         return Bytes{55, 0, 0x42, 83};
       },
       [&] { EXPECT_EQ(station.Value(0x42), 83); }},
      {"store model index",
       {65, 0, 97, 2},
       [] {
         return Bytes{65, 0, 97, 2};
       },
       [&] { EXPECT_EQ(station.ModelIndex(), 2); }},
      {"store no selection",
       {65, 0, 97, 255},
       [] {
         return Bytes{65, 0, 97, 255};
       },
       [&] { EXPECT_EQ(station.ModelIndex(), 255); }},
      {"serial byte 1",
       {80, 0, 1},
       [] {
         return Bytes{80, 0, 0x12};
       },
       [] {}},
      {"serial byte 2",
       {80, 0, 2},
       [] {
         return Bytes{80, 0, 0x0A};
       },
       [] {}},
      {"serial byte 3",
       {80, 0, 3},
       [] {
         return Bytes{80, 0, 0xFF};
       },
       [] {}},
      {"read REFL",
       {170, 50, 60},
       [&] {
         return Bytes{170, 50, station.Refl()};
       },
       [] {}},
      {"read FORW",
       {170, 50, 70},
       [&] {
         return Bytes{170, 50, station.Forw()};
       },
       [] {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes got = client->Exchange(c.sent);
    EXPECT_EQ(got, c.expected());
    c.check();
  }
  EXPECT_TRUE(client->Quiet(50ms));
  EXPECT_TRUE(station.ProtocolErrors().empty());
}

TEST_F(StationCommandTest, ModelIndexComesAsAnExtraAnswerAfter97) {
  station.SetModelIndex(3);
  EXPECT_EQ(client->Exchange({170, 20}), (Bytes{170, 20}));
  client->Write({97});
  EXPECT_EQ(client->Read(2), (Bytes{97, 3}));
  EXPECT_TRUE(client->Quiet(100ms));
}

TEST_F(StationCommandTest, BlockRepliesCarryTheStateInOrder) {
  std::array<std::uint8_t, 34> values{};
  for (std::size_t i = 0; i < values.size(); ++i)
    values[i] = static_cast<std::uint8_t>(200 - 3 * i);
  station.SetParamValues(values);
  station.SetProcessorDate({31, 12, 20, 0});
  client->Write({70});
  EXPECT_EQ(client->Read(35, 1s), Bytes(values.begin(), values.end()));
  client->Write({125});
  EXPECT_EQ(client->Read(5, 500ms), (Bytes{31, 12, 20, 0}));
  const auto dac = station.DacValues();
  client->Write({140});
  EXPECT_EQ(client->Read(9, 500ms), Bytes(dac.begin(), dac.end()));
  EXPECT_TRUE(station.ProtocolErrors().empty());
}

TEST_F(StationCommandTest, WriteAllThenReadAllGivesBackWhatWasWrittenAtTheTableAddresses) {
  Bytes values;
  for (int i = 1; i <= 34; ++i)
    values.push_back(static_cast<std::uint8_t>(i * 7));
  Bytes sent{60};
  sent.insert(sent.end(), values.begin(), values.end());
  EXPECT_EQ(client->Exchange(sent), sent);
  client->Write({70});
  EXPECT_EQ(client->Read(34), values);
  // The three address runs, checked at their ends: 1 → 27, 12 → 38, 13 → 61, 23 → 71, 24 → 75, 34 → 85.
  for (auto [param, address] : {std::pair{1, 27}, {12, 38}, {13, 61}, {23, 71}, {24, 75}, {34, 85}})
    EXPECT_EQ(station.Value(static_cast<std::uint8_t>(address)), values[param - 1]) << "parameter " << param;
  EXPECT_EQ(station.Value(72), 0); // not a tuning address
}

TEST_F(StationCommandTest, FrontPanelBytesAreNotAnsweredAndMoveThePanel) {
  const TFrontPanel start{
      .Channel = 16, .Volume = 15, .Mode = TRadioMode::rmReceive, .Squelch = true, .Scrambler = false};
  struct Case {
    std::uint8_t byte;
    std::function<void(TFrontPanel &)> change;
  };
  const std::vector<Case> cases = {
      {90, [](TFrontPanel &p) { p.Channel = 1; }}, // wraps past the last channel
      {95, [](TFrontPanel &p) { p.Channel = 15; }},
      {105, [](TFrontPanel &) {}}, // already at full volume
      {110, [](TFrontPanel &p) { p.Volume = 14; }},
      {115, [](TFrontPanel &p) { p.Mode = TRadioMode::rmTransmitMin; }},
      {120, [](TFrontPanel &p) { p.Mode = TRadioMode::rmTransmitMax; }},
      {100, [](TFrontPanel &p) { p.Squelch = false; }},
      {180, [](TFrontPanel &p) { p.Scrambler = true; }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(int(c.byte));
    station.SetPanel(start);
    station.ClearReceived();
    client->Write({c.byte});
    ASSERT_TRUE(station.WaitReceived(1, 2s));
    EXPECT_TRUE(client->Quiet(100ms));
    TFrontPanel expected = start;
    c.change(expected);
    EXPECT_EQ(station.Panel(), expected);
  }
  station.SetPanel({.Mode = TRadioMode::rmTransmitMax});
  client->Write({50});
  ASSERT_TRUE(client->Quiet(100ms));
  EXPECT_EQ(station.Panel().Mode, TRadioMode::rmReceive);
  client->Write({200});
  EXPECT_TRUE(client->Quiet(100ms));
  EXPECT_TRUE(station.ProtocolErrors().empty());
}

TEST_F(StationCommandTest, TheSameByteMeansWhatItsPositionSays) {
  station.SetPanel({.Mode = TRadioMode::rmTransmitMax});
  // 50 after 170 is an operand, not "receive mode"; 70 after 170, 50 is one reading, not read-all.
  EXPECT_EQ(client->Exchange({170, 50, 70}), (Bytes{170, 50, station.Forw()}));
  EXPECT_TRUE(client->Quiet(100ms));
  EXPECT_EQ(station.Panel().Mode, TRadioMode::rmTransmitMax);
  // 60 after 170, 50 does not open write-all: the next 55 is a command again.
  EXPECT_EQ(client->Exchange({170, 50, 60, 55, 0, 30, 9}), (Bytes{170, 50, station.Refl(), 55, 0, 30, 9}));
  EXPECT_EQ(station.Value(30), 9);
}

TEST_F(StationCommandTest, DacValuesAndReadingsFollowTheFrontPanel) {
  station.SetValue(76, 25);  // POW_5
  station.SetValue(77, 155); // P1_5
  station.SetValue(82, 121); // POW_40
  station.SetValue(83, 244); // P1_40
  struct Case {
    TRadioMode mode;
    std::uint8_t power, bias;
  };
  for (const auto &c : {Case{TRadioMode::rmReceive, 0, 0}, Case{TRadioMode::rmTransmitMin, 25, 155},
                        Case{TRadioMode::rmTransmitMax, 121, 244}}) {
    station.SetPanel({.Mode = c.mode});
    const auto dac = station.DacValues();
    EXPECT_EQ(dac[3], c.power); // POW
    EXPECT_EQ(dac[0], c.bias);  // P1
    EXPECT_EQ(station.Forw(), c.power);
    EXPECT_LT(station.Refl(), std::max<int>(c.power, 1));
  }
  station.SetValue(67, 99); // CORF follows the carrier value
  EXPECT_EQ(station.DacValues()[2], 99);
  // The audio level follows the channel's band and the squelch.
  station.SetPanel({.Channel = 1, .Squelch = false});
  const auto band1 = station.DacValues()[6];
  station.SetPanel({.Channel = 16, .Squelch = false});
  EXPECT_EQ(station.DacValues()[6], station.Value(32)); // 171 MHz: last band, amplifier on
  EXPECT_NE(station.DacValues()[6], band1);
  station.SetPanel({.Channel = 16, .Squelch = true});
  EXPECT_EQ(station.DacValues()[6], station.Value(38));
}

// Each front-panel byte shows in the telemetry: DAC block and readings after the byte, from the
// factory values (P1_5 155, POW_5 25, P1_40 244, POW_40 121, TUNE 55, CORF 120, AF1 120, MOD2 200,
// DEV 83, audio levels on 150.., off 60.., 70 in the last band) and the panel the row starts from.
TEST_F(StationCommandTest, EachFrontPanelByteChangesWhatTheTelemetryShows) {
  const TFrontPanel factory;
  const TFrontPanel transmitMax{.Mode = TRadioMode::rmTransmitMax};
  struct Case {
    std::uint8_t byte;
    TFrontPanel from;
    Bytes dac; // P1 TUN CORF POW MOD2 MOD1 AF1 VC
    std::uint8_t refl, forw;
  } cases[] = {
      {90, factory, {0, 60, 120, 0, 200, 0, 60, 136}, 0, 0},           // channel 2: tuning + 5
      {95, factory, {0, 130, 120, 0, 200, 0, 70, 136}, 0, 0},          // channel 16: tuning + 75, last band
      {50, transmitMax, {0, 55, 120, 0, 200, 0, 60, 136}, 0, 0},       // back to receive
      {100, factory, {0, 55, 120, 0, 200, 0, 150, 136}, 0, 0},         // squelch off: amplifier on
      {105, factory, {0, 55, 120, 0, 200, 0, 60, 153}, 0, 0},          // volume 9
      {110, factory, {0, 55, 120, 0, 200, 0, 60, 119}, 0, 0},          // volume 7
      {115, factory, {155, 55, 120, 25, 200, 83, 120, 136}, 2, 25},    // transmit at 5 W
      {120, factory, {244, 55, 120, 121, 200, 83, 120, 136}, 12, 121}, // transmit at 40 W
      {180, factory, {0, 55, 120, 0, 232, 0, 60, 136}, 0, 0},          // scrambler on: reference + 32
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(int(c.byte));
    station.SetPanel(c.from);
    const Bytes before = client->Exchange({140}, 8);
    client->Write({c.byte});
    const Bytes after = client->Exchange({140}, 8);
    EXPECT_EQ(after, c.dac);
    EXPECT_NE(after, before);
    EXPECT_EQ(client->Exchange({170, 50, 60}).back(), c.refl);
    EXPECT_EQ(client->Exchange({170, 50, 70}).back(), c.forw);
  }
  EXPECT_TRUE(station.ProtocolErrors().empty());
}

// A client whose line is not 1200 baud, 8N1 garbles every byte on a real wire.
TEST_F(StationCommandTest, ExchangesOnAWrongLineSettingAreViolations) {
  struct Case {
    speed_t speed;
    bool twoStopBits;
    bool violation;
  } cases[] = {{B9600, false, true}, {B1200, true, true}, {B1200, false, false}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.speed);
    const auto before = station.ProtocolErrors().size();
    client->SetLine(c.speed, c.twoStopBits);
    EXPECT_EQ(client->Exchange({250}), Bytes{250}); // still served
    EXPECT_EQ(station.ProtocolErrors().size(), before + (c.violation ? 1 : 0));
  }
  EXPECT_NE(station.ProtocolErrors().front().find("9600 8N1"), std::string::npos);
}

TEST_F(StationCommandTest, WrongBytesAreNotAnsweredAndAreRecorded) {
  struct Case {
    Bytes sent;
    Bytes answered;
  };
  const std::vector<Case> cases = {
      {{55, 1}, {55}},
      {{55, 0, 0x49}, {55, 0}} /* an address outside the table */,
      {{65, 0, 96}, {65, 0}},
      {{80, 0, 4}, {80, 0}},
      {{170, 21}, {170}},
      {{170, 50, 61}, {170, 50}},
      {{7}, {}},
      {{0}, {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(HexBytes(c.sent));
    const auto errorsBefore = station.ProtocolErrors().size();
    EXPECT_EQ(client->Exchange(c.sent, 1, 200ms), c.answered);
    EXPECT_GT(station.ProtocolErrors().size(), errorsBefore);
  }
  // A command that stands where an operand should is taken as the start of a new exchange.
  EXPECT_EQ(client->Exchange({55, 250}), (Bytes{55, 250}));
}

TEST_F(StationCommandTest, LogHasOneReadableLinePerExchange) {
  client->Exchange({55, 0, 0x42, 83});
  client->Write({90});
  station.SetPanel({.Mode = TRadioMode::rmTransmitMax});
  client->Exchange({170, 50, 70});
  ASSERT_TRUE(station.WaitReceived(8, 2s));
  for (int i = 0; i < 100 && Log().size() < 3; ++i)
    std::this_thread::sleep_for(10ms);
  const auto lines = Log();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "37 00 42 53  set value, address 0x42 = 83");
  EXPECT_EQ(lines[1].substr(0, 4), "5A  ");
  EXPECT_EQ(lines[2], "AA 32 46  read FORW: " + std::to_string(station.Forw()));
}

} // namespace
