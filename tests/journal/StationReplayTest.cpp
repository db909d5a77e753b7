// What a station holds after its visits, replayed from records written by hand: the last full
// set, the values set after it, and what is uncertain after a lost link or a session that never
// ended.
#include "journal/StationReplay.h"
#include "tests/table/SeriesRows.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// 34 groups: base everywhere, then the changes.
QString Series(int base, const std::vector<std::pair<int, int>> &changes = {}) {
  return QString::fromStdString(SeriesText(base, changes));
}

TJournalRow Rec(const char *session, const char *operation, const char *outcome = "ok") {
  TJournalRow r;
  r.Session = QString::fromLatin1(session);
  r.Operation = QString::fromLatin1(operation);
  r.Outcome = OutcomeOf(QString::fromLatin1(outcome));
  return r;
}
TJournalRow Full(const char *session, const char *operation, QString series, const char *outcome = "ok",
                 QString detail = {}) {
  TJournalRow r = Rec(session, operation, outcome);
  r.Series = std::move(series);
  r.Detail = std::move(detail);
  return r;
}
TJournalRow Set(const char *session, int parameter, int value, const char *outcome = "ok", QString detail = {}) {
  TJournalRow r = Rec(session, "set_value", outcome);
  r.Parameter = parameter;
  r.Value = value;
  r.Detail = std::move(detail);
  return r;
}
TJournalRow Connect(const char *session) { return Rec(session, "connect"); }
TJournalRow Disconnect(const char *session, QString detail = {}) {
  TJournalRow r = Rec(session, "disconnect");
  r.Detail = std::move(detail);
  return r;
}

struct ReplayCase {
  const char *name;
  std::vector<TJournalRow> records;
  QString values;            // empty: nothing known
  std::vector<int> uncertain; // parameter numbers
  bool interrupted = false;
  std::optional<int> modelIndex = std::nullopt;
};

class ReplayTest : public testing::TestWithParam<ReplayCase> {};

TEST_P(ReplayTest, HoldsWhatTheStationWasLeftWith) {
  const ReplayCase &c = GetParam();
  const TReplayedStation state = ReplayStation(c.records);
  ASSERT_EQ(state.Known(), !c.values.isEmpty());
  EXPECT_EQ(state.Interrupted, c.interrupted);
  EXPECT_EQ(state.StoredModelIndex, c.modelIndex);
  if (!state.Known())
    return;
  QString got;
  for (uint8_t v : state.Values)
    got += QStringLiteral("%1").arg(v, 3, 10, QLatin1Char('0'));
  EXPECT_EQ(got, c.values);
  std::vector<int> uncertain;
  for (int k = 0; k < 34; ++k)
    if (state.Uncertain[static_cast<size_t>(k)])
      uncertain.push_back(k + 1);
  EXPECT_EQ(uncertain, c.uncertain);
}

std::vector<int> From(int first) {
  std::vector<int> numbers;
  for (int k = first; k <= 34; ++k)
    numbers.push_back(k);
  return numbers;
}

const QString Read100 = Series(100);

