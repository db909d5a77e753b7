// The factory server as the administrator's shipped SQL file makes it, and the server's faults:
// a server frozen mid-session never holds the end of kstune, a row it refuses is set aside while
// the rest goes on, rows it lost are sent again at the next start, and the roles let a bench
// append and nothing more.
#include "journal/FactoryLink.h"
#include "journal/JournalSchema.h"
#include "journal/JournalStore.h"
#include "tests/journal/FactoryFixture.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class JournalFactoryFaultTest : public TFactoryFixture {
protected:
  void SetUp() override {
    TFactoryFixture::SetUp();
    // A fresh database each test, made by the shipped file as an administrator makes it.
    server->Psql("DROP DATABASE IF EXISTS kstune WITH (FORCE)", "postgres");
    const auto made = server->PsqlAs("admin", "", {"-f", FACTORY_JOURNAL_SQL}, "postgres");
    ASSERT_TRUE(made.Ok) << made.Err;
    server->Psql("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'bench07') THEN "
                 "CREATE ROLE bench07 LOGIN PASSWORD 'b7' IN ROLE kstune_benches; END IF; END $$",
                 "postgres");
    Password(fs::perms::owner_read | fs::perms::owner_write);
  }

  void Password(fs::perms mode) {
    const fs::path path = root / "pgpass";
    std::ofstream(path) << "*:*:*:bench07:b7\n";
    fs::permissions(path, mode);
  }

  std::unique_ptr<TJournalStore> Store() {
    TJournalSettings settings;
    settings.LocalFile = file;
    settings.FactoryUri = QString::fromStdString(server->Uri("bench07"));
    settings.RetryFirst = 100ms;
    settings.RetryMost = 400ms;
    settings.Tell = recorder.Callback();
    return std::make_unique<TJournalStore>(std::move(settings));
  }

  std::string Sql(const std::string &sql) { return server->Psql(sql); }
  int ServerCount() { return std::stoi(Sql("SELECT count(*) FROM journal")); }
  std::vector<int> ServerSeqs() {
    std::vector<int> seqs;
    std::istringstream lines(Sql("SELECT seq FROM journal ORDER BY seq"));
    for (std::string line; std::getline(lines, line);)
      seqs.push_back(std::stoi(line));
    return seqs;
  }
  bool WaitServerCount(int count) {
    for (int i = 0; i < 600; ++i) {
      if (ServerCount() >= count)
        return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }
  void Push(TJournalStore &store, int from, int to) {
    for (int seq = from; seq <= to; ++seq)
      store.Push(StepRow(QStringLiteral("s"), seq));
  }

};

TEST_F(JournalFactoryFaultTest, AServerFrozenMidSessionHoldsTheEndAboutASecondAndLosesNothing) {
  auto store = Store();
  Push(*store, 1, 20);
  ASSERT_TRUE(WaitServerCount(20));
  server->Freeze();
  Push(*store, 21, 40);
  ASSERT_TRUE(store->WaitWritten(10s));
  std::this_thread::sleep_for(300ms); // the copy is now waiting for the frozen server's answer
  const auto start = std::chrono::steady_clock::now();
  const TJournalEnding ending = store->Stop();
  const auto took = std::chrono::steady_clock::now() - start;
  server->Thaw();
  EXPECT_LT(took, 2s); // ExitWait is 1 s; generous for a loaded machine
  EXPECT_EQ(ending.Lost, 0);
  EXPECT_EQ(ending.Unsent, 20);
  EXPECT_EQ(StoredSeqs(file), OneTo(40));
  // Nothing told of the cut: it was kstune's own end.
  for (const QString &told : recorder.Told())
    EXPECT_FALSE(told.contains(QStringLiteral("прервана"))) << told.toStdString();
  // The next run sends what waited.
  store = Store();
  ASSERT_TRUE(WaitServerCount(40));
  store->Stop();
  EXPECT_EQ(ServerSeqs(), OneTo(40));
}

