// The journal viewer over a generated journal of 1 000 000 records for 20 000 stations (SQLite):
// start to the station list shown, one station's history, and the serial filter as you type.
// Each is set against a reference measured here in the same run: the bare SQL read of the same
// rows (start, history) and a bare scan of the serial numbers (filter), so the ratios say what
// the viewer adds to the database's own work.
//
//   ViewerBench [journal.sqlite]   a journal made by an earlier run is reused when named
#include "bench/BenchStats.h"
#include "bench/QuitOnPaint.h"
#include "journal/JournalIndexes.h"
#include "journal/JournalRecord.h"
#include "viewer/JournalReader.h"
#include "viewer/JournalWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QUuid>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>

namespace {

using Clock = std::chrono::steady_clock;

// The process's processor time in ms: the machine these run on is shared, and the wall clock then
// says more about the neighbours than about the viewer.
double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1000 + double(t.tv_nsec) / 1e6;
}

constexpr int Stations = 20000;
constexpr int Records = 1000000;
constexpr int RecordsPerSession = 20;

QString Serial(int station) { return QStringLiteral("%1").arg(0x00A000 + station * 7, 6, 16, QLatin1Char('0')).toUpper(); }

// Sessions of 20 records: connect, serial read, processor date, read all, eleven steps and
// telemetry polls, two REFL/FORW readings, write all, read all, disconnect. Every twentieth
// session never reads its serial. Stations get 2 or 3 sessions on different days.
void Generate(const QString &path) {
  const auto started = Clock::now();
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
    const QDateTime base(QDate(2026, 1, 5), QTime(8, 0), Qt::UTC);
    QString series(102, QLatin1Char('1'));
    int written = 0, session = 0;
    const QVariant null(QMetaType(QMetaType::QString)), nullInt(QMetaType(QMetaType::Int));
    while (written < Records) {
      const int station = session % Stations;
      const int visit = session / Stations;
      const bool readsSerial = session % 20 != 7;
      const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
      const QString bench = QStringLiteral("bench-%1").arg((station + visit) % 12);
      const QString op = QStringLiteral("operator%1").arg((station * 3 + visit) % 25);
      const QString model = models[station % 4];
      QDateTime at = base.addDays(visit * 90 + station % 80).addSecs((station % 40) * 600);
      for (int seq = 1; seq <= RecordsPerSession && written < Records; ++seq, ++written) {
        namespace ops = JournalOp;
        static const char *const plan[RecordsPerSession] = {
            ops::Connect,  ops::Serial, ops::ProcessorDate, ops::ReadAll,  ops::Dac,      ops::SetValue, ops::Dac,
            ops::SetValue, ops::SetValue, ops::Dac,         ops::SetValue, ops::Dac,      ops::SetValue, ops::SetValue,
            ops::Dac,      ops::ReflForw, ops::ReflForw,    ops::WriteAll, ops::ReadAll,  ops::Disconnect};
        const QString operation = QString::fromLatin1(plan[seq - 1]);
        at = at.addMSecs(800 + random() % 4000);
        const bool serialKnown = readsSerial && seq >= 2;
        QVariant parameter = nullInt, value = nullInt, seriesValue = null, detail = null;
        if (ops::Is(operation, ops::SetValue)) {
          parameter = 18 + int(random() % 17);
          value = int(random() % 256);
        } else if (ops::Is(operation, ops::WriteAll) || ops::Is(operation, ops::ReadAll)) {
          for (int k = 0; k < 102; k += 3)
            series.replace(k, 3, QStringLiteral("%1").arg(int(random() % 256), 3, 10, QLatin1Char('0')));
          seriesValue = series;
        } else if (ops::Is(operation, ops::Dac)) {
          detail = QStringLiteral("%1 80 40 C0 20 10 90 A0").arg(int(random() % 256), 2, 16, QLatin1Char('0'));
        } else if (ops::Is(operation, ops::ReflForw)) {
          detail = QStringLiteral("REFL=%1 FORW=%2").arg(random() % 30).arg(100 + random() % 150);
        } else if (ops::Is(operation, ops::Serial) && readsSerial) {
          detail = Serial(station);
        }
        const QVariantList row{QUuid::createUuid().toString(QUuid::WithoutBraces),
                               at.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ")), seq, id, bench, op,
                               QStringLiteral("COM2 /dev/ttyUSB0"), model, serialKnown ? QVariant(Serial(station)) : null,
                               operation, parameter, value, seriesValue, QString::fromLatin1(OutcomeName(TJournalOutcome::Ok)), detail};
        for (int i = 0; i < row.size(); ++i)
          q.bindValue(i, row[i]);
        if (!q.exec()) {
          std::fprintf(stderr, "insert: %s\n", qPrintable(q.lastError().text()));
          std::exit(1);
        }
      }
      ++session;
    }
    db.commit();
    db.close();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("generator"));
  std::printf("generated %d records, %d stations in %.1f s\n", Records, Stations,
              Millis(Clock::now() - started) / 1000);
}

