#include "journal/JournalTime.h"

namespace {

// The journal's own spelling, read without the general parser: the viewer's station list reads
// a hundred thousand of them at start.
QDateTime IsoUtc(const QString &text) {
  static constexpr char pattern[] = "dddd-dd-ddTdd:dd:dd.dddZ";
  if (text.size() != 24)
    return {};
  int digits[17];
  int n = 0;
  for (int i = 0; i < 24; ++i) {
    const char16_t c = text[i].unicode();
    if (pattern[i] == 'd') {
      if (c < '0' || c > '9')
        return {};
      digits[n++] = c - '0';
    } else if (c != static_cast<char16_t>(pattern[i])) {
      return {};
    }
  }
  auto number = [&](int from, int count) {
    int v = 0;
    for (int i = from; i < from + count; ++i)
      v = v * 10 + digits[i];
    return v;
  };
  const QDate date(number(0, 4), number(4, 2), number(6, 2));
  const QTime time(number(8, 2), number(10, 2), number(12, 2), number(14, 3));
  if (!date.isValid() || !time.isValid())
    return {};
  return QDateTime(date, time, Qt::UTC);
}

} // namespace

QString JournalTimeText(const QDateTime &at) {
  return at.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QDateTime JournalTimeOf(const QVariant &stored) {
  if (stored.isNull())
    return {};
  if (stored.metaType().id() == QMetaType::QDateTime)
    return stored.toDateTime().toUTC();
  const QString text = stored.toString();
  if (QDateTime at = IsoUtc(text); at.isValid())
    return at;
  // Another ISO form (a row typed in by hand, a server's text): read it, but only with its zone.
  QDateTime at = QDateTime::fromString(text, Qt::ISODateWithMs);
  return at.isValid() ? at.toUTC() : QDateTime();
}

QVariant JournalTimeParameter(const QDateTime &at, bool server) {
  if (server)
    return at.toUTC();
  return JournalTimeText(at);
}
