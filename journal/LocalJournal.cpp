#include "journal/LocalJournal.h"

#include "journal/JournalFailure.h"
#include "journal/JournalSchema.h"

#include "os/FileIdentity.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <filesystem>

TLocalJournal::TLocalJournal(QString path, QString connectionName)
    : path_(std::move(path)), name_(std::move(connectionName)) {}

TLocalJournal::~TLocalJournal() { Close(); }

TLocalJournal::TFileKey TLocalJournal::KeyOf(const QString &path) {
  const TFileIdentity file = FileIdentityOf(QFile::encodeName(path).toStdString());
  if (file.Size < 0)
    return {};
  return {static_cast<unsigned long long>(file.Device), static_cast<unsigned long long>(file.Inode)};
}

bool TLocalJournal::OpenExisting() {
  QString why;
  return open_ || (QFileInfo::exists(path_) && Open(why));
}

void TLocalJournal::Close() {
  if (!QSqlDatabase::contains(name_))
    return;
  QSqlDatabase::database(name_, false).close();
  QSqlDatabase::removeDatabase(name_);
  open_ = false;
}

namespace {

// SQLite's primary result code in a failure of Qt's driver, -1 when it has none.
int SqliteCode(const QSqlError &error) {
  bool isNumber = false;
  const int code = error.nativeErrorCode().toInt(&isNumber);
  return isNumber ? code & 0xFF : -1;
}

bool Damaged(const QSqlError &error) {
  const int code = SqliteCode(error);
  return code == 11 /* SQLITE_CORRUPT */ || code == 26 /* SQLITE_NOTADB */;
}

} // namespace

TLocalJournal::TFit TLocalJournal::TryOpen(QString &why, QString &unfitness) {
  QSqlDatabase db;
  QString openError;
  QSqlError failure;
  if (!OpenLocalJournal(db, name_, path_, false, openError)) {
    failure = db.lastError();
  } else {
    QSqlQuery query(db);
    auto number = [&](const QString &pragma) {
      const bool ok = query.exec(pragma) && query.next();
      return ok ? query.value(0).toLongLong() : -1LL;
    };
    const long long application = number(QStringLiteral("PRAGMA application_id"));
    const long long format = application < 0 ? -1 : number(QStringLiteral("PRAGMA user_version"));
    QStringList columns;
    bool otherTables = false;
    bool ok = format >= 0 && query.exec(QStringLiteral("PRAGMA table_info(journal)"));
    while (ok && query.next())
      columns << query.value(1).toString();
    ok = ok && query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                                         "'sqlite_%' AND name NOT LIKE 'journal%'")) &&
         query.next();
    otherTables = ok && query.value(0).toLongLong() > 0;
    if (ok) {
      const bool ours = application == 0 || application == ApplicationId;
      bool fits = true;
      for (const QString &column : JournalColumns())
        fits = fits && columns.contains(column);
      if (!ours || (columns.isEmpty() ? otherTables : !fits))
        unfitness = QStringLiteral("foreign");
      else if (format > Format)
        unfitness = QStringLiteral("newer");
    }
    if (ok && unfitness.isEmpty()) {
      // WAL: a reader (the viewer, the copy to the factory) never blocks the bench, and a killed
      // process leaves a file that opens whole with every committed batch. NORMAL: no flush to
      // the disk at each commit, which would compete with the snapshot's own flush during
      // "Запись"; a power cut may take the last batches, never the file's integrity.
      QStringList statements = {QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("PRAGMA synchronous=NORMAL")};
      statements << SqliteSchema();
      if (format == 0)
        statements << QStringLiteral("PRAGMA application_id=%1").arg(ApplicationId)
                   << QStringLiteral("PRAGMA user_version=%1").arg(Format);
      for (const QString &statement : statements)
        if (!(ok = query.exec(statement)))
          break;
    }
    if (!ok)
      failure = query.lastError();
  }
  db = QSqlDatabase();
  if (unfitness.isEmpty() && !failure.isValid())
    return TFit::Fits;
  Close();
  if (unfitness.isEmpty() && Damaged(failure))
    unfitness = QStringLiteral("damaged");
  if (!unfitness.isEmpty())
    return TFit::Unfit;
  why = ReasonOfLocalSqlError(failure, path_);
  return TFit::Failed;
}

bool TLocalJournal::MoveAside(const QString &unfitness, QString &why) {
  namespace fs = std::filesystem;
  const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString aside = path_ + QLatin1Char('.') + unfitness + QLatin1Char('-') + stamp;
  for (int n = 2; QFileInfo::exists(aside); ++n)
    aside = path_ + QLatin1Char('.') + unfitness + QLatin1Char('-') + stamp + QLatin1Char('-') + QString::number(n);
  std::error_code error;
  // The whole file as it was, its write-ahead log and index beside it under the same new name.
  fs::rename(path_.toStdString(), aside.toStdString(), error);
  if (error) {
    why = ReasonOfErrno(error.value());
    return false;
  }
  for (const char *suffix : {"-wal", "-shm"})
    if (QFileInfo::exists(path_ + QLatin1String(suffix)))
      fs::rename((path_ + QLatin1String(suffix)).toStdString(), (aside + QLatin1String(suffix)).toStdString(), error);
  movedAside_ = MovedAsideMessage(path_, unfitness, aside);
  return true;
}

bool TLocalJournal::Open(QString &why) {
  std::error_code error;
  std::filesystem::create_directories(QFileInfo(path_).absolutePath().toStdString(), error);
  if (error) {
    why = ReasonOfErrno(error.value());
    return false;
  }
  // The second try is on the fresh file that took the unfit one's place.
  for (int attempt = 0; attempt < 2; ++attempt) {
    QString unfitness;
    switch (TryOpen(why, unfitness)) {
    case TFit::Fits:
      open_ = true;
      openFile_ = KeyOf(path_);
      return true;
    case TFit::Failed:
      return false;
    case TFit::Unfit:
      if (!MoveAside(unfitness, why))
        return false;
      break;
    }
  }
  why = QStringLiteral("новый файл журнала тоже не открывается");
  return false;
}

bool TLocalJournal::Append(const std::vector<TJournalRow> &rows, QString &why) {
  if (!open_ && !Open(why))
    return false;
  if (Insert(rows, why))
    return true;
  // Damage found while writing: the file goes aside like one found at opening, and the rows go
  // into the fresh one.
  if (!damagedNow_ || !MoveAside(QStringLiteral("damaged"), why) || !Open(why))
    return false;
  return Insert(rows, why);
}

bool TLocalJournal::Insert(const std::vector<TJournalRow> &rows, QString &why) {
  damagedNow_ = false;
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
  why = ReasonOfLocalSqlError(failure, path_);
  damagedNow_ = Damaged(failure);
  db.rollback();
  db = QSqlDatabase();
  // Opened afresh at the next try: the folder or the file may have been replaced meanwhile.
  Close();
  return false;
}
