#include "journal/FactoryCopy.h"

#include "journal/JournalFailure.h"
#include "journal/JournalSchema.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>

namespace {

constexpr int BatchSize = 500;
constexpr int IdsPerLookup = 1000;

// The server's type of each column, so that text parameters need no guessing.
QByteArray Cast(const QString &column) {
  if (column == QLatin1String("at"))
    return "::timestamptz";
  if (column == QLatin1String("seq") || column == QLatin1String("parameter") || column == QLatin1String("value"))
    return "::integer";
  return "::text";
}

QByteArray InsertStatement(size_t rows) {
  const QStringList &columns = JournalColumns();
  QByteArray sql = "INSERT INTO journal (" + JournalColumnList().toUtf8() + ") VALUES ";
  int param = 0;
  for (size_t row = 0; row < rows; ++row) {
    sql += row ? ", (" : "(";
    for (int i = 0; i < columns.size(); ++i)
      sql += (i ? ", $" : "$") + QByteArray::number(++param) + Cast(columns[i]);
    sql += ')';
  }
  return sql + " ON CONFLICT (id) DO NOTHING";
}

QByteArray Param(const QVariant &value) { return value.isNull() ? QByteArray() : value.toString().toUtf8(); }

// A text array literal of ids, each quoted.
QByteArray IdArray(const std::vector<QByteArray> &ids) {
  QByteArray array = "{";
  for (size_t i = 0; i < ids.size(); ++i) {
    QByteArray id = ids[i];
    id.replace('\\', "\\\\").replace('"', "\\\"");
    array += (i ? ",\"" : "\"") + id + '"';
  }
  return array + '}';
}

} // namespace

bool TFactoryCopy::LocalReady(TFactoryFailure &failure) {
  // The writer may have moved a damaged file aside and started a new one: the copy follows it.
  const TLocalJournal::TFileKey now = TLocalJournal::KeyOf(localPath_);
  if (localOpen_ && now != localFile_)
    CloseLocal();
  if (!localOpen_ && writerFile_ && now != *writerFile_) {
    failure.Why = QStringLiteral("файл журнала еще создается");
    return false;
  }
  return localOpen_ || OpenLocal(failure);
}

TFactoryCopy::TFactoryCopy(QString localPath, TFactoryUri server, QString connectionPrefix,
                           const TFactoryInterrupt &interrupt)
    : localPath_(std::move(localPath)), server_(server), localName_(connectionPrefix + QStringLiteral("-local")),
      link_(std::move(server), interrupt) {}

TFactoryCopy::~TFactoryCopy() {
  link_.Close();
  CloseLocal();
}

void TFactoryCopy::CloseLocal() {
  if (QSqlDatabase::contains(localName_)) {
    QSqlDatabase::database(localName_, false).close();
    QSqlDatabase::removeDatabase(localName_);
  }
  localOpen_ = false;
}

bool TFactoryCopy::OpenLocal(TFactoryFailure &failure) {
  QSqlDatabase db;
  QString why;
  if (!OpenLocalJournal(db, localName_, localPath_, false, why)) {
    failure.Why = ReasonOfSqlError(db.lastError());
    db = QSqlDatabase();
    CloseLocal();
    return false;
  }
  // The copy may run in a session that writes nothing, on a file of an older kstune.
  QSqlQuery query(db);
  for (const QString &statement : SqliteCopySchema())
    if (!query.exec(statement)) {
      failure.Why = ReasonOfSqlError(query.lastError());
      query = QSqlQuery();
      db = QSqlDatabase();
      CloseLocal();
      return false;
    }
  localOpen_ = true;
  localFile_ = TLocalJournal::KeyOf(localPath_);
  return true;
}

TFactoryCopy::TResult TFactoryCopy::LocalFailure(TFactoryFailure &failure, const QSqlError &error) {
  failure = {};
  failure.Why = ReasonOfSqlError(error);
  CloseLocal();
  return LocalFailed;
}

bool TFactoryCopy::OpenServer(TFactoryFailure &failure) {
  if (!link_.Connect(failure))
    return false;
  // The table is the administrator's; kstune makes it only where its role may create tables.
  std::vector<QByteArray> found;
  if (!link_.Exec("SELECT (to_regclass('journal') IS NOT NULL)::int || ' ' || "
                  "coalesce(has_schema_privilege(current_schema(), 'CREATE'), false)::int",
                  {}, failure, &found) ||
      found.size() != 1) {
    link_.Close();
    return false;
  }
  if (found[0].startsWith('1'))
    return true;
  if (found[0] != "0 1") {
    failure.Why = QStringLiteral("в базе нет таблицы journal, и пользователю нельзя ее создать: ее создает "
                                 "администратор (/usr/share/kstune/factory-journal.sql)");
    link_.Close();
    return false;
  }
  for (const QString &statement : PostgresSchema())
    if (!link_.Exec(statement.toUtf8(), {}, failure)) {
      failure.Why = QStringLiteral("в базе нет таблицы journal, и создать ее не удалось: ") + failure.Why;
      link_.Close();
      return false;
    }
  return true;
}

