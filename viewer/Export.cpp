#include "viewer/Export.h"

#include "journal/JournalSchema.h"

#include <QChart>
#include <QChartView>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace viewer {

namespace {

QByteArray Field(const QString &text) {
  QString cell = text;
  if (!cell.isEmpty() && QStringLiteral("=+-@\t\r").contains(cell[0]))
    cell.prepend(QLatin1Char('\''));
  if (cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) || cell.contains(QLatin1Char('\n')) ||
      cell.contains(QLatin1Char('\r')) || cell.contains(QLatin1Char(';')))
    cell = QLatin1Char('"') + QString(cell).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + QLatin1Char('"');
  return cell.toUtf8();
}

} // namespace

QByteArray CsvOf(const std::vector<TJournalRow> &records) {
  // The journal's own columns, in its own order, as its own texts: the CSV is the table.
  const QStringList &columns = JournalColumns();
  const qsizetype seriesColumn = columns.indexOf(QStringLiteral("series"));
  QByteArray csv("\xEF\xBB\xBF");
  csv += columns.join(QLatin1Char(',')).toUtf8() + "\r\n";
  for (const TJournalRow &r : records) {
    const QVariantList values = JournalRowValues(r);
    QByteArrayList line;
    for (qsizetype i = 0; i < values.size(); ++i) {
      const QString text = values[i].isNull() ? QString() : values[i].toString();
      if (i == seriesColumn)
        line << (text.isEmpty() ? QByteArray() : "\"=\"\"" + text.toUtf8() + "\"\"\"");
      else
        line << Field(text);
    }
    csv += line.join(',') + "\r\n";
  }
  return csv;
}

bool SaveFile(const QString &path, const QByteArray &bytes, QString *error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    if (error)
      *error = QStringLiteral("Файл %1 не записан: %2").arg(path, file.errorString());
    return false;
  }
  return true;
}

bool SaveHistoryPdf(const QString &path, const HistoryPage &page, QString *error) {
  QSaveFile file(path);
  auto fail = [&] {
    if (error)
      *error = QStringLiteral("Файл %1 не записан: %2").arg(path, file.errorString());
    return false;
  };
  if (!file.open(QIODevice::WriteOnly))
    return fail();
  {
    QPdfWriter writer(&file);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(150);
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setTitle(page.title);
    writer.setCreator(QStringLiteral("kstune-journal"));
    QPainter painter(&writer);
    if (!painter.isActive())
      return fail();
    const QRect area = painter.viewport();
    int y = 0;
    QFont font = painter.font();
    font.setPointSize(16);
    font.setBold(true);
    painter.setFont(font);
    const int titleHeight = painter.fontMetrics().height();
    painter.drawText(QRect(0, y, area.width(), titleHeight), Qt::AlignLeft, page.title);
    y += titleHeight + titleHeight / 2;
    font.setPointSize(9);
    font.setBold(false);
    painter.setFont(font);
    const int line = painter.fontMetrics().lineSpacing();
    for (const QString &text : page.lines) {
      painter.drawText(QRect(0, y, area.width(), line), Qt::AlignLeft, text);
      y += line;
    }
    y += line / 2;
    font.setFamily(QStringLiteral("DejaVu Sans Mono"));
    painter.setFont(font);
    for (const QString &text : page.valueLines) {
      painter.drawText(QRect(0, y, area.width(), line), Qt::AlignLeft, text);
      y += line;
    }
    y += line;
    if (y < area.height() - area.height() / 5) {
      // Drawn at screen size and scaled onto the page, so its fonts keep their proportions.
      QChartView view(TelemetryChart(page.telemetry, page.chartTitle));
      view.setRenderHint(QPainter::Antialiasing);
      view.resize(1000, 600);
      const int height = std::min(area.height() - y, area.width() * 6 / 10);
      view.render(&painter, QRectF(0, y, area.width(), height), view.rect());
    }
  }
  if (!file.commit())
    return fail();
  return true;
}

} // namespace viewer
