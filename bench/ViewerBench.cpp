// The journal viewer over a generated journal as benches write it (1 000 000 records by default,
// sessions of one to two hours with a DAC poll a second; SQLite): start to the station list shown,
// one station's history and chart, and the serial filter as you type.
// Each is set against a reference measured here in the same run: the bare SQL read of the same
// rows (start, history) and a bare scan of the serial numbers (filter), so the ratios say what
// the viewer adds to the database's own work.
//
// With --postgres the same journal is also loaded with COPY into a PostgreSQL server of the
// benchmark's own (made with the factory's SQL file, as an administrator sets one up), and the
// same figures are measured there, side by side.
//
//   ViewerBench [--records N] [--postgres] [journal.sqlite]   a journal made by an earlier run is reused when named
#include "bench/BenchStats.h"
#include "bench/QuitOnPaint.h"
#include "tests/journal/PostgresServer.h"
#include "journal/JournalIndexes.h"
#include "journal/JournalRecord.h"
#include "viewer/JournalReader.h"
#include "viewer/JournalWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTimer>
#include <QCheckBox>
#include <QTemporaryDir>
#include <QUuid>

#include <chrono>
#include <functional>
#include <memory>
#include <cstdio>
#include <ctime>
#include <random>

#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

// The process's processor time in ms: the machine these run on is shared, and the wall clock then
// says more about the neighbours than about the viewer.
double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1000 + double(t.tv_nsec) / 1e6;
}

int Records = 1000000; // --records N

QString Serial(int station) { return QStringLiteral("%1").arg(0x00A000 + station * 7, 6, 16, QLatin1Char('0')).toUpper(); }