double ReferenceVisits(const QString &path) {
  const auto started = Clock::now();
  int rows = 0;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reference"));
    db.setDatabaseName(path);
    db.open();
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

} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QTemporaryDir scratch;
  QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : scratch.filePath(QStringLiteral("journal.sqlite"));
  if (!QFileInfo::exists(path))
    Generate(path);

  // The first open makes the viewer's indexes on a file it may write.
  {
    const auto started = Clock::now();
    viewer::JournalReader store;
    viewer::JournalSource source;
    source.path = path;
    store.Open(source);
    std::printf("first open (indexes made where missing): %.0f ms\n", Millis(Clock::now() - started));
  }

  std::vector<double> starts, references, startCpu, referenceCpu;
  for (int round = 0; round < 5; ++round) {
    double cpu = CpuMs();
    references.push_back(ReferenceVisits(path));
    referenceCpu.push_back(CpuMs() - cpu);
    cpu = CpuMs();
    const auto started = Clock::now();
    QuitOnPaint quit;
    viewer::JournalWindow window;
    viewer::JournalSource source;
    source.path = path;
    window.OpenJournal(source);
    window.findChild<QTableView *>(QStringLiteral("Stations"))->viewport()->installEventFilter(&quit);
    window.show();
    app.exec();
    starts.push_back(Millis(quit.FirstPaint() - started));
    startCpu.push_back(CpuMs() - cpu);
  }
  std::printf("start to station list shown: median %.0f ms wall, %.0f ms processor (target <= 1000); the bare "
              "query of the list %.0f ms wall, %.0f ms processor; ratio %.2f (processor)\n",
              Median(starts), Median(startCpu), Median(references), Median(referenceCpu),
              Median(startCpu) / Median(referenceCpu));

  viewer::JournalWindow window;
  viewer::JournalSource source;
  source.path = path;
  window.OpenJournal(source);
  window.show();
  QCoreApplication::processEvents();
  auto *view = window.findChild<QTableView *>(QStringLiteral("Stations"));
  const int rows = view->model()->rowCount();
  std::printf("stations listed: %d\n", rows);

  std::mt19937 random(11);
  std::vector<double> histories, bareHistories, historyCpu;
  QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bare"));
  db.setDatabaseName(path);
  db.open();
  for (int i = 0; i < 200; ++i) {
    const int row = int(random() % unsigned(rows));
    auto started = Clock::now();
    const double cpu = CpuMs();
    window.ShowStationRow(row);
    QCoreApplication::processEvents();
    histories.push_back(Millis(Clock::now() - started));
    historyCpu.push_back(CpuMs() - cpu);
    QStringList sessions;
    for (const auto &r : window.History())
      if (!sessions.contains(r.Session))
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
  std::printf("one station's history, shown and painted: median %.1f ms wall, %.1f ms processor, 90%% %.1f ms wall "
              "(target median <= 50); the bare query of its records %.2f ms; ratio %.1f (wall)\n",
              Median(histories), Median(historyCpu), Percentile(histories, 0.9), Median(bareHistories),
              Median(histories) / Median(bareHistories));

  auto *filter = window.findChild<QLineEdit *>(QStringLiteral("SerialFilter"));
  std::vector<double> keys, bareKeys, keyCpu;
  QStringList serials;
  for (int row = 0; row < rows; ++row)
    serials << view->model()->index(row, 0).data().toString();
  for (int i = 0; i < 40; ++i) {
    const QString serial = serials[int(random() % unsigned(Stations))];
    filter->clear();
    QCoreApplication::processEvents();
    for (int length = 1; length <= 6; ++length) {
      auto started = Clock::now();
      const double cpu = CpuMs();
      filter->setText(serial.left(length));
      QCoreApplication::processEvents();
      keys.push_back(Millis(Clock::now() - started));
      keyCpu.push_back(CpuMs() - cpu);
      started = Clock::now();
      int matches = 0;
      for (const QString &s : serials)
        matches += s.startsWith(serial.left(length), Qt::CaseInsensitive);
      bareKeys.push_back(Millis(Clock::now() - started));
    }
  }
  std::printf("serial filter per keystroke, list redrawn: median %.2f ms wall, %.2f ms processor, 90%% %.2f ms wall "
              "(target <= 30); a bare prefix scan of the serials %.2f ms; ratio %.1f (wall)\n",
              Median(keys), Median(keyCpu), Percentile(keys, 0.9), Median(bareKeys), Median(keys) / Median(bareKeys));
  return 0;
}
