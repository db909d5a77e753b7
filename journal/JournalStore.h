#pragma once
// The journal's own threads. Push() is all the user-interface thread ever does: it queues the row.
// One thread writes the queue into the local SQLite file; where a factory database is named, a
// second one copies what the file holds to it. Neither failure stops anything: rows that the file
// would not take stay in memory and are tried again, rows the server would not take wait in the
// file. Each kind of failure is told once, and so is its end. Stopping never waits for the
// server longer than ExitWait: what it has not confirmed by then goes at the next start.
#include "journal/FactoryLink.h"
#include "journal/JournalRecord.h"
#include "journal/LocalJournal.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct TJournalSettings {
  QString LocalFile;
  QString FactoryUri; // a libpq URI; empty: the local file only
  std::chrono::milliseconds RetryFirst{1000};
  std::chrono::milliseconds RetryMost{15000};
  // How long stopping lets a copy under way finish; the rest stays in the local file.
  std::chrono::milliseconds ExitWait{1000};
  // A failure or its end, in the technician's words; called on a thread of the journal.
  std::function<void(const QString &message)> Tell;
};

struct TJournalEnding {
  long long Lost = 0;    // rows that never reached the local file
  QString Why;           // why the file would not take them
  long long Unsent = 0;  // rows in the file that the factory server does not have yet; -1 unknown
  long long Refused = 0; // rows the factory server refused, kept in the file
};

class TJournalStore {
public:
  explicit TJournalStore(TJournalSettings settings);
  ~TJournalStore();
  TJournalStore(const TJournalStore &) = delete;
  TJournalStore &operator=(const TJournalStore &) = delete;

  void Push(TJournalRow row);
  // True once every row pushed so far is in the local file.
  bool WaitWritten(std::chrono::milliseconds timeout);
  // Writes what it can, finishes a copy under way, and ends both threads. Safe to call twice.
  TJournalEnding Stop();

private:
  void WriteLoop();
  void CopyLoop();
  void Tell(const QString &message);
  // Tells a failure of a target unless its kind was told already; Recovered tells its end once.
  void Failed(const QString &target, const QString &kind, const QString &message);
  void Recovered(const QString &target, const QString &message);

  TJournalSettings settings_;
  QString connectionPrefix_;
  std::mutex mutex_;
  std::condition_variable writeWake_;
  std::condition_variable copyWake_;
  std::condition_variable written_;
  std::deque<TJournalRow> queue_;
  long long pushed_ = 0;
  long long writtenCount_ = 0;
  bool stopWriting_ = false;
  bool stopCopying_ = false;
  bool copyDue_ = true; // rows left unsent by an earlier run go first
  // The file the writer made ready; the copy waits for it and opens no other.
  std::optional<TLocalJournal::TFileKey> writerFile_;
  bool copierDone_ = false;
  std::condition_variable copierEnded_;
  std::chrono::steady_clock::time_point copyUntil_ = std::chrono::steady_clock::time_point::max();
  TFactoryInterrupt interrupt_;
  std::mutex tellMutex_;
  std::vector<QString> toldKinds_;  // "target kind", each told once
  std::vector<QString> failingNow_; // targets whose failure was told and has not ended
  std::vector<QString> toldEnds_;
  TJournalEnding ending_;
  std::thread writer_;
  std::thread copier_;
};
