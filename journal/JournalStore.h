#pragma once
// The journal's own threads. Push() is all the user-interface thread ever does: it queues the row.
// One thread writes the queue into the local SQLite file; where a factory database is named, a
// second one copies what the file holds to it. Neither failure stops anything: rows that the file
// would not take stay in memory and are tried again, rows the server would not take wait in the
// file; each target tells its first failure once.
#include "journal/JournalRecord.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

struct TJournalSettings {
  QString LocalFile;
  QString FactoryUri; // a libpq URI; empty: the local file only
  std::chrono::milliseconds RetryFirst{1000};
  std::chrono::milliseconds RetryMost{15000};
  // A failure, in the technician's words; called on a thread of the journal, once per target.
  std::function<void(const QString &message)> Tell;
};

struct TJournalEnding {
  long long Lost = 0;    // rows that never reached the local file
  QString Why;           // why the file would not take them
  long long Unsent = 0;  // rows in the file that the factory server does not have yet; -1 unknown
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
  TJournalEnding ending_;
  std::thread writer_;
  std::thread copier_;
};
