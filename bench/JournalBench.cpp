// The station journal's own speed: a burst of records into the local SQLite file, and through it
// into PostgreSQL over a Unix socket (a server of the benchmark's own, with fsync on); the time
// from a record's append to its row being on the server while the server is up; and the time the
// copy takes to catch up with records held while the server was down; and how long the end of
// kstune (stopping the journal) takes with a server frozen mid-session and with a backlog of
// 200 000 records not yet on the server.
//
//   JournalBench [records]
#include "bench/BenchStats.h"
#include "journal/JournalSchema.h"
#include "journal/JournalStore.h"
#include "tests/journal/JournalFiles.h"
#include "tests/journal/PostgresServer.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string Folder() {
  char pattern[] = "/tmp/kstune-journal-bench-XXXXXX";
  if (!mkdtemp(pattern)) {
    std::perror("mkdtemp");
    std::exit(1);
  }
  return pattern;
}

TJournalSettings Settings(const std::string &folder, const std::string &uri = {}) {
  TJournalSettings settings;
  settings.LocalFile = QString::fromStdString(folder + "/journal.sqlite");
  settings.FactoryUri = QString::fromStdString(uri);
  settings.RetryFirst = 200ms;
  settings.RetryMost = 200ms;
  settings.Tell = [](const QString &message) { std::fprintf(stderr, "told: %s\n", qPrintable(message)); };
  return settings;
}

// The server's row count, through a connection of the benchmark's own.
long long ServerCount(QSqlDatabase &db) {
  QSqlQuery query(db);
  return query.exec(QStringLiteral("SELECT count(*) FROM journal")) && query.next() ? query.value(0).toLongLong() : -1;
}

double WaitServerCount(QSqlDatabase &db, long long count, Clock::time_point since) {
  while (ServerCount(db) < count)
    std::this_thread::sleep_for(2ms);
  return Millis(Clock::now() - since);
}

} // namespace

