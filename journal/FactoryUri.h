#pragma once
// The factory database as the options file names it: a libpq connection URI,
// postgresql://[user@][host][:port][/database][?key=value&...], host a name, an address or the
// folder of a Unix socket (written %2F... or given as ?host=/path). A password is never taken
// from it: libpq finds it in ~/.pgpass or the service file.
#include <QString>

#include <optional>
#include <utility>
#include <vector>

struct TFactoryUri {
  QString Host;
  int Port = -1;
  QString Database;
  QString User;
  std::vector<std::pair<QString, QString>> Keywords; // further libpq keywords, as the URI gave them
  bool HadPassword = false; // the URI carried one, which is not used
  QString Display;          // the URI without its password, for messages and as the server's name
};

// libpq's own keyword syntax, "key=value": a value with blanks or quotes is quoted.
QString LibpqKeyword(const QString &key, const QString &value);

// Nullopt, with the reason (Russian) in error, when the text is not such a URI.
std::optional<TFactoryUri> ParseFactoryUri(const QString &uri, QString &error);
