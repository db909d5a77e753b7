#pragma once
// The station journal as the routines see it: Journal() is the bench's one journal. A routine
// opens a note just before its exchange with the station and closes it where the result is
// known; the exchange itself (WaitAnswer, the block receive) tells the open note of every byte
// that came and of the first that did not. Appending costs the user-interface thread a queue
// push; the journal's own threads write (JournalStore.h). Everything here runs on the
// user-interface thread. Until Start, and after Stop, nothing is recorded.
#include "journal/JournalDetail.h"
#include "journal/JournalRecord.h"
#include "journal/JournalStore.h"
#include "table/NumberSeries.h"

#include <QString>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TJournalNote;

class TJournal {
public:
  TJournal();
  ~TJournal();
  TJournal(const TJournal &) = delete;
  TJournal &operator=(const TJournal &) = delete;

  void Start(TJournalSettings settings);
  TJournalEnding Stop();
  bool On() const { return store_ != nullptr; }
  // For tests and benchmarks: true once every record so far is in the local file.
  bool WaitWritten(std::chrono::milliseconds timeout);

  // "Подключиться": a new session on the port ("COM2 /dev/pts/3") begins with this note (the
  // connect record). A session still connected is ended first, as reconnected.
  TJournalNote Connecting(const QString &port, const std::string &modelCode);
  // "Отключиться" went out: the disconnect record, and the session ends.
  void Disconnected();
  // The session ends without "Отключиться" (the window closed, a signal): a disconnect record
  // saying how, when a connection is open; nothing when none is.
  void SessionEnded(TSessionEnd how);
  bool SessionConnected() const { return connected_; }
  // The model confirmed by "Ok" (its code is in every later record); the note is its record.
  TJournalNote ModelStoring(int index, const std::string &modelCode);
  // The workbook that the next report record goes into.
  void ReportOpened(const std::string &path);
  // The report's two lines went into the workbook below the marker, from this row on.
  void ReportWritten(int row);
  // An operation that awaits no answer, recorded at once.
  void Append(TJournalEntry entry);

  // From the exchange routines: an awaited byte came, or the first one did not.
  void AnswerCame();
  void AnswerMissing();
  // From the start of a command: stale input bytes were thrown away before it.
  void StaleBytesDropped(int count);

private:
  friend class TJournalNote;
  void Close(TJournalNote &note);

  std::unique_ptr<TJournalStore> store_;
  std::vector<TJournalNote *> notes_; // open notes, innermost last
  QString bench_;
  QString operator_;
  QString session_;
  int seq_ = 0;
  QString port_;
  QString model_;
  QString serial_;
  QString reportFile_;
  int staleWithoutNote_ = 0;
  bool connected_ = false; // a connect the station answered, not yet ended
};

TJournal &Journal();

// One operation with the station, from just before its first byte to its result. Done() records
// it (as link_lost when an answer went missing meanwhile); a note left without Done() records
// link_lost (no_read for a short read-all block) if an answer went missing or an error broke the
// exchange off, and nothing when the operation never reached the station.
class TJournalNote {
public:
  explicit TJournalNote(const char *operation, std::optional<int> parameter = {}, std::optional<int> value = {},
                        QString series = {});
  ~TJournalNote();
  TJournalNote(const TJournalNote &) = delete;
  TJournalNote &operator=(const TJournalNote &) = delete;

  void Done(const QString &detail = {});

  TJournalEntry Entry;

private:
  friend class TJournal;
  int received_ = 0;            // bytes the station sent in this operation
  std::optional<int> missingAt_; // the first byte that did not come
  int stale_ = 0;
  bool done_ = false;
  int exceptionsAtStart_;
};

// A front-panel command (a button, or the key M), which awaits no answer: recorded at once.
void JournalFrontPanel(int byte, const QString &caption);

// The number series of the 34 values, indexed 1..34.
template <typename Values> QString JournalSeries(const Values &values) {
  return QString::fromStdString(params::NumberSeriesOf([&](int number) { return values[number]; }));
}
