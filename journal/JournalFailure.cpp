#include "journal/JournalFailure.h"

#include "platform/os/OsErrorReason.h"

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
  const QString text = error.text().trimmed();
  if (why.isEmpty())
    return text;
  return text.isEmpty() ? why : why + QStringLiteral(" (") + text + QLatin1Char(')');
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