INSTANTIATE_TEST_SUITE_P(
    Replay, ReplayTest,
    testing::Values(
        ReplayCase{"NothingButSteps", {Connect("A"), Set("A", 18, 5), Disconnect("A")}, {}, {}},
        ReplayCase{"StepsAfterTheLastWrite",
                   {Connect("A"), Full("A", "write_all", Read100), Set("A", 18, 126), Set("A", 20, 7), Set("A", 18, 124),
                    Disconnect("A")},
                   Series(100, {{18, 124}, {20, 7}}),
                   {}},
        ReplayCase{"ReadThenModelStoredThenColumn",
                   {Connect("A"), Full("A", "read_all", Read100, "ok", "3"), Full("A", "overwrite_column", Series(9)),
                    Disconnect("A")},
                   Series(9),
                   {},
                   false,
                   3},
        ReplayCase{"OkStoresAModelIndex",
                   {Connect("A"), Full("A", "read_all", Read100, "ok", "3"), [] {
                      TJournalRow r = Rec("A", "model");
                      r.Value = 2;
                      return r;
                    }(),
                    Disconnect("A")},
                   Read100,
                   {},
                   false,
                   2},
        // The value byte went out (the address was answered) but its answer did not come.
        ReplayCase{"StepLostAfterTheValue",
                   {Connect("A"), Full("A", "read_all", Read100, "ok", "0"), Set("A", 18, 101, "link_lost", "нет ответа на байт 4"),
                    Disconnect("A")},
                   Series(100, {{18, 101}}),
                   {18},
                   false,
                   0},
        // Sent the same value again: whichever way it went, the station holds it.
        ReplayCase{"SameValueLostIsStillKnown",
                   {Full("A", "write_all", Read100), Set("A", 18, 100, "link_lost", "нет ответа на байт 4"), Disconnect("A")},
                   Read100,
                   {}},
        // The address was not answered: the value never went out, the station keeps the old one
        // but its open exchange may take a later byte for it.
        ReplayCase{"StepLostBeforeTheValue",
                   {Full("A", "write_all", Read100), Set("A", 18, 101, "link_lost", "нет ответа на байт 3"), Disconnect("A")},
                   Read100,
                   {18}},
        ReplayCase{"StepLostThenSetAgain",
                   {Full("A", "write_all", Read100), Set("A", 18, 101, "link_lost", "нет ответа на байт 3"), Set("A", 18, 102),
                    Disconnect("A")},
                   Series(100, {{18, 102}}),
                   {}},
        // A write cut at its 11th answer: values 1..10 went out, the rest did not.
        ReplayCase{"WriteCutHalfway",
                   {Full("A", "write_all", Read100), Full("A", "write_all", Series(100, {{2, 50}, {30, 60}}), "link_lost", "нет ответа на байт 11"),
                    Disconnect("A")},
                   Series(100, {{2, 50}}),
                   [] {
                     std::vector<int> u{2};
                     for (int k : From(11))
                       u.push_back(k);
                     return u;
                   }()},
        ReplayCase{"ShortReadTeachesNothing",
                   {Full("A", "write_all", Read100), Full("A", "read_all", QString(), "no_read", "получено значений: 20 из 34"),
                    Disconnect("A")},
                   Read100,
                   {}},
        // The model query after the block lost the link: the 34 values came whole all the same.
        ReplayCase{"ReadWhoseModelQueryLost",
                   {Full("A", "write_all", Read100), Full("A", "read_all", Series(5), "link_lost", "нет ответа на байт 36"),
                    Disconnect("A")},
                   Series(5),
                   {}},
        ReplayCase{"DamagedSeriesIsSkipped",
                   {Full("A", "write_all", Read100), Full("A", "write_all", QStringLiteral("300") + QString(99, '0')),
                    Disconnect("A")},
                   Read100,
                   {}},
        // Killed after a step: no end, so nothing after its last record is known.
        ReplayCase{"InterruptedSession",
                   {Connect("A"), Full("A", "write_all", Read100), Set("A", 18, 7)},
                   Series(100, {{18, 7}}),
                   From(1),
                   true},
        ReplayCase{"EndedByTheWindowIsNotInterrupted",
                   {Connect("A"), Full("A", "write_all", Read100), Disconnect("A", "окно kstune закрыто при подключенной станции")},
                   Read100,
                   {}},
        // An earlier session cut off; the next visit's steps are known, the rest stays in doubt.
        ReplayCase{"StepsAfterAnInterruptedVisit",
                   {Connect("A"), Full("A", "write_all", Read100), Connect("B"), Set("B", 18, 7), Disconnect("B")},
                   Series(100, {{18, 7}}),
                   [] {
                     std::vector<int> u = From(1);
                     u.erase(u.begin() + 17);
                     return u;
                   }()},
        ReplayCase{"AFullSetAfterAnInterruptedVisitClearsTheDoubt",
                   {Connect("A"), Full("A", "write_all", Read100), Connect("B"), Full("B", "read_all", Series(4), "ok", "1"),
                    Disconnect("B")},
                   Series(4),
                   {},
                   false,
                   1},
        // A connect the station never answered is no session that could have been cut off.
        ReplayCase{"UnansweredConnectIsNoInterruption",
                   {Connect("A"), Full("A", "write_all", Read100), Disconnect("A"), Rec("B", "connect", "link_lost")},
                   Read100,
                   {}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
