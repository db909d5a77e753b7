#pragma once
// Reads the bench journal through Qt SQL (QSQLITE for the bench's file, QPSQL for the factory's
// server). Opening checks that the table is kstune's before anything is shown, and every
// failure leaves a message for the technician instead of an exception.
#include "journal/JournalRecord.h"
#include "viewer/JournalSource.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

class QSqlQuery;

namespace viewer {

// One session as the station list needs it, summed up from its connect, serial read and
// disconnect.
struct SessionSummary {
  QString session;
  QString serial; // empty until a serial read
  QDateTime start;
  QDateTime last;
  QString bench;
  QString operatorName;
  QString model;
  bool ended = false; // its disconnect is in the journal
  bool linkLost = false; // a record of it lost the link (known only where the journal has journal_lost)
};

// What only a factory server knows of a record: the role that sent it and when the server had it.
struct ServerReceipt {
  QString by;
  QDateTime at;
};
// By record id.
using ServerReceipts = QHash<QString, ServerReceipt>;

// The indexes that make the station list and a station's history fast. The journal writer
// creates them; the viewer creates them too on a local file it may write.
extern const QStringList JournalIndexes;

class JournalReader {
public:
  JournalReader();
  ~JournalReader();
  JournalReader(const JournalReader &) = delete;
  JournalReader &operator=(const JournalReader &) = delete;

  // False, with Error() saying why in the technician's words, when the journal cannot be read.
  bool Open(const JournalSource &source);
  void Close();
  bool IsOpen() const { return open_; }
  const JournalSource &Source() const { return source_; }
  const QString &Error() const { return error_; }
  // Set when the journal opened but something in it is unexpected (columns of a newer kstune).
  const QString &Warning() const { return warning_; }

  // Every session in the journal; also the point after which NewRecords() starts.
  std::vector<SessionSummary> LoadSessions();
  // True on a factory server whose table has the server's own columns (received_by, received_at).
  bool HasReceipts() const { return haveReceipts_; }
  // The records of these sessions, each session's records in their order (seq); their server
  // receipts added to `receipts` where the journal has them.
  std::vector<TJournalRow> RecordsOfSessions(const QStringList &sessions, ServerReceipts *receipts = nullptr);
  // Records appended since the last LoadSessions() or NewRecords(), in the order they were
  // written: on a server with receipts, the order it received them in, whatever the benches'
  // clocks say.
  std::vector<TJournalRow> NewRecords(ServerReceipts *receipts = nullptr);
  // Why the last NewRecords() found nothing because the journal did not answer; empty when it did.
  const QString &PollError() const { return pollError_; }

private:
  // The whole rows of these ids, in the given order, a chunk at a time; false (the poll's error
  // said) when a chunk failed.
  bool RowsById(const QStringList &ids, const QString &order, std::vector<TJournalRow> &records,
                ServerReceipts *receipts);
  bool Fail(const QString &message);
  QString Connect(bool &writable);
  QString CheckTable();
  void CreateIndexes();
  QString Select() const;
  void TakeReceipt(const QSqlQuery &query, const QString &id, ServerReceipts *receipts) const;
  QVariant TimeParameter(const QDateTime &at) const;
  void MarkNewest();
  void MarkLinkLost(std::vector<SessionSummary> &sessions);
  QString PollFailure(const QString &why) const;

  QString connection_;
  JournalSource source_;
  bool open_ = false;
  bool haveRowid_ = false;
  bool haveReceipts_ = false;
  QString error_;
  QString warning_;
  QString pollError_;
  // Where following goes on: the last rowid seen (SQLite), or the newest time seen and the ids
  // at or near it (a server: its receive time, or a bench's time on a table without it; a
  // transaction that began earlier may commit later).
  qint64 lastRowid_ = 0;
  QDateTime newest_;
  QSet<QString> recentIds_;
};

} // namespace viewer