// Sessions as a bench writes them: connect, serial read, processor date, read all, then one to two
// hours of a DAC poll a second, a REFL/FORW reading every ten seconds, a value set every half
// minute or so and now and then a front-panel command, then write all, read all, disconnect. One
// session in twenty never reads its serial, one in fifteen loses the link at a set value, one in
// thirty is cut off (no disconnect). Two benches write at the same time; a station comes back
// for a second visit now and then.
int Generate(const QString &path) {
  const auto started = Clock::now();
  int sessions = 0;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("generator"));
    db.setDatabaseName(path);
    db.open();
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
    q.exec(QStringLiteral("CREATE TABLE journal (id TEXT PRIMARY KEY, at TEXT NOT NULL, seq INTEGER NOT NULL, "
                          "session TEXT NOT NULL, bench TEXT, operator TEXT, port TEXT, model TEXT, serial TEXT, "
                          "operation TEXT NOT NULL, parameter INTEGER, value INTEGER, series TEXT, outcome TEXT, detail TEXT)"));
    db.transaction();
    q.prepare(QStringLiteral("INSERT INTO journal VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    std::mt19937 random(7);
    const QStringList models{"KS41", "KS43", "KS45", "KS47"};
    QDateTime benchClock[2] = {QDateTime(QDate(2026, 1, 5), QTime(7, 0), Qt::UTC),
                               QDateTime(QDate(2026, 1, 5), QTime(7, 20), Qt::UTC)};
    QString series(102, QLatin1Char('1'));
    int written = 0;
    const QVariant null(QMetaType(QMetaType::QString)), nullInt(QMetaType(QMetaType::Int));
    while (written < Records) {
      const int benchNo = sessions % 2;
      // Every seventh visit is a station coming back.
      const int station = sessions % 7 == 3 && sessions > 10 ? sessions - 10 : sessions;
      const bool readsSerial = sessions % 20 != 7;
      const bool losesLink = sessions % 15 == 4;
      const bool cutOff = sessions % 30 == 11;
      const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
      const QString bench = QStringLiteral("bench-%1").arg(benchNo + 1);
      const QString op = QStringLiteral("operator%1").arg((sessions / 8 + benchNo) % 6);
      const QString model = models[station % 4];
      QDateTime at = benchClock[benchNo];
      const int seconds = 3600 + int(random() % 3600);
      int seq = 0;
      auto put = [&](const char *operation, QVariant parameter, QVariant value, QVariant seriesValue, QVariant detail,
                     const char *outcome = OutcomeName(TJournalOutcome::Ok)) {
        const bool serialKnown = readsSerial && seq >= 1;
        const QVariantList row{QUuid::createUuid().toString(QUuid::WithoutBraces),
                               at.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ")), ++seq, id, bench, op,
                               QStringLiteral("COM2 /dev/ttyUSB0"), model,
                               serialKnown ? QVariant(Serial(station)) : null, QString::fromLatin1(operation),
                               parameter, value, seriesValue, QString::fromLatin1(outcome), detail};
        for (int i = 0; i < row.size(); ++i)
          q.bindValue(i, row[i]);
        if (!q.exec()) {
          std::fprintf(stderr, "insert: %s\n", qPrintable(q.lastError().text()));
          std::exit(1);
        }
        ++written;
      };
      auto newSeries = [&] {
        for (int k = 0; k < 102; k += 3)
          series.replace(k, 3, QStringLiteral("%1").arg(int(random() % 256), 3, 10, QLatin1Char('0')));
        return QVariant(series);
      };
      put(JournalOp::Connect, nullInt, nullInt, null, null);
      at = at.addMSecs(700);
      put(JournalOp::Serial, nullInt, nullInt, null, readsSerial ? QVariant(Serial(station)) : null, OutcomeName(readsSerial ? TJournalOutcome::Ok : TJournalOutcome::LinkLost));
      at = at.addMSecs(400);
      put(JournalOp::ProcessorDate, nullInt, nullInt, null, QStringLiteral("12.03.2025"));
      at = at.addMSecs(900);
      put(JournalOp::ReadAll, nullInt, nullInt, newSeries(), QString::number(station % 4));
      int power = 40;
      bool lost = false;
      for (int second = 0; second < seconds && !lost; ++second) {
        at = at.addMSecs(1000);
        if (second % 600 == 300) {
          power = power > 100 ? 40 : 200; // "Pmax" and "Прием", the biggest jumps
          put(JournalOp::FrontPanel, nullInt, power > 100 ? 1 : 2, null,
              power > 100 ? QStringLiteral("Pmax") : QStringLiteral("Прием"));
        }
        put(JournalOp::Dac, nullInt, nullInt, null,
            QStringLiteral("%1 80 %2 C0 20 10 90 A0")
                .arg(int(random() % 8) + 48, 2, 16, QLatin1Char('0'))
                .arg(power + int(random() % 4), 2, 16, QLatin1Char('0'))
                .toUpper());
        if (second % 10 == 5)
          put(JournalOp::ReflForw, nullInt, nullInt, null,
              QStringLiteral("REFL=%1 FORW=%2").arg(random() % 30).arg(power + random() % 20));
        if (random() % 30 == 0) {
          lost = losesLink && second > seconds / 2;
          put(JournalOp::SetValue, 18 + int(random() % 17), int(random() % 256), null,
              lost ? QVariant(QStringLiteral("нет ответа на байт 3")) : null, OutcomeName(lost ? TJournalOutcome::LinkLost : TJournalOutcome::Ok));
        }
      }
      if (!lost) {
        at = at.addMSecs(1500);
        put(JournalOp::WriteAll, nullInt, nullInt, newSeries(), null);
        at = at.addMSecs(1500);
        put(JournalOp::ReadAll, nullInt, nullInt, QVariant(series), QString::number(station % 4));
      }
      if (!cutOff) {
        at = at.addMSecs(2000);
        put(JournalOp::Disconnect, nullInt, nullInt, null, null);
      }
      // The next station on this bench after a short pause; nights and weekends skipped.
      benchClock[benchNo] = at.addSecs(300 + random() % 600);
      if (benchClock[benchNo].time().hour() >= 17)
        benchClock[benchNo] = QDateTime(benchClock[benchNo].date().addDays(1), QTime(7, benchNo * 20), Qt::UTC);
      ++sessions;
    }
    db.commit();
    // As kstune makes them with the table, and the lost links' index, which the viewer adds to
    // the bench's own file (it makes indexes only there).
    for (const char *index : {journal_indexes::Session, journal_indexes::Visits, journal_indexes::Lost})
      q.exec(QString::fromLatin1(index));
    db.close();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("generator"));
  std::printf("generated %d records, %d sessions of one to two hours in %.1f s\n", Records, sessions,
              Millis(Clock::now() - started) / 1000);
  return sessions;
}