long long TFactoryCopy::Marker(bool &ok) {
  QSqlQuery query(QSqlDatabase::database(localName_, false));
  query.prepare(QStringLiteral("SELECT last_rowid FROM journal_sent WHERE server = ?"));
  query.addBindValue(server_.Display);
  ok = query.exec();
  return ok && query.next() ? query.value(0).toLongLong() : 0;
}

TFactoryCopy::TResult TFactoryCopy::Send(const std::vector<TRow> &rows, size_t begin, size_t end,
                                         TFactoryFailure &failure) {
  if (begin == end)
    return Copied;
  std::vector<QByteArray> params;
  params.reserve((end - begin) * static_cast<size_t>(JournalColumns().size()));
  for (size_t row = begin; row < end; ++row)
    for (size_t i = 1; i < rows[row].size(); ++i)
      params.push_back(Param(rows[row][i]));
  if (link_.Exec(InsertStatement(end - begin), params, failure))
    return Copied;
  if (!failure.RowsRefused())
    return ServerFailed;
  // Some row of these is refused for what it holds: halves find it, and the others go through.
  if (end - begin == 1) {
    refused_.push_back({rows[begin][1].toString(), failure.Why, failure.SqlState});
    return Copied;
  }
  const size_t middle = begin + (end - begin) / 2;
  const TResult first = Send(rows, begin, middle, failure);
  return first == Copied ? Send(rows, middle, end, failure) : first;
}

TFactoryCopy::TResult TFactoryCopy::Confirm(long long marker, size_t refusedFrom, TFactoryFailure &failure) {
  QSqlDatabase local = QSqlDatabase::database(localName_, false);
  if (!local.transaction())
    return LocalFailure(failure, local.lastError());
  QSqlQuery query(local);
  bool ok = true;
  for (size_t i = refusedFrom; ok && i < refused_.size(); ++i) {
    ok = query.prepare(QStringLiteral("INSERT OR REPLACE INTO journal_refused (server, id, sqlstate, reason) "
                                      "VALUES (?, ?, ?, ?)"));
    query.addBindValue(server_.Display);
    query.addBindValue(refused_[i].Id);
    query.addBindValue(refused_[i].SqlState);
    query.addBindValue(refused_[i].Why);
    ok = ok && query.exec();
  }
  if (ok && marker >= 0) {
    ok = query.prepare(QStringLiteral("INSERT INTO journal_sent (server, last_rowid) VALUES (?, ?) "
                                      "ON CONFLICT (server) DO UPDATE SET last_rowid = excluded.last_rowid"));
    query.addBindValue(server_.Display);
    query.addBindValue(marker);
    ok = ok && query.exec();
  }
  if (ok && local.commit())
    return Copied;
  const QSqlError error = query.lastError().isValid() ? query.lastError() : local.lastError();
  local.rollback();
  // The refusals are told only once they are kept.
  refused_.resize(refusedFrom);
  query = QSqlQuery();
  local = QSqlDatabase();
  return LocalFailure(failure, error);
}

TFactoryCopy::TResult TFactoryCopy::CopyPending(TFactoryFailure &failure, Clock::time_point until) {
  failure = {};
  // Nothing written on this bench yet: nothing to copy, and no file to make here.
  if (!QFileInfo::exists(localPath_))
    return Copied;
  if (!LocalReady(failure))
    return LocalFailed;
  for (bool first = true; first || Clock::now() < until; first = false) {
    bool ok = false;
    const long long marker = Marker(ok);
    std::vector<TRow> rows;
    {
      QSqlQuery batch(QSqlDatabase::database(localName_, false));
      ok = ok && batch.prepare(QStringLiteral("SELECT rowid, %1 FROM journal WHERE rowid > ? ORDER BY rowid LIMIT %2")
                                   .arg(JournalColumnList())
                                   .arg(BatchSize));
      batch.addBindValue(marker);
      if (!ok || !batch.exec())
        return LocalFailure(failure, batch.lastError());
      const int columns = static_cast<int>(JournalColumns().size());
      while (batch.next()) {
        TRow row;
        row.reserve(columns + 1);
        for (int i = 0; i <= columns; ++i)
          row.push_back(batch.value(i));
        rows.push_back(std::move(row));
      }
    }
    if (rows.empty())
      return Copied;
    if (!link_.Connected() && !OpenServer(failure))
      return ServerFailed;
    const size_t refusedFrom = refused_.size();
    if (const TResult sent = Send(rows, 0, rows.size(), failure); sent != Copied) {
      refused_.resize(refusedFrom);
      return sent;
    }
    // The server has them now; should this note fail, the next copy sends them again and the
    // server keeps its first copy of each.
    if (Confirm(rows.back()[0].toLongLong(), refusedFrom, failure) != Copied)
      return LocalFailed;
  }
  return Copied;
}

