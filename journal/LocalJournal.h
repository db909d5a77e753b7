#pragma once
// The bench's own journal file, written by one thread: each batch of rows is one transaction, so
// the file holds whole batches in order whatever happens to the process.
#include "journal/JournalRecord.h"

#include <QString>
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

private:
  bool Open(QString &why);
  void Close();

  QString path_;
  QString name_;
  bool open_ = false;
};
