#include "journal/JournalSchema.h"

#include "journal/JournalIndexes.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>

QString JournalFilePath() {
  QString base = qEnvironmentVariable("XDG_DATA_HOME");
  if (base.isEmpty())
    base = QDir::homePath() + QStringLiteral("/.local/share");
  return base + QStringLiteral("/kstune/journal.sqlite");
}

const QStringList &JournalColumns() {
  static const QStringList columns = {
      QStringLiteral("id"),       QStringLiteral("at"),        QStringLiteral("seq"),
      QStringLiteral("session"),  QStringLiteral("bench"),     QStringLiteral("operator"),
      QStringLiteral("port"),     QStringLiteral("model"),     QStringLiteral("serial"),
      QStringLiteral("operation"), QStringLiteral("parameter"), QStringLiteral("value"),
      QStringLiteral("series"),   QStringLiteral("outcome"),   QStringLiteral("detail"),
  };
  return columns;
}

QString JournalColumnList() { return JournalColumns().join(QStringLiteral(", ")); }

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
      QStringLiteral("CREATE INDEX IF NOT EXISTS journal_at ON journal (at)"),
  };
}

} // namespace

QStringList SqliteSchema() {
  QStringList statements = Schema("text");
  // Which records have reached each factory server: the local file is the outbox.
  statements << QStringLiteral("CREATE TABLE IF NOT EXISTS journal_sent ("
                               "server text PRIMARY KEY, last_rowid integer NOT NULL)");
  // Records a factory server refused for what they hold, with its reason: kept, never sent again.
  statements << QStringLiteral("CREATE TABLE IF NOT EXISTS journal_refused ("
                               "server text NOT NULL, id text NOT NULL, sqlstate text, reason text, "
                               "PRIMARY KEY (server, id))");
  return statements;
}

QStringList PostgresSchema() {
  // Who sent the row and when the server had it: filled by the server alone, never by a bench.
  return Schema("timestamptz", ", received_by text NOT NULL DEFAULT current_user, "
                               "received_at timestamptz NOT NULL DEFAULT now()");
}
