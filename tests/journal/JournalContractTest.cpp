// The journal's contract as other programs read it: the columns in their fixed order, the words,
// the time, and every kind of detail written and read back the same. Expected texts are the
// design's and the window's own, written out here.
#include "journal/JournalDetail.h"
#include "journal/JournalRecord.h"
#include "journal/JournalSchema.h"
#include "journal/JournalTime.h"
#include "tests/journal/JournalFiles.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

namespace {

TEST(JournalContract, ColumnsStandInTheirFixedOrder) {
  EXPECT_EQ(JournalColumns().join(QLatin1Char(',')),
            "id,at,seq,session,bench,operator,port,model,serial,operation,parameter,value,series,outcome,detail");
}

TEST(JournalContract, WordsAreTheDesignsWords) {
  QStringList words;
  for (const char *word : JournalOp::All)
    words << QLatin1String(word);
  EXPECT_EQ(words.join(QLatin1Char(' ')), "connect disconnect set_value write_all overwrite_column read_all model serial "
                                          "processor_date dac refl_forw front_panel report");
  const std::pair<TJournalOutcome, const char *> outcomes[] = {
      {TJournalOutcome::Ok, "ok"}, {TJournalOutcome::LinkLost, "link_lost"}, {TJournalOutcome::NoRead, "no_read"}};
  for (const auto &[outcome, word] : outcomes) {
    EXPECT_STREQ(OutcomeName(outcome), word);
    EXPECT_EQ(OutcomeOf(QLatin1String(word)), outcome) << word;
  }
  EXPECT_EQ(OutcomeOf("lost"), TJournalOutcome::Unknown);
}

TEST(JournalContract, TimeIsUtcWithMilliseconds) {
  const QDateTime at(QDate(2026, 12, 7), QTime(15, 4, 5, 123), Qt::UTC);
  EXPECT_EQ(JournalTimeText(at), "2026-12-07T15:04:05.123Z");
  EXPECT_EQ(JournalTimeText(at.toOffsetFromUtc(3 * 3600)), "2026-12-07T15:04:05.123Z");
  const std::pair<QVariant, QDateTime> reads[] = {
      {QStringLiteral("2026-12-07T15:04:05.123Z"), at},
      {QVariant(at.toOffsetFromUtc(3600)), at}, // a server's timestamptz
      {QStringLiteral("2026-12-07T16:04:05.123+01:00"), at},
      {QStringLiteral("2026-13-07T15:04:05.123Z"), QDateTime()},
      {QStringLiteral("bad time"), QDateTime()},
      {QVariant(), QDateTime()},
  };
  for (const auto &[stored, want] : reads) {
    const QDateTime got = JournalTimeOf(stored);
    EXPECT_EQ(got.isValid(), want.isValid()) << stored.toString().toStdString();
    if (want.isValid()) {
      EXPECT_EQ(got, want) << stored.toString().toStdString();
    }
  }
}

// The journal's file lies in the user's data folder by the rule of the options file's folder:
// a session without HOME (a service) finds the home of the password database for both.
TEST(JournalContract, FileInTheUsersDataFolder) {
  const passwd *entry = getpwuid(getuid());
  const std::string passwdHome = entry && entry->pw_dir ? entry->pw_dir : "/tmp";
  const QByteArray oldData = qgetenv("XDG_DATA_HOME"), oldHome = qgetenv("HOME");
  const struct {
    const char *data, *home; // empty: unset
    std::string expected;
  } rows[] = {
      {"/x/data/", "/home/t", "/x/data/kstune/journal.sqlite"},
      {"", "", passwdHome + "/.local/share/kstune/journal.sqlite"},
  };
  for (const auto &r : rows) {
    *r.data ? qputenv("XDG_DATA_HOME", r.data) : qunsetenv("XDG_DATA_HOME");
    *r.home ? qputenv("HOME", r.home) : qunsetenv("HOME");
    EXPECT_EQ(JournalFilePath().toStdString(), r.expected) << r.data << " " << r.home;
  }
  oldData.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", oldData);
  oldHome.isNull() ? qunsetenv("HOME") : qputenv("HOME", oldHome);
}

struct DetailCase {
  const char *name;
  QString text;
  TJournalDetail detail;
};

class DetailTest : public testing::TestWithParam<DetailCase> {};

// Written as the text and read back into the same parts.
TEST_P(DetailTest, WritesAndReadsTheSameParts) {
  const DetailCase &c = GetParam();
  EXPECT_EQ(JournalDetailText(c.detail), c.text);
  const TJournalDetail back = JournalDetailOf(c.text);
  EXPECT_EQ(back.Own, c.detail.Own);
  EXPECT_EQ(back.MissingAnswer, c.detail.MissingAnswer);
  EXPECT_EQ(back.ValuesReceived, c.detail.ValuesReceived);
  EXPECT_EQ(back.BrokenAfter, c.detail.BrokenAfter);
  EXPECT_EQ(back.Surplus, c.detail.Surplus);
  EXPECT_EQ(back.StaleBytes, c.detail.StaleBytes);
}

TJournalDetail D(QString own, std::optional<int> missing = {}, std::optional<int> received = {},
                 std::optional<int> broken = {}, bool surplus = false, int stale = 0) {
  return {own, missing, received, broken, surplus, stale};
}

INSTANTIATE_TEST_SUITE_P(
    Detail, DetailTest,
    testing::Values(
        DetailCase{"Nothing", QString(), D({})},
        DetailCase{"DacBytes", "0C 80 00 FF 0A 01 02 03", D("0C 80 00 FF 0A 01 02 03")},
        DetailCase{"DacAfterStaleBytes", "0C 80 00 FF 0A 01 02 03; отброшено устаревших байт: 2",
                   D("0C 80 00 FF 0A 01 02 03", {}, {}, {}, false, 2)},
        DetailCase{"LinkLostAtAByte", "нет ответа на байт 3", D({}, 3)},
        DetailCase{"ShortRead", "получено значений: 20 из 34", D({}, {}, 20)},
        DetailCase{"BrokenByAnError", "прервано ошибкой после байта 7", D({}, {}, {}, 7)},
        DetailCase{"SurplusAfterRead", "после блока значений пришли лишние байты", D({}, {}, {}, {}, true)},
        DetailCase{"ReportFileWithSeparator", "/home/t/a; b.xls, строка 6; отброшено устаревших байт: 1",
                   D("/home/t/a; b.xls, строка 6", {}, {}, {}, false, 1)},
        DetailCase{"SerialLostWithStale", "нет ответа на байт 5; отброшено устаревших байт: 4", D({}, 5, {}, {}, false, 4)},
        DetailCase{"HowASessionEnded", "kstune остановлен сигналом SIGTERM", D("kstune остановлен сигналом SIGTERM")}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(JournalContract, OperationsOwnWordsReadBack) {
  const TDacBytes dac{0x0C, 0x80, 0x00, 0xFF, 0x0A, 0x01, 0x02, 0x03};
  EXPECT_EQ(DacDetail(dac), "0C 80 00 FF 0A 01 02 03");
  EXPECT_EQ(DacOf(DacDetail(dac)), dac);
  EXPECT_EQ(DacOf("0c8000ff0a010203"), dac);
  for (const char *bad : {"0C 80 00 FF 0A 01 02", "0C 80 00 FF 0A 01 02 03 04", "100 80 00 FF 0A 01 02 03", "", "zz"})
    EXPECT_FALSE(DacOf(bad)) << bad;

  EXPECT_EQ(ReflForwDetail(5, 120), "REFL=5 FORW=120");
  EXPECT_EQ(ReflForwOf(ReflForwDetail(5, 120)), (std::pair<int, int>{5, 120}));
  for (const char *bad : {"REFL=5", "REFL=5 FORW=256", "FORW=1 REFL=2", ""})
    EXPECT_FALSE(ReflForwOf(bad)) << bad;

  EXPECT_EQ(ModelIndexDetail(2), "2");
  EXPECT_EQ(ModelIndexDetail(-1), "255"); // "Ok" with nothing chosen sends 255
  EXPECT_EQ(ModelIndexOf("2"), 2);
  for (const char *bad : {"", "-1", "256", "2 ", "KS43"})
    EXPECT_FALSE(ModelIndexOf(bad)) << bad;

  const std::pair<TSessionEnd, const char *> endings[] = {
      {TSessionEnd::WindowClosed, "окно kstune закрыто при подключенной станции"},
      {TSessionEnd::Sigint, "kstune остановлен сигналом SIGINT"},
      {TSessionEnd::Sigterm, "kstune остановлен сигналом SIGTERM"},
      {TSessionEnd::Sighup, "kstune остановлен сигналом SIGHUP"},
      {TSessionEnd::Reconnected, "новое подключение без отключения"}};
  for (const auto &[how, text] : endings)
    EXPECT_EQ(SessionEndDetail(how), QString::fromUtf8(text));
}

// A record bound in column order and selected back with the one select is the same record,
// NULLs included.
TEST(JournalContract, ARecordGoesInAndComesBackWhole) {
  TestApplication<QCoreApplication>();
  QTemporaryDir dir;
  TJournalRow full = StepRow(QStringLiteral("s-1"), 3);
  full.Serial = QStringLiteral("120AFF");
  full.Series = QString(102, QLatin1Char('7'));
  full.Outcome = TJournalOutcome::LinkLost;
  full.Detail = QStringLiteral("нет ответа на байт 4");
  TJournalRow bare = StepRow(QStringLiteral("s-1"), 4);
  bare.Port = bare.Model = QString();
  bare.Parameter.reset();
  bare.Value.reset();
  bare.Operation = QLatin1String(JournalOp::Disconnect);
  const QString name = QStringLiteral("contract");
  {
    QSqlDatabase db;
    QString error;
    ASSERT_TRUE(OpenLocalJournal(db, name, dir.filePath("j.sqlite"), false, error)) << error.toStdString();
    QSqlQuery query(db);
    for (const QString &statement : SqliteSchema())
      ASSERT_TRUE(query.exec(statement));
    for (const TJournalRow &row : {full, bare}) {
      QStringList marks;
      for (qsizetype i = 0; i < JournalColumns().size(); ++i)
        marks << "?";
      ASSERT_TRUE(query.prepare("INSERT INTO journal (" + JournalColumnList() + ") VALUES (" + marks.join(",") + ")"));
      const QVariantList values = JournalRowValues(row);
      for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(static_cast<int>(i), values[i]);
      ASSERT_TRUE(query.exec());
    }
    ASSERT_TRUE(query.exec("SELECT typeof(port), typeof(parameter), typeof(series), typeof(detail), at FROM journal "
                           "WHERE seq = 4"));
    ASSERT_TRUE(query.next());
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(query.value(i).toString(), "null") << i;
    EXPECT_EQ(query.value(4).toString(), "2026-12-07T15:04:05.123Z");
    ASSERT_TRUE(query.exec(JournalSelect() + "ORDER BY seq"));
    std::vector<TJournalRow> back;
    while (query.next())
      back.push_back(JournalRowAt(query));
    ASSERT_EQ(back.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
      const TJournalRow &want = i == 0 ? full : bare;
      const TJournalRow &got = back[i];
      EXPECT_EQ(got.Id, want.Id);
      EXPECT_EQ(got.At, want.At);
      EXPECT_EQ(got.Seq, want.Seq);
      EXPECT_EQ(got.Session, want.Session);
      EXPECT_EQ(got.Bench, want.Bench);
      EXPECT_EQ(got.Operator, want.Operator);
      EXPECT_EQ(got.Port, want.Port);
      EXPECT_EQ(got.Model, want.Model);
      EXPECT_EQ(got.Serial, want.Serial);
      EXPECT_EQ(got.Operation, want.Operation);
      EXPECT_EQ(got.Parameter, want.Parameter);
      EXPECT_EQ(got.Value, want.Value);
      EXPECT_EQ(got.Series, want.Series);
      EXPECT_EQ(got.Outcome, want.Outcome);
      EXPECT_EQ(got.Detail, want.Detail);
    }
  }
  QSqlDatabase::removeDatabase(name);
}

} // namespace