// A bare connection to the journal measured, by name: SQLite's file or the server.
using OpenBare = std::function<QSqlDatabase(const QString &name)>;

double ReferenceVisits(const OpenBare &open) {
  const auto started = Clock::now();
  int rows = 0;
  {
    QSqlDatabase db = open(QStringLiteral("reference"));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // The viewer's own query of the station list, read and thrown away.
    q.exec(QStringLiteral("SELECT session, min(at), max(at), max(serial), coalesce(max(CASE WHEN operation = "
                          "'%1' THEN model END), max(CASE WHEN operation = '%2' THEN model END), "
                          "max(model)), max(bench), max(\"operator\") FROM journal WHERE %3 GROUP BY session")
               .arg(QLatin1String(JournalOp::Disconnect), QLatin1String(JournalOp::Serial),
                    QLatin1String(journal_indexes::VisitsWhere.data(), qsizetype(journal_indexes::VisitsWhere.size()))));
    while (q.next())
      ++rows;
  }
  QSqlDatabase::removeDatabase(QStringLiteral("reference"));
  return Millis(Clock::now() - started);
}

// The journal's rows as CSV for COPY: NULL as nothing, every text quoted. The server's own
// columns as a bench would have left them: the bench's role, received as it was written.
qint64 WriteCopyFile(const QString &sqlitePath, const QString &csvPath) {
  qint64 rows = 0;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("copy"));
    db.setDatabaseName(sqlitePath);
    db.open();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.exec(QStringLiteral("SELECT id, at, seq, session, bench, operator, port, model, serial, operation, parameter, "
                          "value, series, outcome, detail, bench, at FROM journal ORDER BY rowid"));
    QFile out(csvPath);
    out.open(QIODevice::WriteOnly);
    QByteArray line;
    while (q.next()) {
      line.clear();
      for (int i = 0; i < 17; ++i) {
        if (i > 0)
          line += ',';
        const QVariant v = q.value(i);
        if (v.isNull())
          continue;
        if (i == 2 || i == 10 || i == 11)
          line += v.toByteArray();
        else
          line += '"' + v.toString().toUtf8().replace("\"", "\"\"") + '"';
      }
      line += '\n';
      out.write(line);
      ++rows;
    }
  }
  QSqlDatabase::removeDatabase(QStringLiteral("copy"));
  return rows;
}

// The factory's own SQL file, beside this source in the project.
QString FactorySqlFile() {
  QString source = QStringLiteral(__FILE__);
  if (QFileInfo(source).isRelative())
    source = QCoreApplication::applicationDirPath() + QStringLiteral("/../") + source;
  return QFileInfo(QFileInfo(source).absolutePath() + QStringLiteral("/../journal/factory-journal.sql")).absoluteFilePath();
}

// Loads the generated journal into the server as an administrator would have it: the table and
// indexes from the factory's SQL file, the rows by COPY (indexes made after, as a restore does).
bool LoadPostgres(const TPostgresServer &server, const QString &sqlitePath, const QString &scratch) {
  auto step = [&](const char *what, const std::vector<std::string> &args, const std::string &database = "kstune") {
    const auto started = Clock::now();
    const auto done = server.PsqlAs("admin", "", args, database);
    if (!done.Ok)
      std::fprintf(stderr, "%s failed: %s\n", what, done.Err.c_str());
    else
      std::printf("postgres: %s in %.1f s\n", what, Millis(Clock::now() - started) / 1000);
    return done.Ok;
  };
  const std::string sql = FactorySqlFile().toStdString();
  if (!step("the factory's SQL file", {"-f", sql}, "postgres"))
    return false;
  if (!step("indexes dropped for the load",
            {"-c", "DROP INDEX journal_serial, journal_session, journal_visits, journal_at, journal_received"}))
    return false;
  const QString csv = scratch + QStringLiteral("/journal.csv");
  const auto started = Clock::now();
  const qint64 rows = WriteCopyFile(sqlitePath, csv);
  std::printf("postgres: %lld rows written for COPY in %.1f s\n", static_cast<long long>(rows),
              Millis(Clock::now() - started) / 1000);
  if (!step("COPY",
            {"-c", "\\copy public.journal (id, at, seq, session, bench, operator, port, model, serial, operation, "
                   "parameter, value, series, outcome, detail, received_by, received_at) FROM '" +
                       csv.toStdString() + "' WITH (FORMAT csv)"}))
    return false;
  QFile::remove(csv);
  return step("the factory's SQL file again (its indexes)", {"-f", sql}, "postgres") &&
         step("the lost links' index", {"-c", journal_indexes::Lost}) && step("ANALYZE", {"-c", "ANALYZE journal"});
}

