#pragma once
// Where the journal lives and what its table looks like: for kstune, and for any program that
// reads the journal (open the local file, select JournalColumnList() from JournalTable).
#include <QString>
#include <QStringList>

class QSqlDatabase;

inline constexpr const char *JournalTable = "journal";

// $XDG_DATA_HOME/kstune/journal.sqlite, or ~/.local/share/kstune/journal.sqlite when XDG_DATA_HOME
// is unset or empty. Asking creates nothing.
QString JournalFilePath();

// The columns in their fixed order, and the same joined by ", " for a select list.
const QStringList &JournalColumns();
QString JournalColumnList();

// Opens the local file under its own connection name through Qt's SQLite driver (read-only when
// asked); the caller removes the connection when done. False with the reason in error.
bool OpenLocalJournal(QSqlDatabase &db, const QString &connectionName, const QString &path, bool readOnly,
                      QString &error);

// The statements that make the table and its indexes, for SQLite and for PostgreSQL.
QStringList SqliteSchema();
QStringList PostgresSchema();
