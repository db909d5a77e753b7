// The nine front-panel buttons against the simulated station.
#include "serial/AdPort.h"
#include "tests/link/TelemetryFixture.h"

#include <functional>

TEST_F(TelemetryTest, EachFrontPanelButtonSendsItsByteAndArmsTheRefresh) {
  using P = const TFrontPanel &;
  struct Row {
    const char *slot;
    uint8_t byte;
    std::function<bool(P before, P after)> changed;
  };
  const Row rows[] = {
      {"BitBtn3Click", 90, [](P b, P a) { return a.Channel == b.Channel + 1; }},    // "Канал +"
      {"BitBtn4Click", 95, [](P b, P a) { return a.Channel == b.Channel - 1; }},    // "Канал -"
      {"BitBtn6Click", 50, [](P, P a) { return a.Mode == TRadioMode::rmReceive; }}, // "Прием"
      {"BitBtn14Click", 105, [](P b, P a) { return a.Volume == b.Volume + 1; }},    // "Громкость +"
      {"BitBtn16Click", 110, [](P b, P a) { return a.Volume == b.Volume - 1; }},    // "Громкость -"
      {"BitBtn17Click", 115, [](P, P a) { return a.Mode == TRadioMode::rmTransmitMin; }}, // "Pmin"
      {"BitBtn18Click", 120, [](P, P a) { return a.Mode == TRadioMode::rmTransmitMax; }}, // "Pmax"
      {"BitBtn19Click", 100, [](P b, P a) { return a.Squelch != b.Squelch; }},            // "ШП"
      {"BitBtn20Click", 180, [](P b, P a) { return a.Scrambler != b.Scrambler; }}, // "Маскиратор"
  };
  Connect();
  TFrontPanel start;
  start.Channel = 5;
  start.Mode = TRadioMode::rmTransmitMin; // so that "Прием" changes it
  station.SetPanel(start);
  // A byte the station sends unasked is stale by the time a key is pressed: the key's command
  // drops it, so it cannot become the answer of a later exchange.
  station.SendStray({0x5A});
  Pass(100ms);
  ASSERT_TRUE(form->MainState.ComPort->ByteReady());

  std::vector<uint8_t> sent;
  for (const auto &row : rows) {
    const TFrontPanel before = station.Panel();
    // Idle, as after a poll, so that no timer event falls between the click and the checks.
    form->Timer1->SetEnabled(false);
    form->Timer1->SetInterval(800);
    form->MainState.PollMode = 3;
    const auto clicked = Clock::now();
    Click(row.slot);
    EXPECT_GE(Clock::now() - clicked, 195ms) << row.slot;
    sent.push_back(row.byte);
    ASSERT_TRUE(station.WaitReceived(sent.size(), 1s)) << row.slot;
    EXPECT_EQ(station.Received(), sent) << row.slot;
    EXPECT_TRUE(row.changed(before, station.Panel())) << row.slot;
    EXPECT_EQ(form->MainState.PollMode, 2) << row.slot;
    EXPECT_TRUE(form->Timer1->Enabled()) << row.slot;
  }
  EXPECT_TRUE(station.ProtocolErrors().empty());
  EXPECT_FALSE(form->MainState.ComPort->ByteReady());
  EXPECT_TRUE(boxes.Messages.empty());
  EXPECT_TRUE(boxes.Errors.empty());
}
