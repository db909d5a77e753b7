#include "journal/JournalSchema.h"

#include "journal/FactoryLink.h"

#include "journal/JournalIndexes.h"
#include "journal/JournalTime.h"
#include "platform/WindowsDirectory.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

QString JournalFilePath() {
  return QString::fromStdString(UserFolder(TUserFolder::Data)) + QStringLiteral("/kstune/journal.sqlite");
}

namespace {

QVariant Nullable(const QString &text) {
  return text.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

QVariant Nullable(const std::optional<int> &number) {
  return number ? QVariant(*number) : QVariant(QMetaType::fromType<int>());
}

QString Text(const QVariant &value) { return value.isNull() ? QString() : value.toString(); }

std::optional<int> OptionalInt(const QVariant &value) {
  if (value.isNull())
    return std::nullopt;
  bool ok = false;
  const int number = value.toInt(&ok);
  return ok ? std::optional<int>(number) : std::nullopt;
}

// The one table of the columns: name, how a record gives its value, how it takes it back.
struct TColumn {
  const char *Name;
  QVariant (*Get)(const TJournalRow &);
  void (*Set)(TJournalRow &, const QVariant &);
};

const TColumn Columns[] = {
    {"id", [](const TJournalRow &r) { return QVariant(r.Id); }, [](TJournalRow &r, const QVariant &v) { r.Id = Text(v); }},
    {"at", [](const TJournalRow &r) { return QVariant(JournalTimeText(r.At)); },
     [](TJournalRow &r, const QVariant &v) { r.At = JournalTimeOf(v); }},
    {"seq", [](const TJournalRow &r) { return QVariant(r.Seq); }, [](TJournalRow &r, const QVariant &v) { r.Seq = v.toLongLong(); }},
    {"session", [](const TJournalRow &r) { return QVariant(r.Session); },
     [](TJournalRow &r, const QVariant &v) { r.Session = Text(v); }},
    {"bench", [](const TJournalRow &r) { return QVariant(r.Bench); }, [](TJournalRow &r, const QVariant &v) { r.Bench = Text(v); }},
    {"operator", [](const TJournalRow &r) { return QVariant(r.Operator); },
     [](TJournalRow &r, const QVariant &v) { r.Operator = Text(v); }},
    {"port", [](const TJournalRow &r) { return Nullable(r.Port); }, [](TJournalRow &r, const QVariant &v) { r.Port = Text(v); }},
    {"model", [](const TJournalRow &r) { return Nullable(r.Model); }, [](TJournalRow &r, const QVariant &v) { r.Model = Text(v); }},
    {"serial", [](const TJournalRow &r) { return Nullable(r.Serial); },
     [](TJournalRow &r, const QVariant &v) { r.Serial = Text(v); }},
    {"operation", [](const TJournalRow &r) { return QVariant(r.Operation); },
     [](TJournalRow &r, const QVariant &v) { r.Operation = Text(v); }},
    {"parameter", [](const TJournalRow &r) { return Nullable(r.Parameter); },
     [](TJournalRow &r, const QVariant &v) { r.Parameter = OptionalInt(v); }},
    {"value", [](const TJournalRow &r) { return Nullable(r.Value); },
     [](TJournalRow &r, const QVariant &v) { r.Value = OptionalInt(v); }},
    {"series", [](const TJournalRow &r) { return Nullable(r.Series); },
     [](TJournalRow &r, const QVariant &v) { r.Series = Text(v); }},
    {"outcome", [](const TJournalRow &r) { return QVariant(QString::fromLatin1(OutcomeName(r.Outcome))); },
     [](TJournalRow &r, const QVariant &v) { r.Outcome = OutcomeOf(Text(v)); }},
    {"detail", [](const TJournalRow &r) { return Nullable(r.Detail); },
     [](TJournalRow &r, const QVariant &v) { r.Detail = Text(v); }},
};

} // namespace

const QStringList &JournalColumns() {
  static const QStringList columns = [] {
    QStringList names;
    for (const TColumn &c : Columns)
      names << QLatin1String(c.Name);
    return names;
  }();
  return columns;
}

QString JournalColumnList() { return JournalColumns().join(QStringLiteral(", ")); }

QString JournalSelect() {
  QStringList quoted;
  for (const QString &name : JournalColumns())
    quoted << QLatin1Char('"') + name + QLatin1Char('"');
  return QStringLiteral("SELECT ") + quoted.join(QStringLiteral(", ")) + QStringLiteral(" FROM journal ");
}

QVariantList JournalRowValues(const TJournalRow &row) {
  QVariantList values;
  for (const TColumn &c : Columns)
    values << c.Get(row);
  return values;
}

TJournalRow JournalRowAt(const QSqlQuery &query, int first) {
  TJournalRow row;
  int i = first;
  for (const TColumn &c : Columns)
    c.Set(row, query.value(i++));
  return row;
}

bool OpenLocalJournal(QSqlDatabase &db, const QString &connectionName, const QString &path, bool readOnly,
                      QString &error) {
  db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
  db.setDatabaseName(path);
  // A busy writer (kstune appending, or copying to the factory) must not fail the other side.
  QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");
  if (readOnly)
    options += QStringLiteral(";QSQLITE_OPEN_READONLY");
  db.setConnectOptions(options);
  if (db.open())
    return true;
  error = db.lastError().text();
  return false;
}

bool OpenFactoryJournal(QSqlDatabase &db, const QString &connectionName, const TFactoryUri &server, QString &error,
                        bool &driverMissing, const char *applicationName, std::chrono::milliseconds statementTime) {
  db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
  driverMissing = !db.isValid();
  if (driverMissing) {
    error = QStringLiteral("нет драйвера PostgreSQL для Qt (пакет libqt6sql6-psql)");
    return false;
  }
  // Every keyword goes as an option: Qt's driver passes them to libpq as they are, quoted here,
  // except that it turns ';' into a blank, so a value holding one cannot be passed whole.
  QStringList options;
  for (const auto &[key, value] : TFactoryLink::ConnectKeywords(server, applicationName, statementTime)) {
    if (value.contains(';')) {
      error = QStringLiteral("значение %1 в адресе сервера содержит «;», а так его передать нельзя")
                  .arg(QString::fromUtf8(key));
      return false;
    }
    options << LibpqKeyword(QString::fromUtf8(key), QString::fromUtf8(value));
  }
  db.setConnectOptions(options.join(QLatin1Char(';')));
  if (db.open())
    return true;
  error = db.lastError().text();
  return false;
}

namespace {

// Both databases: the same columns, the same checks; only the types of id and at differ in name.
QStringList Schema(const char *timeType, const char *serverColumns = "") {
  return {
      QStringLiteral("CREATE TABLE IF NOT EXISTS journal ("
                     "id text PRIMARY KEY, at %1 NOT NULL, seq integer NOT NULL, session text NOT NULL, "
                     "bench text NOT NULL, operator text NOT NULL, port text, model text, serial text, "
                     "operation text NOT NULL, "
                     "parameter integer CHECK (parameter BETWEEN 1 AND 34), "
                     "value integer CHECK (value BETWEEN 0 AND 255), series text, "
                     "outcome text NOT NULL CHECK (outcome IN ('ok', 'link_lost', 'no_read')), "
                     "detail text%2)")
          .arg(QLatin1String(timeType), QLatin1String(serverColumns)),
      QStringLiteral("CREATE INDEX IF NOT EXISTS journal_serial ON journal (serial, at)"),
      QLatin1String(journal_indexes::Session),
      QLatin1String(journal_indexes::Visits),
      QLatin1String(journal_indexes::Lost),
      QStringLiteral("CREATE INDEX IF NOT EXISTS journal_at ON journal (at)"),
  };
}

} // namespace

QStringList SqliteCopySchema() {
  return {
      // Which records have reached each factory server: the local file is the outbox.
      QStringLiteral("CREATE TABLE IF NOT EXISTS journal_sent (server text PRIMARY KEY, last_rowid integer NOT NULL)"),
      // Records a factory server refused for what they hold, with its reason: kept, never sent again.
      QStringLiteral("CREATE TABLE IF NOT EXISTS journal_refused ("
                     "server text NOT NULL, id text NOT NULL, sqlstate text, reason text, PRIMARY KEY (server, id))"),
  };
}

QStringList SqliteSchema() { return Schema("text") + SqliteCopySchema(); }

QStringList PostgresSchema() {
  // Who sent the row and when the server had it: filled by the server alone, never by a bench.
  return Schema("timestamptz", ", received_by text NOT NULL DEFAULT current_user, "
                               "received_at timestamptz NOT NULL DEFAULT now()");
}
