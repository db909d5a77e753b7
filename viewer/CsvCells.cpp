#include "viewer/CsvCells.h"

namespace viewer {

QByteArray CsvCell(const QString &text) {
  QString cell = text;
  if (!cell.isEmpty() && QStringLiteral("=+-@\t\r\n").contains(cell[0]))
    cell.prepend(QLatin1Char('\''));
  if (cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) || cell.contains(QLatin1Char('\n')) ||
      cell.contains(QLatin1Char('\r')) || cell.contains(QLatin1Char(';')))
    cell = QLatin1Char('"') + cell.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
  return cell.toUtf8();
}

QByteArray CsvTextCell(const QString &text, bool keep) {
  if (text.isEmpty())
    return {};
  if (!keep)
    return CsvCell(text);
  return "\"=\"\"" + text.toUtf8() + "\"\"\"";
}

} // namespace viewer
