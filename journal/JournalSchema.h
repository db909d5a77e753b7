#pragma once
// Where the journal lives, what its table looks like and how a record goes in and comes back:
// for kstune, and for any program that reads the journal. The columns stand in one order, here;
// binding and reading follow it.
#include "journal/FactoryUri.h"
#include "journal/JournalRecord.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <chrono>

class QSqlDatabase;
class QSqlQuery;

inline constexpr const char *JournalTable = "journal";

// <UserFolder(TUserFolder::Data)>/kstune/journal.sqlite: $XDG_DATA_HOME/kstune/journal.sqlite, or
// ~/.local/share/kstune/journal.sqlite when XDG_DATA_HOME is unset or empty. Asking creates nothing.
QString JournalFilePath();

// The columns in their fixed order, and the same joined by ", " for a select list.
const QStringList &JournalColumns();
QString JournalColumnList();
// "SELECT id, at, … FROM journal " (names quoted: "operator" is a word of SQL).
QString JournalSelect();

// A record's values in column order, NULL where the record has none: for binding.
QVariantList JournalRowValues(const TJournalRow &row);
// A record from a query that selected the columns in their order, from column first on.
TJournalRow JournalRowAt(const QSqlQuery &query, int first = 0);

// Opens the local file under its own connection name through Qt's SQLite driver (read-only when
// asked); the caller removes the connection when done. False with the reason in error.
bool OpenLocalJournal(QSqlDatabase &db, const QString &connectionName, const QString &path, bool readOnly,
                      QString &error);
// Opens the factory's server through Qt's PostgreSQL driver, for a reader, with the keywords and
// bounds the copy to the server connects with (its statements may take statementTime on a big
// journal). False with the driver's words in error; driverMissing when Qt has no such driver.
bool OpenFactoryJournal(QSqlDatabase &db, const QString &connectionName, const TFactoryUri &server, QString &error,
                        bool &driverMissing, const char *applicationName = "kstune-journal",
                        std::chrono::milliseconds statementTime = std::chrono::minutes(1));

// The statements that make the table and its indexes, for SQLite and for PostgreSQL.
QStringList SqliteSchema();
// The copy's own bookkeeping in the local file, which a file of an older kstune may lack.
QStringList SqliteCopySchema();
QStringList PostgresSchema();