// Start to the station list, a station's history and chart, the serial filter: the viewer's
// figures on one journal, each beside the bare query of the same rows.
void MeasureViewer(QApplication &app, const char *label, const viewer::JournalSource &source, const OpenBare &open) {
  std::vector<double> starts, references, startCpu, referenceCpu;
  for (int round = 0; round < 5; ++round) {
    double cpu = CpuMs();
    references.push_back(ReferenceVisits(open));
    referenceCpu.push_back(CpuMs() - cpu);
    cpu = CpuMs();
    const auto started = Clock::now();
    QuitOnPaint quit;
    viewer::JournalWindow window;
    window.OpenJournal(source);
    window.findChild<QTableView *>(QStringLiteral("Stations"))->viewport()->installEventFilter(&quit);
    window.show();
    app.exec();
    starts.push_back(Millis(quit.FirstPaint() - started));
    startCpu.push_back(CpuMs() - cpu);
  }
  std::printf("%s: start to station list shown: median %.0f ms wall, %.0f ms processor (target <= 1000); the bare "
              "query of the list %.0f ms wall, %.0f ms processor; ratio %.2f (wall)\n",
              label, Median(starts), Median(startCpu), Median(references), Median(referenceCpu),
              Median(starts) / Median(references));

  viewer::JournalWindow window;
  window.OpenJournal(source);
  window.show();
  QCoreApplication::processEvents();
  auto *view = window.findChild<QTableView *>(QStringLiteral("Stations"));
  const int rows = view->model()->rowCount();
  int lost = 0;
  for (int row = 0; row < rows; ++row)
    lost += view->model()->index(row, 6).data().toString() == QStringLiteral("связь прервалась");
  std::printf("%s: stations listed: %d, of them marked \"связь прервалась\": %d\n", label, rows, lost);

  std::mt19937 random(11);
  std::vector<double> histories, bareHistories, historyCpu;
  {
    QSqlDatabase db = open(QStringLiteral("bare"));
    for (int i = 0; i < 40; ++i) {
      const int row = int(random() % unsigned(rows));
      auto started = Clock::now();
      const double cpu = CpuMs();
      window.ShowStationRow(row);
      QCoreApplication::processEvents();
      histories.push_back(Millis(Clock::now() - started));
      historyCpu.push_back(CpuMs() - cpu);
      QStringList sessions;
      for (const auto &r : window.History())
        if (!sessions.contains(QStringLiteral("'") + r.Session + QStringLiteral("'")))
          sessions << QStringLiteral("'") + r.Session + QStringLiteral("'");
      started = Clock::now();
      QSqlQuery q(db);
      q.setForwardOnly(true);
      q.exec(QStringLiteral("SELECT * FROM journal WHERE session IN (%1) ORDER BY session, seq").arg(sessions.join(',')));
      int n = 0;
      while (q.next())
        n += q.value(0).toString().size() > 0;
      bareHistories.push_back(Millis(Clock::now() - started));
    }
  }
  QSqlDatabase::removeDatabase(QStringLiteral("bare"));
  std::printf("%s: one station's history and chart, shown and painted: median %.1f ms wall, %.1f ms processor, 90%% "
              "%.1f ms wall (target median <= 200); the bare query of its records %.2f ms; ratio %.1f (wall)\n",
              label, Median(histories), Median(historyCpu), Percentile(histories, 0.9), Median(bareHistories),
              Median(histories) / Median(bareHistories));

  auto *filter = window.findChild<QLineEdit *>(QStringLiteral("SerialFilter"));
  std::vector<double> keys, bareKeys, keyCpu;
  QStringList serials;
  for (int row = 0; row < rows; ++row)
    serials << view->model()->index(row, 0).data().toString();
  for (int i = 0; i < 20; ++i) {
    const QString serial = serials[int(random() % unsigned(serials.size()))];
    filter->clear();
    QCoreApplication::processEvents();
    for (int length = 1; length <= 6; ++length) {
      auto started = Clock::now();
      const double cpu = CpuMs();
      filter->setText(serial.mid(1, length));
      QCoreApplication::processEvents();
      keys.push_back(Millis(Clock::now() - started));
      keyCpu.push_back(CpuMs() - cpu);
      started = Clock::now();
      int matches = 0;
      for (const QString &s : serials)
        matches += s.contains(serial.mid(1, length), Qt::CaseInsensitive);
      bareKeys.push_back(Millis(Clock::now() - started));
    }
  }
  std::printf("%s: serial filter per keystroke, list redrawn: median %.2f ms wall, %.2f ms processor, 90%% %.2f ms "
              "wall (target <= 30); a bare scan of the serials for the part %.2f ms; ratio %.1f (wall)\n",
              label, Median(keys), Median(keyCpu), Percentile(keys, 0.9), Median(bareKeys),
              Median(keys) / Median(bareKeys));
}

