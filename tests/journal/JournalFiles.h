#pragma once
// Reading a journal file back in a test, the way any reader of the journal opens it.
#include "journal/JournalRecord.h"
#include "journal/JournalSchema.h"
#include "tests/support/TestApplication.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QUuid>
#include <QVariant>

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// What the journal tells the technician, as its threads tell it.
class TToldRecorder {
public:
  std::function<void(const QString &)> Callback() {
    return [this](const QString &message) {
      std::lock_guard lock(mutex_);
      told_.push_back(message);
    };
  }
  std::vector<QString> Told() {
    std::lock_guard lock(mutex_);
    return told_;
  }
  // Every message so far, for a failing assertion to show.
  std::string AllTold() {
    std::string all;
    for (const QString &message : Told())
      all += "\n  " + message.toStdString();
    return all;
  }
  bool WaitTold(size_t count) {
    for (int i = 0; i < 600 && Told().size() < count; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return Told().size() >= count;
  }

private:
  std::mutex mutex_;
  std::vector<QString> told_;
};

// Runs one query on the file and gives every row as texts (NULL as a null QString).
inline std::vector<QStringList> QueryJournal(const QString &path, const QString &sql) {
  std::vector<QStringList> rows;
  const QString name = QStringLiteral("test-reader-") + QUuid::createUuid().toString();
  {
    QSqlDatabase db;
    QString error;
    if (OpenLocalJournal(db, name, path, true, error)) {
      QSqlQuery query(db);
      if (query.exec(sql))
        while (query.next()) {
          QStringList row;
          for (int i = 0; i < query.record().count(); ++i)
            row << (query.value(i).isNull() ? QString() : query.value(i).toString());
          rows.push_back(row);
        }
    }
    db.close();
  }
  QSqlDatabase::removeDatabase(name);
  return rows;
}

inline std::vector<int> StoredSeqs(const QString &path) {
  std::vector<int> seqs;
  for (const auto &row : QueryJournal(path, QStringLiteral("SELECT seq FROM journal ORDER BY rowid")))
    seqs.push_back(row[0].toInt());
  return seqs;
}

inline std::vector<int> OneTo(int n) {
  std::vector<int> seqs;
  for (int i = 1; i <= n; ++i)
    seqs.push_back(i);
  return seqs;
}

// A set-value row of one session, numbered seq.
inline TJournalRow StepRow(const QString &session, int seq) {
  TJournalRow row;
  row.Id = QUuid::createUuid().toString(QUuid::WithoutBraces);
  row.At = QDateTime(QDate(2026, 12, 7), QTime(15, 4, 5, 123), Qt::UTC);
  row.Seq = seq;
  row.Session = session;
  row.Bench = QStringLiteral("bench-1");
  row.Operator = QStringLiteral("tech");
  row.Port = QStringLiteral("COM2 /dev/pts/9");
  row.Model = QStringLiteral("KS43");
  row.Operation = QStringLiteral("set_value");
  row.Parameter = 18;
  row.Value = seq % 256;
  return row;
}