TFactoryCopy::TResult TFactoryCopy::CheckRecent(TFactoryFailure &failure, long long &resent) {
  failure = {};
  resent = 0;
  if (!QFileInfo::exists(localPath_))
    return Copied;
  if (!LocalReady(failure))
    return LocalFailed;
  bool ok = false;
  const long long marker = Marker(ok);
  std::vector<QByteArray> ids;
  std::vector<long long> rowids;
  {
    QSqlQuery recent(QSqlDatabase::database(localName_, false));
    ok = ok && recent.prepare(QStringLiteral("SELECT rowid, id FROM journal WHERE rowid <= ? AND id NOT IN "
                                             "(SELECT id FROM journal_refused WHERE server = ?) "
                                             "ORDER BY rowid DESC LIMIT %1")
                                  .arg(RecentChecked));
    recent.addBindValue(marker);
    recent.addBindValue(server_.Display);
    if (!ok || !recent.exec())
      return LocalFailure(failure, recent.lastError());
    while (recent.next()) {
      rowids.push_back(recent.value(0).toLongLong());
      ids.push_back(recent.value(1).toString().toUtf8());
    }
  }
  if (ids.empty())
    return Copied;
  if (!link_.Connected() && !OpenServer(failure))
    return ServerFailed;
  std::vector<long long> missing;
  for (size_t from = 0; from < ids.size(); from += IdsPerLookup) {
    const size_t to = std::min(ids.size(), from + IdsPerLookup);
    const std::vector<QByteArray> chunk(ids.begin() + static_cast<std::ptrdiff_t>(from),
                                        ids.begin() + static_cast<std::ptrdiff_t>(to));
    std::vector<QByteArray> found;
    if (!link_.Exec("SELECT id FROM journal WHERE id = ANY($1::text[])", {IdArray(chunk)}, failure, &found))
      return ServerFailed;
    std::sort(found.begin(), found.end());
    for (size_t i = from; i < to; ++i)
      if (!std::binary_search(found.begin(), found.end(), ids[i]))
        missing.push_back(rowids[i]);
  }
  std::sort(missing.begin(), missing.end());
  for (size_t from = 0; from < missing.size(); from += BatchSize) {
    const size_t to = std::min(missing.size(), from + BatchSize);
    QStringList list;
    for (size_t i = from; i < to; ++i)
      list << QString::number(missing[i]);
    std::vector<TRow> rows;
    {
      QSqlQuery batch(QSqlDatabase::database(localName_, false));
      if (!batch.exec(QStringLiteral("SELECT rowid, %1 FROM journal WHERE rowid IN (%2) ORDER BY rowid")
                          .arg(JournalColumnList(), list.join(QLatin1Char(',')))))
        return LocalFailure(failure, batch.lastError());
      const int columns = static_cast<int>(JournalColumns().size());
      while (batch.next()) {
        TRow row;
        for (int i = 0; i <= columns; ++i)
          row.push_back(batch.value(i));
        rows.push_back(std::move(row));
      }
    }
    const size_t refusedFrom = refused_.size();
    if (const TResult sent = Send(rows, 0, rows.size(), failure); sent != Copied) {
      refused_.resize(refusedFrom);
      return sent;
    }
    if (Confirm(-1, refusedFrom, failure) != Copied)
      return LocalFailed;
    resent += static_cast<long long>(rows.size() - (refused_.size() - refusedFrom));
  }
  return Copied;
}

long long TFactoryCopy::Unsent() {
  TFactoryFailure failure;
  if (!QFileInfo::exists(localPath_))
    return 0;
  if (!LocalReady(failure))
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

std::vector<TFactoryCopy::TRefusal> TFactoryCopy::TakeRefused() { return std::exchange(refused_, {}); }

long long TFactoryCopy::RefusedCount() {
  QSqlQuery count(QSqlDatabase::database(localName_, false));
  count.prepare(QStringLiteral("SELECT count(*) FROM journal_refused WHERE server = ?"));
  count.addBindValue(server_.Display);
  return localOpen_ && count.exec() && count.next() ? count.value(0).toLongLong() : -1;
}
