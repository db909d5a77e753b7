#pragma once
// Which journal the viewer reads: the bench's own SQLite file, another SQLite file, or the
// factory's PostgreSQL database named by a libpq connection URI.
#include <QString>

#include <optional>

namespace viewer {

struct JournalSource {
  bool server = false;
  QString path; // SQLite file, when !server
  QString uri;  // postgresql://…, when server

  // For titles and messages: a server's URI never with its password.
  QString Display() const;
};

// $XDG_DATA_HOME/kstune/journal.sqlite, or ~/.local/share/kstune/journal.sqlite when unset or empty.
JournalSource LocalJournal();

// [Journal] Database of the options file, when it names a database.
std::optional<JournalSource> FactoryJournal();

// "postgresql://…" or "postgres://…" is a server; anything else (a path, or "file:" and a path)
// is an SQLite file.
JournalSource SourceFromArgument(const QString &argument);

// The URI as titles and messages show it: without a password, however it was given.
QString WithoutPassword(const QString &uri);

} // namespace viewer
