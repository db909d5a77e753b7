#include "journal/FactoryCopy.h"

#include "journal/JournalFailure.h"
#include "journal/JournalSchema.h"
#include "journal/LocalJournal.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QVariant>

namespace {

constexpr int BatchSize = 500;

} // namespace

QString ReasonOfServerError(const QString &text) {
  struct Known {
    const char *needle;
    const char *why;
  };
  static const Known known[] = {
      {"password authentication failed", "неверный пароль (он берется из ~/.pgpass)"},
      {"no password supplied", "пароль не найден в ~/.pgpass"},
      {"does not exist", "нет такой базы данных или пользователя"},
      {"permission denied", "у пользователя нет прав на таблицу journal"},
      {"Connection refused", "сервер не отвечает"},
      {"No such file or directory", "сервер не отвечает"},
      {"could not translate host name", "сервер не найден"},
      {"timeout expired", "сервер не отвечает"},
      {"server closed the connection", "связь с сервером прервалась"},
      {"terminating connection", "связь с сервером прервалась"},
      {"no connection to the server", "связь с сервером прервалась"},
  };
  for (const auto &k : known)
    if (text.contains(QLatin1String(k.needle), Qt::CaseInsensitive))
      return QString::fromUtf8(k.why) + QStringLiteral(" (") + text.trimmed() + QLatin1Char(')');
  return text.trimmed();
}

TFactoryCopy::TFactoryCopy(QString localPath, TFactoryUri server, QString connectionPrefix)
    : localPath_(std::move(localPath)), server_(std::move(server)),
      localName_(connectionPrefix + QStringLiteral("-local")), serverName_(connectionPrefix + QStringLiteral("-server")) {}

TFactoryCopy::~TFactoryCopy() {
  CloseServer();
  CloseLocal();
}

void TFactoryCopy::CloseLocal() {
  if (QSqlDatabase::contains(localName_)) {
    QSqlDatabase::database(localName_, false).close();
    QSqlDatabase::removeDatabase(localName_);
  }
  localOpen_ = false;
}

void TFactoryCopy::CloseServer() {
  if (QSqlDatabase::contains(serverName_)) {
    QSqlDatabase::database(serverName_, false).close();
    QSqlDatabase::removeDatabase(serverName_);
  }
  serverOpen_ = false;
}

bool TFactoryCopy::OpenLocal(QString &why) {
  QSqlDatabase db;
  if (!OpenLocalJournal(db, localName_, localPath_, false, why)) {
    db = QSqlDatabase();
    CloseLocal();
    return false;
  }
  localOpen_ = true;
  return true;
}

bool TFactoryCopy::OpenServer(QString &why) {
  {
    QSqlDatabase db;
    QString failure;
    bool driverMissing = false;
    bool ok = OpenFactoryJournal(db, serverName_, server_, failure, driverMissing);
    if (driverMissing) {
      why = failure;
      db = QSqlDatabase();
      CloseServer();
      return false;
    }
    if (ok) {
      // The table is made where the role may; an append-only role finds it made by the administrator.
      QSqlQuery query(db);
      ok = query.exec(QStringLiteral("SELECT to_regclass('journal') IS NOT NULL")) && query.next();
      if (ok && !query.value(0).toBool())
        for (const QString &statement : PostgresSchema())
          if (!(ok = query.exec(statement))) {
            failure = QStringLiteral("в базе нет таблицы journal, а создать ее пользователю не разрешено (") +
                      query.lastError().text().trimmed() + QLatin1Char(')');
            break;
          }
      if (!ok && failure == db.lastError().text())
        failure = query.lastError().text();
    }
    if (!ok) {
      why = failure.startsWith(QStringLiteral("в базе")) ? failure : ReasonOfServerError(failure);
      db = QSqlDatabase();
      CloseServer();
      return false;
    }
  }
  serverOpen_ = true;
  return true;
}

long long TFactoryCopy::Marker(bool &ok) {
  QSqlQuery query(QSqlDatabase::database(localName_, false));
  query.prepare(QStringLiteral("SELECT last_rowid FROM journal_sent WHERE server = ?"));
  query.addBindValue(server_.Display);
  ok = query.exec();
  return ok && query.next() ? query.value(0).toLongLong() : 0;
}