TEST_F(JournalFactoryFaultTest, ARowTheServerRefusesIsSetAsideNamedAndCountedAndTheRestGoesOn) {
  Sql("ALTER TABLE journal ADD CONSTRAINT no_poison CHECK (detail IS DISTINCT FROM 'poison')");
  auto store = Store();
  QString poisonId;
  for (int seq = 1; seq <= 10; ++seq) {
    TJournalRow row = StepRow(QStringLiteral("s"), seq);
    if (seq == 4) {
      row.Detail = QStringLiteral("poison");
      poisonId = row.Id;
    }
    store->Push(row);
  }
  ASSERT_TRUE(WaitServerCount(9));
  ASSERT_TRUE(recorder.WaitTold(1));
  Push(*store, 11, 16);
  ASSERT_TRUE(WaitServerCount(15));
  const TJournalEnding ending = store->Stop();
  EXPECT_EQ(ending.Refused, 1);
  EXPECT_EQ(ending.Unsent, 0);
  EXPECT_EQ(ServerSeqs(), (std::vector<int>{1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
  const auto told = recorder.Told();
  ASSERT_EQ(told.size(), 1u) << recorder.AllTold();
  EXPECT_TRUE(told[0].contains(poisonId)) << told[0].toStdString();
  EXPECT_TRUE(told[0].contains(QStringLiteral("23514"))) << told[0].toStdString();
  EXPECT_TRUE(told[0].contains(file)) << told[0].toStdString();
  const auto kept = QueryJournal(file, QStringLiteral("SELECT id, sqlstate FROM journal_refused"));
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0], (QStringList{poisonId, QStringLiteral("23514")}));
  EXPECT_EQ(StoredSeqs(file), OneTo(16));
  // A later start neither sends it again nor tells it again.
  store = Store();
  Push(*store, 17, 17);
  ASSERT_TRUE(WaitServerCount(16));
  store->Stop();
  EXPECT_EQ(recorder.Told().size(), 1u);
}

TEST_F(JournalFactoryFaultTest, RowsTheServerLostAreSentAgainAtTheNextStart) {
  auto store = Store();
  Push(*store, 1, 30);
  ASSERT_TRUE(WaitServerCount(30));
  store->Stop();
  // A restore from an older backup: the server no longer has some rows the bench once sent.
  Sql("DELETE FROM journal WHERE seq BETWEEN 5 AND 8");
  store = Store();
  ASSERT_TRUE(WaitServerCount(30));
  ASSERT_TRUE(recorder.WaitTold(1));
  store->Stop();
  EXPECT_EQ(ServerSeqs(), OneTo(30));
  const auto told = recorder.Told();
  ASSERT_EQ(told.size(), 1u) << recorder.AllTold();
  EXPECT_TRUE(told[0].contains(QStringLiteral("переданных раньше: 4"))) << told[0].toStdString();
}

TEST_F(JournalFactoryFaultTest, AFileOfAnOlderKstuneIsCopiedInARunThatWritesNothing) {
  // The journal's table alone, as the first kstune made it: none of the copy's bookkeeping.
  fs::create_directories(root / "kstune");
  const QString name = QStringLiteral("older");
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(file);
    ASSERT_TRUE(db.open());
    QSqlQuery query(db);
    ASSERT_TRUE(query.exec(QStringLiteral(
        "CREATE TABLE journal (id text PRIMARY KEY, at text NOT NULL, seq integer NOT NULL, session text NOT NULL, "
        "bench text NOT NULL, operator text NOT NULL, port text, model text, serial text, operation text NOT NULL, "
        "parameter integer, value integer, series text, outcome text NOT NULL, detail text)")));
    for (int seq = 1; seq <= 12; ++seq)
      ASSERT_TRUE(query.exec(QStringLiteral("INSERT INTO journal VALUES ('%1', '2026-12-07T15:04:05.123Z', %2, 's', "
                                            "'b', 'o', NULL, NULL, NULL, 'connect', NULL, NULL, NULL, 'ok', NULL)")
                                 .arg(QUuid::createUuid().toString(QUuid::WithoutBraces))
                                 .arg(seq)));
    db.close();
  }
  QSqlDatabase::removeDatabase(name);
  auto store = Store();
  ASSERT_TRUE(WaitServerCount(12));
  EXPECT_EQ(store->Stop().Unsent, 0);
  EXPECT_EQ(ServerSeqs(), OneTo(12));
  EXPECT_TRUE(recorder.Told().empty());
}

