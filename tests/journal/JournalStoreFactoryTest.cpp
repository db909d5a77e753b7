// The copy of the journal to a factory PostgreSQL server of the test's own: records arrive once
// and in order, survive the server going away for a while, need no more than an append-only role,
// and a refusal is told while the local file keeps everything.
#include "journal/JournalStore.h"
#include "tests/journal/FactoryFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class JournalStoreFactoryTest : public TFactoryFixture {
protected:
  static void SetUpTestSuite() {
    TFactoryFixture::SetUpTestSuite();
    server->Psql("CREATE ROLE bench LOGIN PASSWORD 'right'", "postgres");
    server->Psql("REVOKE CREATE ON SCHEMA public FROM PUBLIC", "kstune");
  }

  void SetUp() override {
    TFactoryFixture::SetUp();
    // Each test its own database, so that counts are its own.
    database = "t" + std::to_string(++databases);
    server->Psql("CREATE DATABASE " + database, "postgres");
  }

  void Password(const std::string &password) {
    const fs::path path = root / "pgpass";
    std::ofstream(path) << "*:*:*:bench:" << password << "\n";
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
  }

  std::unique_ptr<TJournalStore> Store(const std::string &user) {
    TJournalSettings settings;
    settings.LocalFile = file;
    settings.FactoryUri = QString::fromStdString("postgresql://" + user + "@/" + database + "?host=" + server->SocketDir());
    settings.RetryFirst = 100ms;
    settings.RetryMost = 400ms;
    settings.Tell = recorder.Callback();
    return std::make_unique<TJournalStore>(std::move(settings));
  }

  // The factory database as the administrator makes it, with the shipped file; the test's bench
  // role made a member of the benches' role, as the administrator's guide says.
  void MakeFactoryDatabase() {
    server->Psql("DROP DATABASE IF EXISTS kstune WITH (FORCE)", "postgres");
    const auto made = server->PsqlAs("admin", "", {"-f", FACTORY_JOURNAL_SQL}, "postgres");
    ASSERT_TRUE(made.Ok) << made.Err;
    server->Psql("GRANT kstune_benches TO bench", "postgres");
    database = "kstune";
  }

  std::string Sql(const std::string &sql) { return server->Psql(sql, database); }
  int ServerCount() { return std::stoi(Sql("SELECT count(*) FROM journal")); }
  // The server's rows in the order they were stored.
  std::vector<int> ServerSeqs() {
    std::vector<int> seqs;
    std::istringstream lines(Sql("SELECT seq FROM journal ORDER BY ctid"));
    for (std::string line; std::getline(lines, line);)
      seqs.push_back(std::stoi(line));
    return seqs;
  }
  bool WaitServerCount(int count) {
    for (int i = 0; i < 600; ++i) {
      try {
        if (ServerCount() >= count)
          return true;
      } catch (const std::exception &) {
        // no table yet
      }
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }
  std::vector<QString> Told() { return recorder.Told(); }
  bool WaitTold(size_t count) { return recorder.WaitTold(count); }
  void Push(TJournalStore &store, int from, int to) {
    for (int seq = from; seq <= to; ++seq)
      store.Push(StepRow(QStringLiteral("s"), seq));
  }

  static inline int databases = 0;
  std::string database;
};

TEST_F(JournalStoreFactoryTest, RecordsArriveInOrderAndTheTableIsMadeWhereTheRoleMay) {
  auto store = Store("admin");
  Push(*store, 1, 40);
  ASSERT_TRUE(WaitServerCount(40));
  store->Stop();
  EXPECT_EQ(ServerSeqs(), OneTo(40));
  EXPECT_EQ(Sql("SELECT operation, parameter, value, outcome, model, port FROM journal WHERE seq = 3"),
            "set_value|18|3|ok|KS43|COM2 /dev/pts/9\n");
  // The indexes the viewer reads by come with the table.
  EXPECT_EQ(Sql("SELECT indexname FROM pg_indexes WHERE tablename = 'journal' ORDER BY indexname"),
            "journal_at\njournal_lost\njournal_pkey\njournal_serial\njournal_session\njournal_visits\n");
  // Each of the viewer's lookups goes through its own: with the table scan priced out (the test's
  // table is too small for the server to bother otherwise), the plan reads by that index.
  const std::pair<const char *, const char *> lookups[] = {
      {"journal_visits",
       "SELECT session, min(at), max(at), max(serial), max(model), max(bench), max(\"operator\") FROM journal "
       "WHERE operation IN ('connect', 'serial', 'disconnect') GROUP BY session"},
      {"journal_session", "SELECT * FROM journal WHERE session IN ('s', 't') ORDER BY session, seq"},
      {"journal_serial", "SELECT * FROM journal WHERE serial = '120AFF' ORDER BY at"},
      {"journal_at", "SELECT * FROM journal WHERE at > '2026-01-01T00:00:00Z' ORDER BY at"},
  };
  for (const auto &[index, lookup] : lookups) {
    const std::string plan = Sql(std::string("SET enable_seqscan = off; EXPLAIN ") + lookup);
    EXPECT_NE(plan.find(index), std::string::npos) << lookup << "\n" << plan;
    EXPECT_EQ(plan.find("Seq Scan"), std::string::npos) << lookup << "\n" << plan;
  }
  EXPECT_TRUE(Told().empty());
}

