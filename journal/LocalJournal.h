#pragma once
// The bench's own journal file, written by one thread: each batch of rows is one transaction, so
// the file holds whole batches in order whatever happens to the process. A file that is damaged,
// not a journal, or of a newer kstune is moved aside whole (its bytes kept under a new name) and a
// fresh journal is started in its place, so that no later record is lost to it.
#include "journal/JournalRecord.h"

#include <QString>
#include <utility>
#include <vector>

class TLocalJournal {
public:
  TLocalJournal(QString path, QString connectionName);
  ~TLocalJournal();
  TLocalJournal(const TLocalJournal &) = delete;
  TLocalJournal &operator=(const TLocalJournal &) = delete;

  // Appends the rows (opening or creating the file first); false, with the reason in why, when
  // they could not all be committed; then none of them is in the file.
  bool Append(const std::vector<TJournalRow> &rows, QString &why);
  // Opens the file when there is one already (moving an unfit one aside), so that what an earlier
  // run left can be copied before anything is written; false when it is absent or failed.
  bool OpenExisting();
  // The file this journal has open and ready, as (device, inode); {0, 0} when none.
  using TFileKey = std::pair<unsigned long long, unsigned long long>;
  TFileKey OpenFile() const { return open_ ? openFile_ : TFileKey{}; }
  static TFileKey KeyOf(const QString &path);
  // What was moved aside since the last call, in the technician's words; empty when nothing.
  QString TakeMovedAside() { return std::exchange(movedAside_, {}); }

  // The file's format: kstune writes this into the file, and moves aside a file of a higher one.
  static constexpr int Format = 1;
  static constexpr int ApplicationId = 0x4B53544A; // "KSTJ": a kstune journal, not another program's file

private:
  enum class TFit { Fits, Unfit, Failed };
  bool Open(QString &why);
  TFit TryOpen(QString &why, QString &unfitness);
  bool MoveAside(const QString &unfitness, QString &why);
  bool Insert(const std::vector<TJournalRow> &rows, QString &why);
  void Close();

  QString path_;
  QString name_;
  bool open_ = false;
  TFileKey openFile_;
  QString movedAside_;
  bool damagedNow_ = false; // the last insert failed on a damaged file
};
