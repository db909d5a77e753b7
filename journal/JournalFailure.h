#pragma once
// Why the journal could not be written, in the technician's words, and the messages that say so.
#include <QString>

class QSqlError;

QString ReasonOfErrno(int error);
QString ReasonOfSqlError(const QSqlError &error);
// The same for the file itself: a write that failed because its disk is full says so.
QString ReasonOfLocalSqlError(const QSqlError &error, const QString &file);

QString LocalFailureMessage(const QString &file, const QString &why);
QString FactoryFailureMessage(const QString &server, const QString &why, const QString &file);
QString LostAtExitMessage(int count, const QString &file, const QString &why);
QString LocalRecoveredMessage(const QString &file);
// unfitness: "damaged", "foreign" or "newer", as in the name the file was moved aside to.
QString MovedAsideMessage(const QString &file, const QString &unfitness, const QString &aside);
QString FactoryRecoveredMessage(const QString &server);
QString RefusedRowMessage(const QString &server, const QString &id, const QString &why, const QString &file,
                          long long refusedInFile);
QString ResentMessage(const QString &server, long long count);
QString UnsentAtExitMessage(long long count, const QString &file);
QString RefusedAtExitMessage(long long count, const QString &file);
