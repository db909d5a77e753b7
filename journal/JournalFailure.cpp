#include "journal/JournalFailure.h"

#include "os/DiskSpace.h"
#include "os/OsErrorReason.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>

#include <cerrno>

QString ReasonOfErrno(int error) {
  // The one case the journal words itself: its folder's place taken by a file.
  if (error == ENOTDIR || error == EEXIST)
    return QStringLiteral("на месте папки журнала лежит файл");
  return QString::fromStdString(OsErrorReason(error));
}

QString ReasonOfSqlError(const QSqlError &error) {
  // Qt's SQLite driver gives SQLite's result code; the low byte is the primary one.
  bool isNumber = false;
  const int code = error.nativeErrorCode().toInt(&isNumber) & 0xFF;
  QString why;
  if (isNumber)
    switch (code) {
    case 3:  // SQLITE_PERM
    case 8:  // SQLITE_READONLY
    case 14: // SQLITE_CANTOPEN
    case 23: // SQLITE_AUTH
      why = QStringLiteral("файл не открывается на запись");
      break;
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
      why = QStringLiteral("файл занят другой программой");
      break;
    case 10: // SQLITE_IOERR
      why = QStringLiteral("ошибка ввода-вывода");
      break;
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
      why = QStringLiteral("файл поврежден");
      break;
    case 13: // SQLITE_FULL
      why = QStringLiteral("нет места на диске");
      break;
    default:
      break;
    }
  // SQLite's own words are English: they follow only a failure that has no Russian name here.
  if (!why.isEmpty())
    return why;
  const QString text = error.text().trimmed();
  return isNumber ? QStringLiteral("ошибка SQLite %1 (%2)").arg(error.nativeErrorCode(), text)
                  : QStringLiteral("ошибка SQLite (%1)").arg(text);
}

QString ReasonOfLocalSqlError(const QSqlError &error, const QString &file) {
  bool isNumber = false;
  const int code = error.nativeErrorCode().toInt(&isNumber) & 0xFF;
  // A disk that filled up while the file was being made shows as a failed write, not as "full".
  // Qt's driver gives no code for some failures (a commit), so those are checked the same way.
  if (!isNumber || code == 10 /* SQLITE_IOERR */ || code == 13 /* SQLITE_FULL */)
    if (const long long free = FreeBytes(QFile::encodeName(QFileInfo(file).absolutePath()).toStdString());
        free >= 0 && free < 64 * 1024)
      return QStringLiteral("нет места на диске");
  return ReasonOfSqlError(error);
}

QString LocalFailureMessage(const QString &file, const QString &why) {
  return QStringLiteral("Журнал станций не записывается в файл %1: %2.\n"
                        "Настройку можно продолжать: записи журнала хранятся в памяти и будут записаны, "
                        "как только запись снова станет возможна.")
      .arg(file, why);
}

QString FactoryFailureMessage(const QString &server, const QString &why, const QString &file) {
  return QStringLiteral("Журнал станций не передается в базу данных завода %1: %2.\n"
                        "Настройку можно продолжать: записи сохраняются в файле %3 и будут переданы, "
                        "когда база станет доступна.")
      .arg(server, why, file);
}

QString LostAtExitMessage(int count, const QString &file, const QString &why) {
  return QStringLiteral("Не сохранены записи журнала станций: %1.\nФайл %2: %3.").arg(count).arg(file, why);
}

QString LocalRecoveredMessage(const QString &file) {
  return QStringLiteral("Журнал станций снова записывается в файл %1; записи, хранившиеся в памяти, записаны.")
      .arg(file);
}

QString FactoryRecoveredMessage(const QString &server) {
  return QStringLiteral("Журнал станций снова передается в базу данных завода %1.").arg(server);
}

QString RefusedRowMessage(const QString &server, const QString &id, const QString &why, const QString &file,
                          long long refusedInFile) {
  return QStringLiteral("База данных завода %1 не приняла запись журнала %2: %3.\n"
                        "Запись оставлена в файле %4 (таблица journal_refused); таких записей в файле: %5. "
                        "Остальные записи передаются.")
      .arg(server, id, why, file)
      .arg(refusedInFile);
}

QString ResentMessage(const QString &server, long long count) {
  return QStringLiteral("В базе данных завода %1 не нашлось записей журнала этого стенда, переданных раньше: %2. "
                        "Они переданы снова.")
      .arg(server)
      .arg(count);
}

QString UnsentAtExitMessage(long long count, const QString &file) {
  return QStringLiteral("Записи журнала станций ждут передачи в базу данных завода: %1. Они хранятся в файле %2 "
                        "и будут переданы при следующем запуске.")
      .arg(count)
      .arg(file);
}

QString RefusedAtExitMessage(long long count, const QString &file) {
  return QStringLiteral("Записи журнала станций, не принятые базой данных завода: %1. Они хранятся в файле %2 "
                        "(таблица journal_refused).")
      .arg(count)
      .arg(file);
}

QString MovedAsideMessage(const QString &file, const QString &unfitness, const QString &aside) {
  const QString what = unfitness == QLatin1String("newer")     ? QStringLiteral("записан более новой версией kstune")
                       : unfitness == QLatin1String("foreign") ? QStringLiteral("не является журналом kstune")
                                                               : QStringLiteral("поврежден");
  return QStringLiteral("Файл журнала станций %1 %2. Он сохранен без изменений как %3; журнал начат заново "
                        "в новом файле %1, записи этого сеанса сохраняются в нем.")
      .arg(file, what, aside);
}
