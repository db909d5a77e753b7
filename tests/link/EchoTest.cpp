// An adapter that gives back every byte kstune sends (a two-wire converter with its receiver on).
// It is recognised at "Подключиться" by the byte coming back as it leaves the wire; from then on
// each echo is taken off before the station's answer is awaited, so every exchange gets the
// station's own answers, and a silent station behind it is seen as silent.
#include "link/Exchange.h"
#include "tests/link/ExchangeTable.h"

namespace {

// Written here, not taken from the code: the technician's lines about the echo.
const QString EchoOnlyLine = QStringLiteral("Адаптер возвращает посланные байты (эхо), а станция не ответила");
const QString NoLinkLine = QStringLiteral("Нет соединения со станцией...");

} // namespace

class EchoConnectTest : public ExchangeFixture {};

TEST_F(EchoConnectTest, TheEchoIsToldApartFromTheStationsAnswer) {
  const struct {
    const char *name;
    bool echo, paced, silent;
    QStringList lines;
    bool connected;
  } rows[] = {
      {"echo and a station", true, false, false, ConnectedLines + QStringList{EchoDroppedLine}, true},
      {"echo and no station", true, false, true, {NoLinkLine, EchoOnlyLine}, false},
      // Answers 250 with 250 two byte times after it was sent: the station's, not an echo.
      {"a station at 1200 baud", false, true, false, ConnectedLines, true},
      {"a station without pacing", false, false, false, ConnectedLines, true},
      {"nothing on the line", false, false, true, {NoLinkLine}, false},
  };
  PrepareFiles();
  SetStationData();
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    if (Connected())
      Click("BitBtn10Click");
    station.ClearFaults();
    station.SetPacing(row.paced);
    station.SetEcho(row.echo);
    if (row.silent)
      station.StopAnsweringAfter(0);
    // The echo is told by its timing, which a loaded machine may hold back: a few tries.
    for (int attempt = 0; attempt < (row.echo ? 5 : 1); ++attempt) {
      if (Connected())
        Click("BitBtn10Click");
      station.ClearReceived();
      Click("BitBtn9Click");
      if (MessageLines(*form) == row.lines)
        break;
    }
    EXPECT_EQ(MessageLines(*form), row.lines);
    EXPECT_EQ(Connected(), row.connected);
    EXPECT_EQ(station.Received(), One(250));
    ExpectNoBox();
  }
  station.SetPacing(false);
}

// Every exchange of the table behind an echoing adapter, the station answering, then silent.
class EchoingAdapter : public FaultAtByte {};

TEST_P(EchoingAdapter, EveryExchangeGetsTheStationsOwnAnswers) {
  station.SetEcho(true);
  Row().Prepare(*this);
  RecogniseEcho();
  station.ClearReceived();
  Row().Start(*this);
  ExpectNoBox();
  EXPECT_EQ(station.Received(), Row().Bytes);
  EXPECT_EQ(station.EarlyBytes(), std::vector<uint8_t>{}) << "a byte went out before the station's answer";
  Row().Done(*this, false);

  // Again, with a front-panel key's unanswered echo between: still the station's own answers.
  ReadyToStartAgain(Row(), false);
  Press("BitBtn6Click"); // "Прием"
  form->Timer1->SetEnabled(false);
  station.ClearReceived();
  Row().Start(*this);
  ExpectNoBox();
  EXPECT_EQ(station.Received(), Row().SecondBytes());
  EXPECT_EQ(station.EarlyBytes(), std::vector<uint8_t>{});
  Row().Done(*this, false);
}

TEST_P(EchoingAdapter, ASilentStationIsNeverAnsweredByTheEcho) {
  station.SetEcho(true);
  Row().Prepare(*this);
  RecogniseEcho();
  station.ClearReceived();
  station.StopAnsweringAfter(0);
  Row().Start(*this);
  EXPECT_TRUE(Prefix(1, Row().Bytes)) << "nothing sent past the first unanswered byte";
  ExpectLoss(0);
}
INSTANTIATE_TEST_SUITE_P(Table, EchoingAdapter, ::testing::ValuesIn(ConnectedRows()), CaseName);

TEST(EchoTiming, OnlyTheSameByteBackBetweenOneAndTwoByteTimesIsAnEcho) {
  using namespace std::chrono;
  // At 1200 baud a byte takes 8.33 ms on the wire.
  const struct {
    uint8_t sent, back;
    microseconds after;
    bool echo;
  } rows[] = {
      {250, 250, 8'400us, true},  {250, 250, 7'600us, true},   {250, 250, 16'600us, true},
      {250, 250, 16'700us, false}, // a station's answer: heard, then sent, two byte times
      {250, 250, 7'400us, false},  // sooner than the byte can have crossed
      {250, 250, 200us, false},    // a pseudo-terminal's station
      {250, 0x33, 8'400us, false}, // another byte
  };
  for (const auto &row : rows)
    EXPECT_EQ(LooksLikeEcho(row.sent, row.back, row.after, 1200), row.echo) << row.after.count();
}
