#include "tests/viewer/TestJournal.h"

#include "tests/support/TestApplication.h"
#include "tests/table/SeriesRows.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <cstdlib>
#include <ctime>
#include <stdexcept>

QApplication &ViewerTestApp() {
  static const bool utc = [] {
    qputenv("TZ", "UTC");
    tzset();
    return true;
  }();
  (void)utc;
  return TestApplication<QApplication>();
}

namespace {

QVariant Text(const QString &text) { return text.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(text); }
QVariant Number(const std::optional<int> &n) { return n ? QVariant(*n) : QVariant(QMetaType(QMetaType::Int)); }

void Exec(QSqlQuery &query, const QString &sql) {
  if (!query.exec(sql))
    throw std::runtime_error((sql + ": " + query.lastError().text()).toStdString());
}

} // namespace

TestJournal::TestJournal(const QString &extraColumns) : connection_(QUuid::createUuid().toString()) {
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(Path());
    if (!db.open())
      throw std::runtime_error("cannot make the test journal");
    QSqlQuery query(db);
    Exec(query, QStringLiteral("PRAGMA journal_mode=WAL"));
    Exec(query, QStringLiteral("CREATE TABLE journal (id TEXT PRIMARY KEY, at TEXT NOT NULL, seq INTEGER NOT NULL, "
                               "session TEXT NOT NULL, bench TEXT, operator TEXT, port TEXT, model TEXT, serial TEXT, "
                               "operation TEXT NOT NULL, parameter INTEGER, value INTEGER, series TEXT, outcome TEXT, "
                               "detail TEXT%1)")
                    .arg(extraColumns.isEmpty() ? QString() : QStringLiteral(", ") + extraColumns));
  }
  QSqlDatabase::removeDatabase(connection_);
}

TestJournal::~TestJournal() = default;

void TestJournal::Append(const std::vector<Row> &rows) {
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(Path());
    if (!db.open())
      throw std::runtime_error("cannot open the test journal");
    db.transaction();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO journal (id, at, seq, session, bench, operator, port, model, serial, "
                                 "operation, parameter, value, series, outcome, detail) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const Row &r : rows) {
      const QVariantList values{QUuid::createUuid().toString(QUuid::WithoutBraces), r.at, r.seq, r.session,
                                Text(r.bench), Text(r.operatorName), Text(r.port), Text(r.model), Text(r.serial),
                                r.operation, Number(r.parameter), Number(r.value), Text(r.series), Text(r.outcome),
                                Text(r.detail)};
      for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
      if (!query.exec())
        throw std::runtime_error(query.lastError().text().toStdString());
    }
    db.commit();
    db.close();
  }
  QSqlDatabase::removeDatabase(connection_);
}

QString SeriesWith(int base, std::initializer_list<std::pair<int, int>> changes) {
  return QString::fromLatin1(SeriesText(base, changes));
}
