#pragma once
// Copies the local journal to the factory's PostgreSQL server, in the order the records were
// written, each exactly once: the server keeps what it has by the record's id, and the local file
// remembers, per server, the last record the server confirmed. A record the server refuses for
// its content is set aside (kept in the file with the server's reason) and the rest goes on.
// Used by one thread; every wait on the server ends at the interrupt.
#include "journal/FactoryLink.h"
#include "journal/FactoryUri.h"
#include "journal/LocalJournal.h"

#include <QString>
#include <QVariant>

#include <chrono>
#include <optional>
#include <utility>
#include <vector>

class TFactoryCopy {
public:
  using Clock = std::chrono::steady_clock;
  enum TResult { Copied, LocalFailed, ServerFailed };

  // How many of the last records believed sent are checked against the server at start.
  static constexpr int RecentChecked = 20000;

  TFactoryCopy(QString localPath, TFactoryUri server, QString connectionPrefix, const TFactoryInterrupt &interrupt);
  ~TFactoryCopy();
  TFactoryCopy(const TFactoryCopy &) = delete;
  TFactoryCopy &operator=(const TFactoryCopy &) = delete;

  // Copies every local record the server does not have yet, starting no batch after until; on a
  // failure failure.Why says what failed.
  TResult CopyPending(TFactoryFailure &failure, Clock::time_point until = Clock::time_point::max());
  // The last records the file counts as sent, looked up on the server by id; those it lacks (a
  // server restored from a backup) are sent again. resent: how many.
  TResult CheckRecent(TFactoryFailure &failure, long long &resent);
  bool ServerConnected() const { return link_.Connected(); }
  // The file the writer has made and opened. The copy opens no other: a file still being made is
  // not yet in write-ahead-log mode, and a copy holding it then would get the writer refused.
  // Unset (the default) once no writer is left to make it.
  void WriterFile(std::optional<TLocalJournal::TFileKey> file) { writerFile_ = file; }
  // Records of the local file not yet confirmed by the server; -1 when that cannot be known.
  long long Unsent();

  struct TRefusal {
    QString Id;
    QString Why;
    QString SqlState;
  };
  // The records set aside since the last call, and how many the file holds for this server.
  std::vector<TRefusal> TakeRefused();
  long long RefusedCount();

private:
  using TRow = std::vector<QVariant>; // rowid, then the journal's columns
  bool LocalReady(TFactoryFailure &failure);
  bool OpenLocal(TFactoryFailure &failure);
  bool OpenServer(TFactoryFailure &failure);
  void CloseLocal();
  long long Marker(bool &ok);
  TResult Send(const std::vector<TRow> &rows, size_t begin, size_t end, TFactoryFailure &failure);
  TResult LocalFailure(TFactoryFailure &failure, const class QSqlError &error);
  // The batch is on the server: the refused rows set aside, the marker moved (when given).
  TResult Confirm(long long marker, size_t refusedFrom, TFactoryFailure &failure);

  QString localPath_;
  TFactoryUri server_;
  QString localName_;
  bool localOpen_ = false;
  TLocalJournal::TFileKey localFile_;
  std::optional<TLocalJournal::TFileKey> writerFile_;
  TFactoryLink link_;
  std::vector<TRefusal> refused_;
};