TEST_F(JournalFactoryFaultTest, APasswordFileOthersMayReadIsNamedAsTheReason) {
  Password(fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  auto store = Store();
  Push(*store, 1, 3);
  ASSERT_TRUE(recorder.WaitTold(1));
  store->Stop();
  const auto told = recorder.Told();
  ASSERT_EQ(told.size(), 1u) << told.front().toStdString() << " / " << told.back().toStdString();
  EXPECT_TRUE(told[0].contains(QStringLiteral("доступен не только владельцу"))) << told[0].toStdString();
  EXPECT_TRUE(told[0].contains(QStringLiteral("chmod 600 ") + QString::fromStdString((root / "pgpass").string())))
      << told[0].toStdString();
  EXPECT_EQ(StoredSeqs(file), OneTo(3));
}

// What each role may do on the table the shipped file made: rows of (role, statement, outcome).
struct RoleAttempt {
  const char *role;
  const char *password;
  const char *sql;
  const char *sqlState; // nullptr: allowed
};

const char *const Row = "'a1', now(), 1, 's', 'b', 'o', NULL, NULL, NULL, 'connect', NULL, NULL, NULL, 'ok', NULL";
const char *const Columns =
    "id, at, seq, session, bench, operator, port, model, serial, operation, parameter, value, series, outcome, detail";

TEST_F(JournalFactoryFaultTest, TheShippedFileLetsABenchAppendAndQualityReadAndNothingMore) {
  server->Psql("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'ivanova') THEN "
               "CREATE ROLE ivanova LOGIN PASSWORD 'q' IN ROLE kstune_quality; END IF; END $$",
               "postgres");
  const std::string insert = std::string("INSERT INTO journal (") + Columns + ") VALUES (" + Row + ")";
  const std::string insertAs = std::string("INSERT INTO journal (") + Columns + ", received_by) VALUES (" + Row +
                               ", 'bench01')";
  const std::string backdated = std::string("INSERT INTO journal (") + Columns + ", received_at) VALUES (" + Row +
                                ", '2001-01-01')";
  const RoleAttempt attempts[] = {
      {"bench07", "b7", insert.c_str(), nullptr},
      {"bench07", "b7", "SELECT id FROM journal", nullptr},
      {"bench07", "b7", insertAs.c_str(), "42501"},
      {"bench07", "b7", backdated.c_str(), "42501"},
      {"bench07", "b7", "UPDATE journal SET value = 0", "42501"},
      {"bench07", "b7", "DELETE FROM journal", "42501"},
      {"bench07", "b7", "TRUNCATE journal", "42501"},
      {"bench07", "b7", "SELECT detail FROM journal", "42501"},
      {"bench07", "b7", "DROP TABLE journal", "42501"},
      {"bench07", "b7", "CREATE TABLE journal2 (a integer)", "42501"},
      {"ivanova", "q", "SELECT id, at, received_by, received_at FROM journal", nullptr},
      {"ivanova", "q", "INSERT INTO journal (id, at, seq, session, bench, operator, operation, outcome) "
                       "VALUES ('q1', now(), 1, 's', 'b', 'o', 'connect', 'ok')",
       "42501"},
      {"ivanova", "q", "DELETE FROM journal", "42501"},
      {"ivanova", "q", "UPDATE journal SET value = 0", "42501"},
  };
  for (const RoleAttempt &attempt : attempts) {
    const auto result = server->PsqlAs(attempt.role, attempt.password, {"-c", attempt.sql});
    if (!attempt.sqlState) {
      EXPECT_TRUE(result.Ok) << attempt.role << ": " << attempt.sql << "\n" << result.Err;
    } else {
      EXPECT_FALSE(result.Ok) << attempt.role << ": " << attempt.sql;
      EXPECT_NE(result.Err.find(attempt.sqlState), std::string::npos) << attempt.sql << "\n" << result.Err;
    }
  }
  // A back-dated row is taken with the bench's time, but the server says who sent it and when.
  const std::string before = Sql("SELECT now()");
  ASSERT_TRUE(server
                  ->PsqlAs("bench07", "b7",
                           {"-c", std::string("INSERT INTO journal (") + Columns +
                                      ") VALUES ('old', '2001-01-01', 1, 's', 'bench01', 'o', NULL, NULL, NULL, "
                                      "'connect', NULL, NULL, NULL, 'ok', NULL)"})
                  .Ok);
  EXPECT_EQ(Sql("SELECT received_by, received_at >= '" + before.substr(0, before.size() - 1) +
                "', at < '2002-01-01' FROM journal WHERE id = 'old'"),
            "bench07|t|t\n");
  // The file's table is the journal's: its columns in their order, the server's two after them,
  // every index kstune makes, owned by the administrator role.
  std::string columns;
  for (const QString &column : JournalColumns())
    columns += column.toStdString() + "\n";
  EXPECT_EQ(Sql("SELECT column_name FROM information_schema.columns WHERE table_name = 'journal' "
                "ORDER BY ordinal_position"),
            columns + "received_by\nreceived_at\n");
  for (const QString &statement : PostgresSchema())
    if (statement.startsWith(QStringLiteral("CREATE INDEX"))) {
      const std::string name = statement.section(QLatin1Char(' '), 5, 5).toStdString();
      EXPECT_EQ(Sql("SELECT count(*) FROM pg_indexes WHERE indexname = '" + name + "'"), "1\n") << name;
    }
  EXPECT_EQ(Sql("SELECT tableowner FROM pg_tables WHERE tablename = 'journal'"), "kstune_admin\n");
  // Run again (an upgrade), it keeps every row.
  ASSERT_TRUE(server->PsqlAs("admin", "", {"-f", FACTORY_JOURNAL_SQL}, "postgres").Ok);
  EXPECT_EQ(ServerCount(), 2);
  // kstune with a bench role copies into it and creates nothing; the server names the sender.
  auto store = Store();
  Push(*store, 1, 5);
  ASSERT_TRUE(WaitServerCount(7));
  store->Stop();
  EXPECT_EQ(Sql("SELECT DISTINCT received_by FROM journal"), "bench07\n");
  EXPECT_TRUE(recorder.Told().empty());
}

TEST_F(JournalFactoryFaultTest, ABenchRoleThatFindsNoTableIsToldSoAndMakesNothing) {
  Sql("DROP TABLE journal");
  auto store = Store();
  Push(*store, 1, 2);
  ASSERT_TRUE(recorder.WaitTold(1));
  store->Stop();
  EXPECT_TRUE(recorder.Told()[0].contains(QStringLiteral("factory-journal.sql"))) << recorder.Told()[0].toStdString();
  EXPECT_EQ(Sql("SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"), "0\n");
}

// The code of a connection-time failure, whatever language the server speaks.
TEST(FactorySqlState, IsReadFromAVerboseMessageInAnyLanguage) {
  const struct {
    const char *message;
    const char *code;
  } rows[] = {
      {"connection to server on socket \"/x/.s.PGSQL.5432\" failed: FATAL:  28P01: password authentication failed",
       "28P01"},
      {"подключиться к серверу через сокет \"/x\" не удалось: ВАЖНО:  3D000: база данных \"k\" не существует",
       "3D000"},
      {"connection to server at \"db\" (10.0.0.1), port 5432 failed: Connection refused", ""},
      {"FATAL:  57P03: the database system is starting up", "57P03"},
  };
  for (const auto &row : rows)
    EXPECT_EQ(SqlStateInMessage(QString::fromUtf8(row.message)), QString::fromUtf8(row.code)) << row.message;
}

} // namespace
