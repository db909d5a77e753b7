// The journal's writing thread and its local file: order, durability of what was committed, and
// a file that cannot be written for a while.
#include "journal/JournalStore.h"
#include "tests/journal/JournalFiles.h"

#include <QRegularExpression>
#include <QSqlRecord>

#include <gtest/gtest.h>

#include <sys/mount.h>

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
    TestApplication<QCoreApplication>();
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

// The viewer's station list and histories come from a file kstune made without a pass over the
// whole journal: each of its lookups finds its rows through an index and sorts nothing aside, and
// the station list reads the index alone. (A bench's journal grows by thousands of rows a day.)
TEST_F(JournalStoreTest, TheFileHasTheIndexesItsReadersUse) {
  TJournalStore store(Settings());
  store.Push(StepRow(QStringLiteral("s"), 1));
  ASSERT_TRUE(store.WaitWritten(10s));
  store.Stop();
  struct Lookup {
    const char *What, *Sql;
    bool IndexAlone; // answered from the index without reading the table's rows
  };
  const Lookup lookups[] = {
      {"the station list",
       "SELECT session, min(at), max(at), max(serial), max(model), max(bench), max(\"operator\") FROM journal "
       "WHERE operation IN ('connect', 'serial', 'disconnect') GROUP BY session",
       true},
      {"the records of chosen sessions", "SELECT * FROM journal WHERE session IN ('s', 't') ORDER BY session, seq",
       false},
      {"one station's history", "SELECT * FROM journal WHERE serial = '120AFF' ORDER BY at", false},
      {"what came since", "SELECT * FROM journal WHERE at > '2026-01-01T00:00:00' ORDER BY at", false},
  };
  for (const Lookup &lookup : lookups) {
    QStringList plan;
    for (const QStringList &row : QueryJournal(file, QStringLiteral("EXPLAIN QUERY PLAN ") + lookup.Sql))
      plan << row.last();
    const QString said = plan.join(QStringLiteral(" | "));
    // A search goes straight to its rows; the station list may read its whole (visits-only) index.
    EXPECT_TRUE(said.contains(QLatin1String(lookup.IndexAlone ? "USING COVERING INDEX" : "SEARCH journal USING INDEX")))
        << lookup.What << ": " << said.toStdString();
    EXPECT_FALSE(said.contains(QLatin1String("TEMP B-TREE"))) << lookup.What << ": " << said.toStdString();
    EXPECT_FALSE(said.contains(QRegularExpression(QStringLiteral("SCAN journal($| \\|)"))))
        << lookup.What << ": " << said.toStdString();
  }
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
    // (A file that is not a database is no longer a way: it is moved aside, below.)
    {"a folder where the file belongs",
     [](const fs::path &folder) { fs::create_directories(folder / "journal.sqlite"); },
     [](const fs::path &folder) { fs::remove(folder / "journal.sqlite"); }, "файл не открывается на запись"},
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
  // The failure once, and its end once.
  const auto messages = Told();
  ASSERT_EQ(messages.size(), 2u) << recorder.AllTold();
  EXPECT_TRUE(messages[0].contains(file)) << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains(QString::fromUtf8(GetParam().reason))) << messages[0].toStdString();
  EXPECT_EQ(messages[1], QStringLiteral("Журнал станций снова записывается в файл ") + file +
                             QStringLiteral("; записи, хранившиеся в памяти, записаны."));
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

// A disk of its own that fills up: a tmpfs, which only a test run as root can mount.
TEST_F(JournalStoreTest, AFullDiskIsSaidInRussianWhenTheFileIsMadeAndWhileItIsWritten) {
  const fs::path disk = root / "disk";
  fs::create_directories(disk);
  if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0)
    GTEST_SKIP() << "a tmpfs of the test's own needs root";
  struct Unmount {
    fs::path path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{disk};
  auto fill = [&] {
    std::ofstream filler(disk / "filler", std::ios::binary | std::ios::app);
    const std::string block(4096, 'f');
    while (filler.write(block.data(), block.size()) && filler.flush()) {
    }
  };
  file = QString::fromStdString((disk / "kstune" / "journal.sqlite").string());
  fs::create_directories(disk / "kstune");
  fill();
  TJournalStore store(Settings());
  for (int seq = 1; seq <= 5; ++seq)
    store.Push(StepRow(QStringLiteral("s"), seq));
  ASSERT_TRUE(WaitTold(1));
  EXPECT_EQ(Told()[0], QStringLiteral("Журнал станций не записывается в файл ") + file +
                           QStringLiteral(": нет места на диске.\nНастройку можно продолжать: записи журнала хранятся в "
                                          "памяти и будут записаны, как только запись снова станет возможна."));
  fs::remove(disk / "filler");
  ASSERT_TRUE(store.WaitWritten(20s));
  // At work: the file made, the disk full again under a burst of records.
  fill();
  for (int seq = 6; seq <= 3000; ++seq)
    store.Push(StepRow(QStringLiteral("s"), seq));
  EXPECT_FALSE(store.WaitWritten(2s));
  const TJournalEnding ending = store.Stop();
  EXPECT_GT(ending.Lost, 0);
  EXPECT_EQ(ending.Why, QStringLiteral("нет места на диске"));
}

