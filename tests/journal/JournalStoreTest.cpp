// The journal's writing thread and its local file: order, durability of what was committed, and
// a file that cannot be written for a while.
#include "journal/JournalStore.h"
#include "tests/journal/JournalFiles.h"

#include <QSqlRecord>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class JournalStoreTest : public ::testing::Test {
protected:
  void SetUp() override {
    JournalTestApp();
    char pattern[] = "/tmp/kstune-journal-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    file = QString::fromStdString((root / "data" / "kstune" / "journal.sqlite").string());
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root, ec);
  }

  TJournalSettings Settings() {
    TJournalSettings settings;
    settings.LocalFile = file;
    settings.RetryFirst = 50ms;
    settings.RetryMost = 200ms;
    settings.Tell = recorder.Callback();
    return settings;
  }
  std::vector<QString> Told() { return recorder.Told(); }
  bool WaitTold(size_t count) { return recorder.WaitTold(count); }

  fs::path root;
  QString file;
  TToldRecorder recorder;
};

TEST_F(JournalStoreTest, ABurstIsWrittenWholeAndInOrderIntoAWalFile) {
  constexpr int Count = 5000;
  TJournalStore store(Settings());
  for (int seq = 1; seq <= Count; ++seq)
    store.Push(StepRow(QStringLiteral("s"), seq));
  ASSERT_TRUE(store.WaitWritten(60s));
  EXPECT_EQ(store.Stop().Lost, 0);
  EXPECT_EQ(StoredSeqs(file), OneTo(Count));
  EXPECT_EQ(QueryJournal(file, QStringLiteral("PRAGMA journal_mode")).at(0).at(0), QStringLiteral("wal"));
  EXPECT_EQ(QueryJournal(file, QStringLiteral("PRAGMA integrity_check")).at(0).at(0), QStringLiteral("ok"));
  EXPECT_TRUE(Told().empty());
}

// The viewer's station list and histories are read by these; a file made by kstune has them.
TEST_F(JournalStoreTest, TheFileHasTheIndexesItsReadersUse) {
  TJournalStore store(Settings());
  store.Push(StepRow(QStringLiteral("s"), 1));
  ASSERT_TRUE(store.WaitWritten(10s));
  store.Stop();
  auto texts = [&](const char *sql) {
    QStringList got;
    for (const QStringList &row : QueryJournal(file, QString::fromLatin1(sql)))
      got << row.join(QLatin1Char(' '));
    return got;
  };
  EXPECT_EQ(texts("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'journal' "
                  "AND name NOT LIKE 'sqlite_%' ORDER BY name"),
            (QStringList{"journal_at", "journal_serial", "journal_session", "journal_visits"}));
  EXPECT_EQ(texts("SELECT name FROM pragma_index_info('journal_session') ORDER BY seqno"),
            (QStringList{"session", "seq"}));
  EXPECT_EQ(texts("SELECT name FROM pragma_index_info('journal_visits') ORDER BY seqno"),
            (QStringList{"session", "at", "serial", "model", "bench", "operator", "operation"}));
  // Only the visits: connect, serial read, disconnect.
  EXPECT_EQ(texts("SELECT \"unique\", partial FROM pragma_index_list('journal') WHERE name = 'journal_visits'"),
            (QStringList{"0 1"}));
  EXPECT_EQ(texts("SELECT sql LIKE '%WHERE operation IN (''connect'', ''serial'', ''disconnect'')' "
                  "FROM sqlite_master WHERE name = 'journal_visits'"),
            (QStringList{"1"}));
}

