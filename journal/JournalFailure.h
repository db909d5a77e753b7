#pragma once
// Why the journal could not be written, in the technician's words, and the messages that say so.
#include <QString>

class QSqlError;

QString ReasonOfErrno(int error);
QString ReasonOfSqlError(const QSqlError &error);

QString LocalFailureMessage(const QString &file, const QString &why);
QString FactoryFailureMessage(const QString &server, const QString &why, const QString &file);
QString LostAtExitMessage(int count, const QString &file, const QString &why);
