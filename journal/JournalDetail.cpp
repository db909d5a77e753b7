#include "journal/JournalDetail.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

const QString Separator = QStringLiteral("; ");

// The endings, in the order they are written after the operation's own words.
const QRegularExpression MissingPattern(QStringLiteral("^нет ответа на байт (\\d+)$"));
const QRegularExpression ReceivedPattern(QStringLiteral("^получено значений: (\\d+) из 34$"));
const QRegularExpression BrokenPattern(QStringLiteral("^прервано ошибкой после байта (\\d+)$"));
const QRegularExpression StalePattern(QStringLiteral("^отброшено устаревших байт: (\\d+)$"));
const QString SurplusText = QStringLiteral("после блока значений пришли лишние байты");

std::optional<int> Captured(const QRegularExpression &pattern, const QString &part) {
  const QRegularExpressionMatch match = pattern.match(part);
  if (!match.hasMatch())
    return std::nullopt;
  bool ok = false;
  const int number = match.captured(1).toInt(&ok);
  return ok ? std::optional<int>(number) : std::nullopt;
}

} // namespace

QString JournalDetailText(const TJournalDetail &detail) {
  QStringList parts;
  if (!detail.Own.isEmpty())
    parts << detail.Own;
  if (detail.ValuesReceived)
    parts << QStringLiteral("получено значений: %1 из %2").arg(*detail.ValuesReceived).arg(ReadAllBlock);
  if (detail.MissingAnswer)
    parts << QStringLiteral("нет ответа на байт %1").arg(*detail.MissingAnswer);
  if (detail.BrokenAfter)
    parts << QStringLiteral("прервано ошибкой после байта %1").arg(*detail.BrokenAfter);
  if (detail.Surplus)
    parts << SurplusText;
  if (detail.StaleBytes > 0)
    parts << QStringLiteral("отброшено устаревших байт: %1").arg(detail.StaleBytes);
  return parts.isEmpty() ? QString() : parts.join(Separator);
}

TJournalDetail JournalDetailOf(const QString &text) {
  TJournalDetail detail;
  QStringList parts = text.split(Separator);
  // Endings are taken from the back; the operation's own words may hold "; " themselves (a
  // report's file name), so whatever is left in front is its own.
  while (!parts.isEmpty()) {
    const QString &last = parts.back();
    if (auto n = Captured(StalePattern, last); n && detail.StaleBytes == 0)
      detail.StaleBytes = *n;
    else if (last == SurplusText && !detail.Surplus)
      detail.Surplus = true;
    else if (auto n = Captured(BrokenPattern, last); n && !detail.BrokenAfter)
      detail.BrokenAfter = n;
    else if (auto n = Captured(MissingPattern, last); n && !detail.MissingAnswer)
      detail.MissingAnswer = n;
    else if (auto n = Captured(ReceivedPattern, last); n && !detail.ValuesReceived)
      detail.ValuesReceived = n;
    else
      break;
    parts.removeLast();
  }
  detail.Own = parts.join(Separator);
  return detail;
}

QString DacDetail(const TDacBytes &bytes) {
  QStringList hex;
  for (const uint8_t b : bytes)
    hex << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
  return hex.join(QLatin1Char(' '));
}

std::optional<TDacBytes> DacOf(const QString &own) {
  // Also sixteen digits run together, as a hand-made or older row may have them.
  static const QRegularExpression separators(QStringLiteral("[\\s:,]+"));
  const QStringList parts = own.trimmed().split(separators, Qt::SkipEmptyParts);
  QStringList bytes;
  if (parts.size() == 1 && parts[0].size() == 16) {
    for (int i = 0; i < 16; i += 2)
      bytes << parts[0].mid(i, 2);
  } else if (parts.size() == 8) {
    bytes = parts;
  } else {
    return std::nullopt;
  }
  TDacBytes values{};
  for (size_t i = 0; i < values.size(); ++i) {
    const QString &b = bytes[static_cast<qsizetype>(i)];
    bool ok = false;
    const int v = b.toInt(&ok, 16);
    if (!ok || b.size() > 2 || v < 0)
      return std::nullopt;
    values[i] = static_cast<uint8_t>(v);
  }
  return values;
}

QString ReflForwDetail(int refl, int forw) { return QStringLiteral("REFL=%1 FORW=%2").arg(refl).arg(forw); }

std::optional<std::pair<int, int>> ReflForwOf(const QString &own) {
  static const QRegularExpression pattern(QStringLiteral("^REFL\\s*=\\s*(\\d{1,3})\\s+FORW\\s*=\\s*(\\d{1,3})$"));
  const QRegularExpressionMatch match = pattern.match(own.trimmed());
  if (!match.hasMatch())
    return std::nullopt;
  const int refl = match.captured(1).toInt(), forw = match.captured(2).toInt();
  if (refl > 255 || forw > 255)
    return std::nullopt;
  return std::pair{refl, forw};
}

QString ModelIndexDetail(int index) { return QString::number(index & 0xFF); }

std::optional<int> ModelIndexOf(const QString &own) {
  static const QRegularExpression digits(QStringLiteral("^\\d{1,3}$"));
  if (!digits.match(own).hasMatch())
    return std::nullopt;
  const int index = own.toInt();
  return index <= 255 ? std::optional<int>(index) : std::nullopt;
}

QString SessionEndDetail(TSessionEnd how) {
  switch (how) {
  case TSessionEnd::WindowClosed:
    return QStringLiteral("окно kstune закрыто при подключенной станции");
  case TSessionEnd::Sigint:
    return QStringLiteral("kstune остановлен сигналом SIGINT");
  case TSessionEnd::Sigterm:
    return QStringLiteral("kstune остановлен сигналом SIGTERM");
  case TSessionEnd::Sighup:
    return QStringLiteral("kstune остановлен сигналом SIGHUP");
  case TSessionEnd::Reconnected:
    return QStringLiteral("новое подключение без отключения");
  }
  return {};
}