TEST_F(JournalStoreTest, EveryColumnIsStoredAsGivenAndAbsentOnesAsNull) {
  TJournalRow row = StepRow(QStringLiteral("8b0c"), 7);
  row.Serial = QStringLiteral("120AFF");
  TJournalRow bare = StepRow(QStringLiteral("8b0c"), 8);
  bare.Port = bare.Model = QString();
  static_cast<TJournalEntry &>(bare) = {};
  bare.Operation = QStringLiteral("read_all");
  bare.Outcome = TJournalOutcome::NoRead;
  bare.Detail = QStringLiteral("получено значений: 20 из 34");
  {
    TJournalStore store(Settings());
    store.Push(row);
    store.Push(bare);
  }
  const auto rows = QueryJournal(file, QStringLiteral("SELECT %1 FROM journal ORDER BY seq").arg(JournalColumnList()));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (QStringList{row.Id, "2026-12-07T15:04:05.123Z", "7", "8b0c", "bench-1", "tech", "COM2 /dev/pts/9",
                                  "KS43", "120AFF", "set_value", "18", "7", QString(), "ok", QString()}));
  EXPECT_EQ(rows[1], (QStringList{bare.Id, "2026-12-07T15:04:05.123Z", "8", "8b0c", "bench-1", "tech", QString(),
                                  QString(), QString(), "read_all", QString(), QString(), QString(), "no_read",
                                  "получено значений: 20 из 34"}));
}

// Ways the file stops taking records, each mended while kstune goes on.
struct Unwritable {
  const char *name;
  void (*breakIt)(const fs::path &folder);
  void (*mend)(const fs::path &folder);
  const char *reason; // what the technician is told
};

const Unwritable Ways[] = {
    {"a file where the folder belongs",
     [](const fs::path &folder) {
       fs::create_directories(folder.parent_path());
       std::ofstream(folder) << "x";
     },
     [](const fs::path &folder) { fs::remove(folder); }, "на месте папки журнала лежит файл"},
    {"a file that is not a database",
     [](const fs::path &folder) {
       fs::create_directories(folder);
       std::ofstream(folder / "journal.sqlite") << std::string(8192, 'z');
     },
     [](const fs::path &folder) { fs::remove(folder / "journal.sqlite"); }, "файл поврежден"},
};

class JournalUnwritableTest : public JournalStoreTest, public ::testing::WithParamInterface<Unwritable> {};

TEST_P(JournalUnwritableTest, TellsOnceHoldsTheRecordsAndWritesThemWhenItCan) {
  const fs::path folder = root / "data" / "kstune";
  GetParam().breakIt(folder);
  TJournalStore store(Settings());
  for (int seq = 1; seq <= 10; ++seq)
    store.Push(StepRow(QStringLiteral("s"), seq));
  ASSERT_TRUE(WaitTold(1));
  // Retries meanwhile tell nothing more.
  for (int seq = 11; seq <= 20; ++seq)
    store.Push(StepRow(QStringLiteral("s"), seq));
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(store.WaitWritten(10ms));
  GetParam().mend(folder);
  ASSERT_TRUE(store.WaitWritten(20s));
  EXPECT_EQ(store.Stop().Lost, 0);
  EXPECT_EQ(StoredSeqs(file), OneTo(20));
  const auto messages = Told();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].contains(file)) << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains(QString::fromUtf8(GetParam().reason))) << messages[0].toStdString();
}

TEST_P(JournalUnwritableTest, SaysAtTheEndHowManyRecordsCouldNotBeKept) {
  GetParam().breakIt(root / "data" / "kstune");
  TJournalStore store(Settings());
  for (int seq = 1; seq <= 7; ++seq)
    store.Push(StepRow(QStringLiteral("s"), seq));
  ASSERT_TRUE(WaitTold(1));
  const TJournalEnding ending = store.Stop();
  EXPECT_EQ(ending.Lost, 7);
  EXPECT_TRUE(ending.Why.contains(QString::fromUtf8(GetParam().reason))) << ending.Why.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Ways, JournalUnwritableTest, ::testing::ValuesIn(Ways),
                         [](const auto &info) {
                           std::string name;
                           for (const char *c = info.param.name; *c; ++c)
                             name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                           return name;
                         });

} // namespace
