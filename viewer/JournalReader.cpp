#include "viewer/JournalReader.h"

#include "journal/FactoryUri.h"
#include "journal/JournalIndexes.h"
#include "journal/JournalSchema.h"
#include "journal/JournalTime.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

namespace viewer {

const QStringList JournalIndexes{QLatin1String(journal_indexes::Session), QLatin1String(journal_indexes::Visits),
                                 QLatin1String(journal_indexes::Lost)};

namespace {

// A server copy may arrive this much later than records already shown and still be followed.
constexpr int LateArrivalSeconds = 60;

// The factory server's own columns, filled by it alone; not a newer kstune's.
const QStringList ServerColumns{QStringLiteral("received_by"), QStringLiteral("received_at")};

QString ErrorText(const QSqlError &error) {
  QString text = error.databaseText().trimmed();
  if (text.isEmpty())
    text = error.driverText().trimmed();
  return text;
}

} // namespace

JournalReader::JournalReader() : connection_(QStringLiteral("kstune-journal-") + QUuid::createUuid().toString()) {}

JournalReader::~JournalReader() { Close(); }

void JournalReader::Close() {
  open_ = false;
  if (QSqlDatabase::contains(connection_)) {
    QSqlDatabase::database(connection_, false).close();
    QSqlDatabase::removeDatabase(connection_);
  }
}

bool JournalReader::Fail(const QString &message) {
  error_ = message;
  Close();
  return false;
}

bool JournalReader::Open(const JournalSource &source) {
  Close();
  source_ = source;
  error_.clear();
  warning_.clear();
  lastRowid_ = 0;
  haveReceipts_ = false;
  pollError_.clear();
  newest_ = QDateTime();
  recentIds_.clear();
  bool writable = false;
  // The connection is dropped only once no handle of it is left in a scope.
  QString problem = Connect(writable);
  if (problem.isEmpty())
    problem = CheckTable();
  if (!problem.isEmpty())
    return Fail(problem);
  open_ = true;
  if (writable)
    CreateIndexes();
  return true;
}

// Empty when the database is open, else what the technician is told.
QString JournalReader::Connect(bool &writable) {
  const JournalSource &source = source_;
  if (!source.server) {
    const QFileInfo file(source.path);
    if (!file.exists())
      return QStringLiteral("Журнал %1 не найден. Он появится, когда kstune на этом стенде впервые "
                                 "подключится к радиостанции.")
                      .arg(source.path);
    if (!file.isFile() || !file.isReadable())
      return QStringLiteral("Журнал %1 нельзя прочитать: это не файл или нет прав на чтение.").arg(source.path);
    // Only the bench's own journal gets the indexes that make it fast; any other file (another
    // program's, a copy sent for a look) is read and never written, not even an index.
    writable = file.isWritable() && QFileInfo(file.absolutePath()).isWritable() &&
               file.canonicalFilePath() == QFileInfo(JournalFilePath()).canonicalFilePath();
    QSqlDatabase db;
    QString why;
    if (!OpenLocalJournal(db, connection_, source.path, !writable, why))
      return db.isValid() ? QStringLiteral("Журнал %1 не открывается: %2").arg(source.path, ErrorText(db.lastError()))
                          : QStringLiteral("Нет драйвера SQLite для Qt (пакет libqt6sql6-sqlite).");
    // A file that is not SQLite at all opens without complaint; the first read finds out.
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
      return QStringLiteral("Файл %1 поврежден или это не журнал kstune: %2")
                      .arg(source.path, ErrorText(probe.lastError()));
  } else {
    // Read as kstune reads the options file's key, so that both reach the same server.
    QString why;
    const std::optional<TFactoryUri> server = ParseFactoryUri(source.uri, why);
    if (!server || (server->Host.isEmpty() && server->Database.isEmpty()))
      return QStringLiteral("Адрес заводского журнала %1 не понят: нужен вид postgresql://пользователь@сервер/база.")
                      .arg(WithoutPassword(source.uri));
    QSqlDatabase db;
    bool driverMissing = false;
    if (!OpenFactoryJournal(db, connection_, *server, why, driverMissing))
      return driverMissing ? QStringLiteral("Нет драйвера PostgreSQL для Qt (пакет libqt6sql6-psql).")
                           : QStringLiteral("Сервер журнала %1 отказал в подключении: %2")
                                 .arg(WithoutPassword(source.uri), ErrorText(db.lastError()));
  }
  return {};
}

QString JournalReader::CheckTable() {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  const QString where = source_.server ? WithoutPassword(source_.uri) : source_.path;
  if (!db.tables().contains(QStringLiteral("journal")))
    return QStringLiteral("%1 не журнал kstune: в нем нет таблицы journal.").arg(where);
  const QSqlRecord columns = db.record(QStringLiteral("journal"));
  QStringList missing, unknown;
  for (const QString &name : JournalColumns())
    if (columns.indexOf(name) < 0)
      missing << name;
  int receiptColumns = 0;
  for (int i = 0; i < columns.count(); ++i) {
    if (JournalColumns().contains(columns.fieldName(i)))
      continue;
    if (source_.server && ServerColumns.contains(columns.fieldName(i)))
      ++receiptColumns;
    else
      unknown << columns.fieldName(i);
  }
  haveReceipts_ = receiptColumns == ServerColumns.size();
  if (!missing.isEmpty())
    return QStringLiteral("%1 не журнал kstune: в таблице journal нет столбцов %2.").arg(where, missing.join(", "));
  if (!unknown.isEmpty())
    warning_ = QStringLiteral("Журнал записан более новой версией kstune: столбцы %1 не показываются.")
                   .arg(unknown.join(", "));
  haveRowid_ = !source_.server && QSqlQuery(db).exec(QStringLiteral("SELECT rowid FROM journal LIMIT 0"));
  return {};
}

void JournalReader::CreateIndexes() {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  // Best effort: a journal that is busy or read-only is read without them, only slower.
  for (const QString &statement : JournalIndexes)
    QSqlQuery(db).exec(statement);
}

QString JournalReader::Select() const {
  QString select = JournalSelect();
  if (haveReceipts_)
    select.replace(QStringLiteral(" FROM journal "), QStringLiteral(", received_by, received_at FROM journal "));
  return select;
}

void JournalReader::TakeReceipt(const QSqlQuery &query, const QString &id, ServerReceipts *receipts) const {
  if (!receipts || !haveReceipts_)
    return;
  const int at = static_cast<int>(JournalColumns().size());
  // Rows of a table made before the server's columns keep them empty: nobody knows.
  if (!query.value(at).isNull() || !query.value(at + 1).isNull())
    receipts->insert(id, {query.value(at).toString(), JournalTimeOf(query.value(at + 1))});
}

QVariant JournalReader::TimeParameter(const QDateTime &at) const { return JournalTimeParameter(at, source_.server); }

QString JournalReader::PollFailure(const QString &why) const {
  return QStringLiteral("Журнал %1 не отвечает: %2. Слежение продолжится, как только он ответит.")
      .arg(source_.Display(), why.isEmpty() ? QStringLiteral("нет связи") : why);
}

void JournalReader::MarkNewest() {
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  if (haveRowid_) {
    if (query.exec(QStringLiteral("SELECT max(rowid) FROM journal")) && query.next())
      lastRowid_ = query.value(0).toLongLong();
    return;
  }
  const QString time = haveReceipts_ ? QStringLiteral("received_at") : QStringLiteral("at");
  if (query.exec(QStringLiteral("SELECT max(%1) FROM journal").arg(time)) && query.next())
    newest_ = JournalTimeOf(query.value(0));
  if (!newest_.isValid())
    return;
  // What is already there near the newest time is not new to the first NewRecords().
  query.prepare(QStringLiteral("SELECT id FROM journal WHERE %1 > ?").arg(time));
  query.addBindValue(TimeParameter(newest_.addSecs(-LateArrivalSeconds)));
  if (query.exec())
    while (query.next())
      recentIds_.insert(query.value(0).toString());
}

std::vector<SessionSummary> JournalReader::LoadSessions() {
  std::vector<SessionSummary> sessions;
  if (!open_)
    return sessions;
  MarkNewest();
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  query.setForwardOnly(true);
  // The model a session ended with (a technician may correct it after the serial read).
  QString sql = QStringLiteral(
                    "SELECT session, min(at), max(at), max(serial), coalesce(max(CASE WHEN operation = '%1' "
                    "THEN model END), max(CASE WHEN operation = '%2' THEN model END), max(model)), max(bench), "
                    "max(\"operator\"), max(CASE WHEN operation = '%1' THEN 1 ELSE 0 END) FROM journal WHERE ")
                    .arg(QLatin1String(JournalOp::Disconnect), QLatin1String(JournalOp::Serial)) +
                QLatin1String(journal_indexes::VisitsWhere.data(), journal_indexes::VisitsWhere.size());
  // Rows after the mark come again through NewRecords(); a server's overlap is harmless.
  if (haveRowid_)
    sql += QStringLiteral(" AND rowid <= %1").arg(lastRowid_);
  sql += QStringLiteral(" GROUP BY session");
  if (!query.exec(sql)) {
    error_ = QStringLiteral("Журнал не читается: %1").arg(ErrorText(query.lastError()));
    return sessions;
  }
  while (query.next())
    sessions.push_back({query.value(0).toString(), query.value(3).toString(), JournalTimeOf(query.value(1)),
                        JournalTimeOf(query.value(2)), query.value(5).toString(), query.value(6).toString(),
                        query.value(4).toString(), query.value(7).toInt() != 0});
  MarkLinkLost(sessions);
  return sessions;
}

void JournalReader::MarkLinkLost(std::vector<SessionSummary> &sessions) {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  QSqlQuery query(db);
  query.setForwardOnly(true);
  // Only through its index: without it the question reads the whole journal, which the list
  // cannot afford on a journal of millions of records; such a journal marks only unended visits.
  const QString hasIndex = source_.server
                               ? QStringLiteral("SELECT 1 FROM pg_indexes WHERE tablename = 'journal' AND indexname = 'journal_lost'")
                               : QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = 'journal_lost'");
  if (!query.exec(hasIndex) || !query.next())
    return;
  QSet<QString> lost;
  if (query.exec(QStringLiteral("SELECT DISTINCT session FROM journal WHERE ") +
                 QLatin1String(journal_indexes::LostWhere.data(), journal_indexes::LostWhere.size())))
    while (query.next())
      lost.insert(query.value(0).toString());
  for (SessionSummary &s : sessions)
    s.linkLost = lost.contains(s.session);
}

std::vector<TJournalRow> JournalReader::RecordsOfSessions(const QStringList &sessions, ServerReceipts *receipts) {
  std::vector<TJournalRow> records;
  if (!open_ || sessions.isEmpty())
    return records;
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  query.setForwardOnly(true);
  QStringList marks;
  for (qsizetype i = 0; i < sessions.size(); ++i)
    marks << QStringLiteral("?");
  query.prepare(Select() + QStringLiteral("WHERE session IN (") + marks.join(',') + QStringLiteral(") ORDER BY session, seq"));
  for (const QString &session : sessions)
    query.addBindValue(session);
  if (!query.exec()) {
    error_ = QStringLiteral("Журнал не читается: %1").arg(ErrorText(query.lastError()));
    return records;
  }
  while (query.next()) {
    records.push_back(JournalRowAt(query));
    TakeReceipt(query, records.back().Id, receipts);
  }
  return records;
}

bool JournalReader::RowsById(const QStringList &ids, const QString &order, std::vector<TJournalRow> &records,
                             ServerReceipts *receipts) {
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  query.setForwardOnly(true);
  constexpr qsizetype Chunk = 500;
  for (qsizetype from = 0; from < ids.size(); from += Chunk) {
    const QStringList chunk = ids.mid(from, Chunk);
    QStringList marks;
    for (qsizetype i = 0; i < chunk.size(); ++i)
      marks << QStringLiteral("?");
    query.prepare(Select() + QStringLiteral("WHERE id IN (") + marks.join(QLatin1Char(',')) + QLatin1Char(')') + order);
    for (const QString &id : chunk)
      query.addBindValue(id);
    if (!query.exec()) {
      pollError_ = PollFailure(ErrorText(query.lastError()));
      return false;
    }
    while (query.next()) {
      TJournalRow record = JournalRowAt(query);
      TakeReceipt(query, record.Id, receipts);
      records.push_back(std::move(record));
    }
  }
  return true;
}

std::vector<TJournalRow> JournalReader::NewRecords(ServerReceipts *receipts) {
  std::vector<TJournalRow> records;
  if (!open_)
    return records;
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  // A server that went away keeps its dead connection: each look tries a fresh one.
  if (!pollError_.isEmpty() && source_.server) {
    db.close();
    if (!db.open()) {
      pollError_ = PollFailure(ErrorText(db.lastError()));
      return records;
    }
  }
  QSqlQuery query(db);
  query.setForwardOnly(true);
  auto failed = [&] {
    pollError_ = PollFailure(ErrorText(query.lastError()));
    return records;
  };
  pollError_.clear();
  if (haveRowid_) {
    query.prepare(Select().replace(QStringLiteral(" FROM journal "), QStringLiteral(", rowid FROM journal ")) +
                  QStringLiteral("WHERE rowid > ? ORDER BY rowid"));
    query.addBindValue(lastRowid_);
    if (!query.exec())
      return failed();
    while (query.next()) {
      records.push_back(JournalRowAt(query));
      lastRowid_ = query.value(JournalColumns().size()).toLongLong();
    }
    return records;
  }
  // The server's receive time is one clock for every bench: a bench whose clock is behind is
  // followed all the same. A table without it has only the benches' times. A transaction that
  // commits late shows rows older than the newest seen, so the last minute is looked at again;
  // only its ids and times come each time, and whole rows only for the ids not seen yet (after a
  // bench's catch-up that minute holds many thousands of rows).
  const QString time = haveReceipts_ ? QStringLiteral("received_at") : QStringLiteral("at");
  const QString order = haveReceipts_ ? QStringLiteral(" ORDER BY received_at, id") : QStringLiteral(" ORDER BY at, session, seq");
  // The newest time first (through the index): a row committed after this look comes next time.
  QDateTime newest = newest_;
  if (!query.exec(QStringLiteral("SELECT max(%1) FROM journal").arg(time)))
    return failed();
  if (query.next())
    if (const QDateTime at = JournalTimeOf(query.value(0)); at.isValid() && (!newest.isValid() || at > newest))
      newest = at;
  query.prepare(QStringLiteral("SELECT id FROM journal WHERE %1 > ?").arg(time) + order);
  const QDateTime from = newest_.isValid() ? newest_.addSecs(-LateArrivalSeconds) : QDateTime::fromSecsSinceEpoch(0);
  query.addBindValue(TimeParameter(from));
  if (!query.exec())
    return failed();
  QSet<QString> seen;
  QStringList unseen;
  while (query.next()) {
    const QString id = query.value(0).toString();
    seen.insert(id);
    if (!recentIds_.contains(id))
      unseen << id;
  }
  if (!RowsById(unseen, order, records, receipts))
    return {}; // all of them again at the next look, none twice
  // Taken as seen only once every new row came: a failure above asks for them all again.
  newest_ = newest;
  recentIds_ = seen;
  return records;
}

} // namespace viewer