// Files in the journal's place that are no journal kstune can write: each is moved aside whole,
// and the session goes into a fresh journal.
struct Unfit {
  const char *name;
  void (*make)(const QString &path);
  const char *suffix; // of the name it is kept under
  const char *said;   // what the technician is told of it
};

void SqliteFile(const QString &path, const QStringList &statements) {
  const QString name = QStringLiteral("unfit-") + QUuid::createUuid().toString();
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    ASSERT_TRUE(db.open());
    QSqlQuery query(db);
    for (const QString &statement : statements)
      ASSERT_TRUE(query.exec(statement)) << statement.toStdString();
    db.close();
  }
  QSqlDatabase::removeDatabase(name);
}

const Unfit UnfitFiles[] = {
    {"bytes that are no database",
     [](const QString &path) { std::ofstream(path.toStdString()) << std::string(8192, 'z'); }, ".damaged-",
     "поврежден"},
    {"a database of another program",
     [](const QString &path) {
       SqliteFile(path, {QStringLiteral("CREATE TABLE accounts (name text, balance integer)"),
                         QStringLiteral("INSERT INTO accounts VALUES ('a', 1)")});
     },
     ".foreign-", "не является журналом kstune"},
    {"a table journal of other columns",
     [](const QString &path) { SqliteFile(path, {QStringLiteral("CREATE TABLE journal (id text, at text)")}); },
     ".foreign-", "не является журналом kstune"},
    {"a journal of a newer kstune",
     [](const QString &path) {
       QStringList statements = SqliteSchema();
       statements << QStringLiteral("PRAGMA user_version=2");
       SqliteFile(path, statements);
     },
     ".newer-", "записан более новой версией kstune"},
};

class JournalUnfitFileTest : public JournalStoreTest, public ::testing::WithParamInterface<Unfit> {};

TEST_P(JournalUnfitFileTest, IsKeptAsideWholeAndTheSessionGoesIntoAFreshJournal) {
  const fs::path folder = root / "data" / "kstune";
  fs::create_directories(folder);
  GetParam().make(file);
  std::ifstream in(file.toStdString(), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  {
    TJournalStore store(Settings());
    for (int seq = 1; seq <= 10; ++seq)
      store.Push(StepRow(QStringLiteral("s"), seq));
    ASSERT_TRUE(store.WaitWritten(20s));
    EXPECT_EQ(store.Stop().Lost, 0);
  }
  EXPECT_EQ(StoredSeqs(file), OneTo(10));
  std::vector<fs::path> aside;
  for (const auto &entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().starts_with("journal.sqlite" + std::string(GetParam().suffix)))
      aside.push_back(entry.path());
  ASSERT_EQ(aside.size(), 1u);
  std::ifstream kept(aside[0], std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>()), bytes);
  const auto messages = Told();
  ASSERT_EQ(messages.size(), 1u) << recorder.AllTold();
  EXPECT_TRUE(messages[0].contains(QString::fromStdString(aside[0].string()))) << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains(QString::fromUtf8(GetParam().said))) << messages[0].toStdString();
  // A second run takes the fresh journal as its own.
  {
    TJournalStore store(Settings());
    store.Push(StepRow(QStringLiteral("s"), 11));
    ASSERT_TRUE(store.WaitWritten(20s));
  }
  EXPECT_EQ(StoredSeqs(file), OneTo(11));
  EXPECT_EQ(Told().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Files, JournalUnfitFileTest, ::testing::ValuesIn(UnfitFiles),
                         [](const auto &info) {
                           std::string name;
                           for (const char *c = info.param.name; *c; ++c)
                             name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                           return name;
                         });

} // namespace

// The copy to the factory starts at once, while the writer may be making the file: it must wait
// for a file the writer has made, never find it half made and hold it so that the writer is refused.
TEST_F(JournalStoreTest, ACopyStartingWhileTheFileIsMadeNeverMakesTheWriterFail) {
  for (int run = 0; run < 100; ++run) {
    const fs::path folder = root / ("run" + std::to_string(run));
    file = QString::fromStdString((folder / "journal.sqlite").string());
    TJournalSettings settings = Settings();
    settings.FactoryUri = QString::fromStdString("postgresql://bench@/kstune?host=" + (root / "no-server").string());
    TJournalStore store(std::move(settings));
    store.Push(StepRow(QStringLiteral("s"), 1));
    ASSERT_TRUE(store.WaitWritten(30s));
    store.Stop();
    for (const QString &told : Told())
      ASSERT_FALSE(told.contains(QStringLiteral("не записывается"))) << "run " << run << ": " << told.toStdString();
  }
}