// Following a station that a bench is writing to, in the window as a quality engineer has it.
void Follow(QApplication &app, const char *name, const viewer::JournalSource &source,
            const std::function<QSqlDatabase()> &openWriter) {
  viewer::JournalWindow window;
  window.OpenJournal(source);
  window.show();
  QCoreApplication::processEvents();
  const int rows = window.findChild<QTableView *>(QStringLiteral("Stations"))->model()->rowCount();

  // Following a station that a bench is writing to: a DAC poll a second appended to the shown
  // station's last session, the viewer's processor time over the wall time.
  {
    int biggest = 0;
    size_t most = 0;
    for (int i = 0; i < std::min(rows, 30); ++i) {
      window.ShowStationRow(i);
      if (window.History().size() > most) {
        most = window.History().size();
        biggest = i;
      }
    }
    window.ShowStationRow(biggest);
    TJournalRow last = window.History().back();
    QSqlDatabase writer = openWriter();
    auto append = [&](const QString &session, qint64 seq, const QDateTime &at, const char *operation = "dac",
                      const QString &serial = QString()) {
      QSqlQuery q(writer);
      q.prepare(QStringLiteral("INSERT INTO journal (id, at, seq, session, bench, operator, port, model, serial, "
                               "operation, outcome, detail) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 'ok', ?)"));
      const bool dac = qstrcmp(operation, JournalOp::Dac) == 0;
      for (const QVariant &v : QVariantList{QUuid::createUuid().toString(QUuid::WithoutBraces),
                                            at.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ")), seq, session,
                                            last.Bench, last.Operator, last.Port, last.Model,
                                            serial.isEmpty() ? last.Serial : serial, QString::fromLatin1(operation),
                                            dac ? QStringLiteral("31 80 40 C0 20 10 90 A0") : last.Serial})
        q.addBindValue(v);
      q.exec();
    };
    // The station a quality engineer follows longest: about 34 000 records in its history, from
    // earlier visits of one to two hours each (the chart shows the last one).
    constexpr size_t Followed = 34000;
    if (most < Followed) {
      writer.transaction();
      QDateTime at = window.History().front().At;
      for (size_t added = 0; most + added < Followed;) {
        const QString session = QUuid::createUuid().toString(QUuid::WithoutBraces);
        at = at.addSecs(-3 * 3600);
        QDateTime t = at;
        qint64 seq = 0;
        append(session, ++seq, t, JournalOp::Connect);
        append(session, ++seq, t = t.addSecs(1), JournalOp::Serial);
        for (int poll = 0; poll < 7000 && most + added + 3 < Followed; ++poll, ++added)
          append(session, ++seq, t = t.addSecs(1));
        append(session, ++seq, t.addSecs(1), JournalOp::Disconnect);
        added += 3;
      }
      writer.commit();
      // Those visits reached the server when they were made, not now.
      if (writer.driverName() == QLatin1String("QPSQL"))
        QSqlQuery(writer).exec(QStringLiteral("UPDATE journal SET received_at = at WHERE received_at > now() - interval '1 hour'"));
      // Opened afresh with what was added: following starts from the station as it is on screen,
      // not with a catch-up; it may have moved in the list.
      window.OpenJournal(source);
      QCoreApplication::processEvents();
      for (int i = 0; i < std::min(rows, 30); ++i) {
        window.ShowStationRow(i);
        if (!window.History().empty() && window.History().back().Session == last.Session)
          break;
      }
      most = window.History().size();
    }
    window.findChild<QCheckBox *>(QStringLiteral("Follow"))->setChecked(true);
    qint64 seq = last.Seq;
    QDateTime at = last.At;
    double writerMs = 0;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      const double cpu = CpuMs();
      at = at.addSecs(1);
      append(last.Session, ++seq, at);
      writerMs += CpuMs() - cpu;
    });
    poll.start(1000);
    auto measure = [&](const char *what) {
      writerMs = 0;
      const double cpu = CpuMs();
      const auto started = Clock::now();
      QTimer::singleShot(20000, &app, &QCoreApplication::quit);
      app.exec();
      const double wall = Millis(Clock::now() - started);
      const double used = CpuMs() - cpu - writerMs;
      std::printf("%s: follow mode on a %zu-record station, a poll a second appended%s: %.2f %% of a core "
                  "(target <= 1), records shown %zu\n",
                  name, most, what, used / wall * 100, window.History().size());
    };
    measure("");
    // Another bench comes back after an outage and sends what it kept of another station, 20 000
    // records at once.
    writer.transaction();
    const QString other = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QDateTime then = at.addSecs(-20000);
    for (int i = 1; i <= 20000; ++i)
      append(other, i, then = then.addSecs(1), i == 1 ? JournalOp::Connect : JournalOp::Dac, QStringLiteral("0FFFF0"));
    writer.commit();
    measure(", the minute after another bench's 20 000 at once");
    window.findChild<QCheckBox *>(QStringLiteral("Follow"))->setChecked(false);
  }
}

} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  QStringList arguments = QCoreApplication::arguments().mid(1);
  bool postgres = false;
  while (!arguments.isEmpty() && arguments[0].startsWith(QLatin1String("--"))) {
    if (arguments.size() >= 2 && arguments[0] == QLatin1String("--records")) {
      Records = arguments[1].toInt();
      arguments = arguments.mid(2);
    } else if (arguments[0] == QLatin1String("--postgres")) {
      postgres = true;
      arguments = arguments.mid(1);
    } else {
      std::fprintf(stderr, "usage: ViewerBench [--records N] [--postgres] [journal.sqlite]\n");
      return 2;
    }
  }
  QTemporaryDir scratch;
  QString path = !arguments.isEmpty() ? arguments[0] : scratch.filePath(QStringLiteral("journal.sqlite"));
  if (!QFileInfo::exists(path))
    Generate(path);

  // The first open (the indexes were made with the table).
  {
    const auto started = Clock::now();
    viewer::JournalReader store;
    viewer::JournalSource source;
    source.path = path;
    store.Open(source);
    std::printf("first open: %.0f ms\n", Millis(Clock::now() - started));
  }

  viewer::JournalSource file;
  file.path = path;
  const auto openFile = [&](const QString &name) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    db.open();
    return db;
  };
  MeasureViewer(app, "SQLite", file, openFile);

  if (postgres) {
    std::unique_ptr<TPostgresServer> server;
    try {
      server = std::make_unique<TPostgresServer>();
    } catch (const std::exception &e) {
      std::fprintf(stderr, "no PostgreSQL server: %s\n", e.what());
      return 1;
    }
    if (!LoadPostgres(*server, path, scratch.path()))
      return 1;
    viewer::JournalSource factory;
    factory.server = true;
    factory.uri = QString::fromStdString(server->Uri("admin"));
    const auto openServer = [&](const QString &name) {
      QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
      db.setHostName(QString::fromStdString(server->SocketDir()));
      db.setPort(5432);
      db.setUserName(QStringLiteral("admin"));
      db.setDatabaseName(QStringLiteral("kstune"));
      db.open();
      return db;
    };
    MeasureViewer(app, "PostgreSQL", factory, openServer);
    Follow(app, "PostgreSQL", factory, [&] { return openServer(QStringLiteral("writer-pg")); });
  }

  Follow(app, "SQLite", file, [&] { return openFile(QStringLiteral("writer")); });
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak memory: %.0f MB (target <= 200)\n", usage.ru_maxrss / 1024.0);
  return 0;
}