TEST_F(JournalStoreFactoryTest, AServerStoppedAndStartedAgainGetsEveryRecordOnceInOrder) {
  MakeFactoryDatabase();
  Password("right");
  auto store = Store("bench");
  Push(*store, 1, 20);
  ASSERT_TRUE(WaitServerCount(20));
  ASSERT_TRUE(server->Stop());
  Push(*store, 21, 50);
  ASSERT_TRUE(WaitTold(1));
  ASSERT_TRUE(store->WaitWritten(10s)); // meanwhile in the local file
  ASSERT_TRUE(server->Start());
  ASSERT_TRUE(WaitServerCount(50));
  Push(*store, 51, 60);
  ASSERT_TRUE(WaitServerCount(60));
  store->Stop();
  EXPECT_EQ(ServerSeqs(), OneTo(60));
  EXPECT_EQ(Sql("SELECT count(DISTINCT id) FROM journal"), "60\n");
  // The outage once, and its end once.
  const auto messages = Told();
  ASSERT_EQ(messages.size(), 2u) << recorder.AllTold();
  EXPECT_TRUE(messages[0].contains(QStringLiteral("базу данных завода"))) << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains(file)) << messages[0].toStdString();
  EXPECT_TRUE(messages[1].startsWith(QStringLiteral("Журнал станций снова передается в базу данных завода")))
      << messages[1].toStdString();
}

TEST_F(JournalStoreFactoryTest, AnAppendOnlyRoleIsEnoughAndRecordsLeftByAnEarlierRunFollow) {
  MakeFactoryDatabase();
  Password("right");
  {
    // An earlier run without the factory database: its records wait in the file.
    TJournalSettings local;
    local.LocalFile = file;
    TJournalStore store(std::move(local));
    Push(store, 1, 15);
  }
  auto store = Store("bench");
  Push(*store, 16, 30);
  ASSERT_TRUE(WaitServerCount(30));
  store->Stop();
  EXPECT_EQ(ServerSeqs(), OneTo(30));
  EXPECT_TRUE(Told().empty()) << Told().front().toStdString();
  // The role could not have changed what it sent.
  EXPECT_THROW(Sql("SET ROLE bench; UPDATE journal SET value = 0"), std::runtime_error);
}

TEST_F(JournalStoreFactoryTest, AWrongPasswordIsToldAndTheLocalFileKeepsEverything) {
  MakeFactoryDatabase();
  Password("wrong");
  auto store = Store("bench");
  Push(*store, 1, 10);
  ASSERT_TRUE(WaitTold(1));
  ASSERT_TRUE(store->WaitWritten(10s));
  Push(*store, 11, 12);
  ASSERT_TRUE(store->WaitWritten(10s));
  std::this_thread::sleep_for(500ms); // retries meanwhile tell nothing more
  const TJournalEnding ending = store->Stop();
  EXPECT_EQ(ending.Lost, 0);
  EXPECT_EQ(ending.Unsent, 12);
  EXPECT_EQ(StoredSeqs(file), OneTo(12));
  EXPECT_EQ(ServerCount(), 0);
  const auto messages = Told();
  ASSERT_EQ(messages.size(), 1u) << recorder.AllTold();
  EXPECT_TRUE(messages[0].contains(QStringLiteral("неверный пароль"))) << messages[0].toStdString();
}

} // namespace