TFactoryCopy::TResult TFactoryCopy::CopyPending(QString &why) {
  // Nothing written on this bench yet: nothing to copy, and no file to make here.
  if (!QFileInfo::exists(localPath_))
    return Copied;
  if (!localOpen_ && !OpenLocal(why))
    return LocalFailed;
  QSqlDatabase local = QSqlDatabase::database(localName_, false);
  for (;;) {
    bool ok = false;
    const long long marker = Marker(ok);
    QSqlQuery batch(local);
    ok = ok && batch.prepare(QStringLiteral("SELECT rowid, %1 FROM journal WHERE rowid > ? ORDER BY rowid LIMIT %2")
                                 .arg(JournalColumnList())
                                 .arg(BatchSize));
    batch.addBindValue(marker);
    if (!ok || !batch.exec()) {
      why = ReasonOfSqlError(batch.lastError());
      batch = QSqlQuery();
      local = QSqlDatabase();
      CloseLocal();
      return LocalFailed;
    }
    std::vector<std::vector<QVariant>> rows;
    long long last = marker;
    const int columns = static_cast<int>(JournalColumns().size());
    while (batch.next()) {
      last = batch.value(0).toLongLong();
      std::vector<QVariant> row;
      row.reserve(columns);
      for (int i = 1; i <= columns; ++i)
        row.push_back(batch.value(i));
      rows.push_back(std::move(row));
    }
    batch = QSqlQuery();
    if (rows.empty())
      return Copied;
    if (!serverOpen_ && !OpenServer(why))
      return ServerFailed;
    {
      QSqlDatabase server = QSqlDatabase::database(serverName_, false);
      // One statement a batch: a round trip per record would hold the copy to the server's latency.
      QStringList tuples;
      tuples.reserve(static_cast<qsizetype>(rows.size()));
      for (const auto &row : rows) {
        QStringList values;
        for (int i = 0; i < columns; ++i) {
          QSqlField field(JournalColumns()[i], row[i].metaType());
          field.setValue(row[i]);
          values << server.driver()->formatValue(field);
        }
        tuples << QLatin1Char('(') + values.join(QStringLiteral(", ")) + QLatin1Char(')');
      }
      QSqlQuery insert(server);
      bool sent = insert.exec(QStringLiteral("INSERT INTO journal (%1) VALUES %2 ON CONFLICT (id) DO NOTHING")
                                  .arg(JournalColumnList(), tuples.join(QStringLiteral(", "))));
      if (!sent) {
        QString failure = insert.lastError().text();
        if (failure.trimmed().isEmpty())
          failure = server.lastError().text();
        why = ReasonOfServerError(failure);
        insert = QSqlQuery();
        server = QSqlDatabase();
        // A connection that failed once is not trusted again: the next try connects afresh.
        CloseServer();
        return ServerFailed;
      }
    }
    // The server has them now; should this note fail, the next copy sends them again and the
    // server keeps its first copy of each.
    QSqlQuery mark(local);
    mark.prepare(QStringLiteral("INSERT INTO journal_sent (server, last_rowid) VALUES (?, ?) "
                                "ON CONFLICT (server) DO UPDATE SET last_rowid = excluded.last_rowid"));
    mark.addBindValue(server_.Display);
    mark.addBindValue(last);
    if (!mark.exec()) {
      why = ReasonOfSqlError(mark.lastError());
      mark = QSqlQuery();
      local = QSqlDatabase();
      CloseLocal();
      return LocalFailed;
    }
  }
}

long long TFactoryCopy::Unsent() {
  QString why;
  if (!QFileInfo::exists(localPath_))
    return 0;
  if (!localOpen_ && !OpenLocal(why))
    return -1;
  bool ok = false;
  const long long marker = Marker(ok);
  QSqlQuery count(QSqlDatabase::database(localName_, false));
  count.prepare(QStringLiteral("SELECT count(*) FROM journal WHERE rowid > ?"));
  count.addBindValue(marker);
  if (!ok || !count.exec() || !count.next())
    return -1;
  return count.value(0).toLongLong();
}