int main(int argc, char **argv) {
  const int count = argc >= 2 ? std::max(1000, std::atoi(argv[1])) : 100000;
  TestApplication<QCoreApplication>();

  // The local file alone.
  {
    const std::string folder = Folder();
    TJournalStore store(Settings(folder));
    const auto start = Clock::now();
    for (int seq = 1; seq <= count; ++seq)
      store.Push(StepRow(QStringLiteral("bench"), seq));
    const double pushMs = Millis(Clock::now() - start);
    store.WaitWritten(600s);
    const double ms = Millis(Clock::now() - start);
    std::printf("SQLite (WAL, synchronous=NORMAL): %d records in %.0f ms: %.0f records/s; the append itself "
                "%.2f us a record\n",
                count, ms, count / ms * 1000, pushMs * 1000 / count);
    store.Stop();
    std::filesystem::remove_all(folder);
  }

  TPostgresServer server(true);
  const std::string uri = server.Uri("admin");
  QSqlDatabase probe = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("probe"));
  probe.setHostName(QString::fromStdString(server.SocketDir()));
  probe.setDatabaseName(QStringLiteral("kstune"));
  probe.setUserName(QStringLiteral("admin"));
  if (!probe.open()) {
    std::fprintf(stderr, "probe connection failed\n");
    return 1;
  }

  // Into PostgreSQL through the local file.
  {
    const std::string folder = Folder();
    TJournalStore store(Settings(folder, uri));
    const auto start = Clock::now();
    for (int seq = 1; seq <= count; ++seq)
      store.Push(StepRow(QStringLiteral("burst"), seq));
    for (QSqlQuery q(probe); !(q.exec(QStringLiteral("SELECT to_regclass('journal') IS NOT NULL")) && q.next() &&
                               q.value(0).toBool());)
      std::this_thread::sleep_for(5ms);
    const double ms = WaitServerCount(probe, count, start);
    std::printf("PostgreSQL over a Unix socket (fsync on), through the local file: %d records in %.0f ms: "
                "%.0f records/s\n",
                count, ms, count / ms * 1000);

    // Append to row on the server, one record at a time with the server up.
    std::vector<double> latency;
    QSqlQuery find(probe);
    find.prepare(QStringLiteral("SELECT 1 FROM journal WHERE id = ?"));
    for (int i = 0; i < 300; ++i) {
      TJournalRow row = StepRow(QStringLiteral("latency"), i + 1);
      const QString id = row.Id;
      const auto at = Clock::now();
      store.Push(std::move(row));
      for (;;) {
        find.bindValue(0, id);
        if (find.exec() && find.next())
          break;
      }
      latency.push_back(Millis(Clock::now() - at));
      std::this_thread::sleep_for(5ms);
    }
    std::printf("Append to row on the server: median %.2f ms, p99 %.2f ms (%zu records, one at a time)\n",
                Median(latency), Percentile(latency, 0.99), latency.size());
    store.Stop();
    std::filesystem::remove_all(folder);
  }

  // Catch-up: the records are held in the local file while the server is down.
  {
    QSqlQuery(probe).exec(QStringLiteral("TRUNCATE journal"));
    probe.close();
    const std::string folder = Folder();
    server.Stop();
    TJournalStore store(Settings(folder, uri));
    for (int seq = 1; seq <= count; ++seq)
      store.Push(StepRow(QStringLiteral("held"), seq));
    store.WaitWritten(600s);
    const auto start = Clock::now();
    server.Start();
    const double startMs = Millis(Clock::now() - start);
    probe.open();
    const double ms = WaitServerCount(probe, count, start);
    std::printf("Catch-up after the server came back: %d held records on the server %.0f ms after its start "
                "(of which the start %.0f ms; retries every 200 ms here, up to 15 s by default): %.0f records/s\n",
                count, ms, startMs, count / (ms - startMs) * 1000);
    store.Stop();
    std::filesystem::remove_all(folder);
  }
  // The end with a server frozen mid-session (SIGSTOP: it takes connections and never answers).
  {
    const std::string folder = Folder();
    TJournalStore store(Settings(folder, uri));
    for (int seq = 1; seq <= 100; ++seq)
      store.Push(StepRow(QStringLiteral("frozen"), seq));
    WaitServerCount(probe, count + 100, Clock::now());
    server.Freeze();
    for (int seq = 101; seq <= 200; ++seq)
      store.Push(StepRow(QStringLiteral("frozen"), seq));
    store.WaitWritten(60s);
    std::this_thread::sleep_for(300ms);
    const auto start = Clock::now();
    const TJournalEnding ending = store.Stop();
    const double ms = Millis(Clock::now() - start);
    server.Thaw();
    std::printf("The end with the server frozen mid-session: %.0f ms (%lld records left for the next start)\n", ms,
                ending.Unsent);
    std::filesystem::remove_all(folder);
  }

  // The end with a backlog: 200 000 records held while the server was down, the copy catching up.
  {
    constexpr int Backlog = 200000;
    const std::string folder = Folder();
    {
      TJournalStore held(Settings(folder, "postgresql://nobody@/kstune?host=/nonexistent"));
      for (int seq = 1; seq <= Backlog; ++seq)
        held.Push(StepRow(QStringLiteral("backlog"), seq));
      held.WaitWritten(600s);
    }
    for (const bool serverUp : {false, true}) {
      TJournalStore store(Settings(folder, serverUp ? uri : "postgresql://nobody@/kstune?host=/nonexistent"));
      std::this_thread::sleep_for(500ms); // under way
      const auto start = Clock::now();
      const TJournalEnding ending = store.Stop();
      const double ms = Millis(Clock::now() - start);
      std::printf("The end with %d records not on the server, %s: %.0f ms (%lld left for the next start)\n",
                  Backlog, serverUp ? "the copy catching up" : "the server unreachable", ms, ending.Unsent);
    }
    std::filesystem::remove_all(folder);
  }
  probe.close();
  probe = QSqlDatabase();
  QSqlDatabase::removeDatabase(QStringLiteral("probe"));
  return 0;
}
