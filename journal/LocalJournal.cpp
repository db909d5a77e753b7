#include "journal/LocalJournal.h"

#include "journal/JournalFailure.h"
#include "journal/JournalSchema.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <filesystem>

TLocalJournal::TLocalJournal(QString path, QString connectionName)
    : path_(std::move(path)), name_(std::move(connectionName)) {}

TLocalJournal::~TLocalJournal() { Close(); }

void TLocalJournal::Close() {
  if (!QSqlDatabase::contains(name_))
    return;
  QSqlDatabase::database(name_, false).close();
  QSqlDatabase::removeDatabase(name_);
  open_ = false;
}

bool TLocalJournal::Open(QString &why) {
  std::error_code error;
  std::filesystem::create_directories(QFileInfo(path_).absolutePath().toStdString(), error);
  if (error) {
    why = ReasonOfErrno(error.value());
    return false;
  }
  {
    QSqlDatabase db;
    QString openError;
    if (!OpenLocalJournal(db, name_, path_, false, openError)) {
      why = ReasonOfSqlError(db.lastError());
      db = QSqlDatabase();
      Close();
      return false;
    }
    QSqlQuery query(db);
    // WAL: a reader (the viewer, the copy to the factory) never blocks the bench, and a killed
    // process leaves a file that opens whole with every committed batch. NORMAL: no flush to the
    // disk at each commit, which would compete with the snapshot's own flush during "Запись"; a
    // power cut may take the last batches, never the file's integrity.
    QStringList statements = {QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("PRAGMA synchronous=NORMAL")};
    statements << SqliteSchema();
    for (const QString &statement : statements)
      if (!query.exec(statement)) {
        why = ReasonOfSqlError(query.lastError());
        query = QSqlQuery();
        db = QSqlDatabase();
        Close();
        return false;
      }
  }
  open_ = true;
  return true;
}

bool TLocalJournal::Append(const std::vector<TJournalRow> &rows, QString &why) {
  if (!open_ && !Open(why))
    return false;
  QSqlDatabase db = QSqlDatabase::database(name_, false);
  bool ok = db.transaction();
  QSqlError failure = db.lastError();
  if (ok) {
    QSqlQuery insert(db);
    QStringList marks;
    for (int i = 0; i < JournalColumns().size(); ++i)
      marks << QStringLiteral("?");
    ok = insert.prepare(QStringLiteral("INSERT INTO journal (%1) VALUES (%2)")
                            .arg(JournalColumnList(), marks.join(QStringLiteral(", "))));
    for (auto row = rows.begin(); ok && row != rows.end(); ++row) {
      const QVariantList values = JournalRowValues(*row);
      for (int i = 0; i < values.size(); ++i)
        insert.bindValue(i, values[i]);
      ok = insert.exec();
    }
    if (!ok)
      failure = insert.lastError();
    else if (!db.commit()) {
      ok = false;
      failure = db.lastError();
    }
  }
  if (ok)
    return true;
  why = ReasonOfSqlError(failure);
  db.rollback();
  db = QSqlDatabase();
  // Opened afresh at the next try: the folder or the file may have been replaced meanwhile.
  Close();
  return false;
}
