#include "journal/FactoryUri.h"

#include <QByteArray>
#include <QStringList>
#include <QUrl>

namespace {

QString Decoded(const QString &part) { return QUrl::fromPercentEncoding(part.toUtf8()); }

// Takes "postgresql://" (or "postgres://") off; false when the address starts with neither.
bool TakeScheme(QString &rest) {
  const QStringList schemes = {QStringLiteral("postgresql://"), QStringLiteral("postgres://")};
  for (const QString &scheme : schemes)
    if (rest.startsWith(scheme)) {
      rest.remove(0, scheme.size());
      return true;
    }
  return false;
}

// "user[:password]@host[:port]": the user, whether a password was written (it is never kept),
// and the host with its port. The address shown keeps the user as written.
QString TakeUserInfo(const QString &authority, TFactoryUri &result, QString &display) {
  QString hostPort = authority;
  if (const qsizetype at = authority.lastIndexOf(QLatin1Char('@')); at >= 0) {
    QString userInfo = authority.left(at);
    hostPort = authority.mid(at + 1);
    if (const qsizetype colon = userInfo.indexOf(QLatin1Char(':')); colon >= 0) {
      result.HadPassword = true;
      userInfo.truncate(colon);
    }
    result.User = Decoded(userInfo);
    display += userInfo + QLatin1Char('@');
  }
  return hostPort;
}

// The host and the port; false, with the technician's message, for a port that is no port.
bool TakeHostPort(QString hostPort, TFactoryUri &result, QString &error) {
  // A bracketed IPv6 address may hold colons; the port follows the last one outside brackets.
  const qsizetype bracket = hostPort.lastIndexOf(QLatin1Char(']'));
  const qsizetype colon = hostPort.lastIndexOf(QLatin1Char(':'));
  if (colon > bracket) {
    bool ok = false;
    result.Port = hostPort.mid(colon + 1).toInt(&ok);
    if (!ok || result.Port <= 0 || result.Port > 65535) {
      error = QStringLiteral("неверный номер порта в адресе базы");
      return false;
    }
    hostPort.truncate(colon);
  }
  if (hostPort.startsWith(QLatin1Char('[')) && hostPort.endsWith(QLatin1Char(']')))
    hostPort = hostPort.mid(1, hostPort.size() - 2);
  result.Host = Decoded(hostPort);
  return true;
}

// The query: the known keys over what the address said, every other one handed to libpq as it
// is, and the address shown with every key but the password.
void TakeQuery(const QString &query, TFactoryUri &result, QString &display) {
  for (const QString &pair : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
    const qsizetype eq = pair.indexOf(QLatin1Char('='));
    const QString key = Decoded(eq < 0 ? pair : pair.left(eq));
    const QString value = eq < 0 ? QString() : Decoded(pair.mid(eq + 1));
    if (key == QLatin1String("host"))
      result.Host = value;
    else if (key == QLatin1String("port"))
      result.Port = value.toInt();
    else if (key == QLatin1String("dbname"))
      result.Database = value;
    else if (key == QLatin1String("user"))
      result.User = value;
    else if (key == QLatin1String("password"))
      result.HadPassword = true;
    else {
      result.Keywords.emplace_back(key, value);
    }
    if (key != QLatin1String("password"))
      display += (display.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?')) + pair;
  }
}

} // namespace

QString LibpqKeyword(const QString &key, const QString &value) {
  QString quoted = value;
  quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
  const bool plain = !value.isEmpty() && !value.contains(QLatin1Char(' ')) && quoted == value;
  return key + QLatin1Char('=') + (plain ? value : QLatin1Char('\'') + quoted + QLatin1Char('\''));
}

std::optional<TFactoryUri> ParseFactoryUri(const QString &uri, QString &error) {
  QString rest = uri.trimmed();
  if (!TakeScheme(rest)) {
    error = QStringLiteral("адрес базы должен начинаться с postgresql://");
    return std::nullopt;
  }
  TFactoryUri result;
  QString query;
  if (const qsizetype q = rest.indexOf(QLatin1Char('?')); q >= 0) {
    query = rest.mid(q + 1);
    rest.truncate(q);
  }
  QString path;
  if (const qsizetype slash = rest.indexOf(QLatin1Char('/')); slash >= 0) {
    path = rest.mid(slash + 1);
    rest.truncate(slash);
  }
  QString display = QStringLiteral("postgresql://");
  const QString hostPort = TakeUserInfo(rest, result, display);
  display += hostPort;
  if (!TakeHostPort(hostPort, result, error))
    return std::nullopt;
  result.Database = Decoded(path);
  if (!path.isEmpty())
    display += QLatin1Char('/') + path;
  TakeQuery(query, result, display);
  result.Display = display;
  return result;
}
