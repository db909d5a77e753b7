#include "viewer/Export.h"

#include "journal/JournalSchema.h"

#include <QAbstractAxis>
#include <QChart>
#include <QCoreApplication>
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
    // A paragraph wraps within the page's width and goes to a new page when it does not fit.
    auto paragraph = [&](const QString &text, const QFont &font, int flags) {
      painter.setFont(font);
      const QRect bounds = painter.boundingRect(QRect(0, 0, area.width(), area.height()), flags, text);
      if (y > 0 && y + bounds.height() > area.height()) {
        writer.newPage();
        y = 0;
      }
      painter.drawText(QRect(0, y, area.width(), bounds.height()), flags, text);
      y += bounds.height();
    };
    QFont title = painter.font();
    title.setPointSize(16);
    title.setBold(true);
    QFont text = painter.font();
    text.setPointSize(10);
    QFont mono = text;
    mono.setFamily(QStringLiteral("DejaVu Sans Mono"));
    mono.setPointSize(9);
    const int gap = QFontMetrics(text, &writer).lineSpacing() / 2;
    paragraph(page.title, title, Qt::AlignLeft | Qt::TextWordWrap);
    y += gap;
    for (const QString &line : page.lines)
      paragraph(line, text, Qt::AlignLeft | Qt::TextWordWrap);
    y += gap;
    if (!page.valuesSummary.isEmpty())
      paragraph(page.valuesSummary, text, Qt::AlignLeft | Qt::TextWordWrap);
    for (const QString &line : page.valueLines)
      paragraph(line, mono, Qt::AlignLeft);
    if (!page.series.isEmpty()) {
      y += gap;
      paragraph(QStringLiteral("Числовой ряд (все 102 цифры):"), text, Qt::AlignLeft);
      // The whole series, broken between groups of three where the line ends.
      paragraph(page.series, mono, Qt::AlignLeft | Qt::TextWrapAnywhere);
    }
    y += gap;
    paragraph(QStringLiteral("Подпись: ____________________    Дата: ____________"), text, Qt::AlignLeft);
    // The chart on a page of its own, at the page's full width: drawn at a screen size whose
    // fonts stay readable once scaled onto the paper.
    writer.newPage();
    y = 0;
    paragraph(QStringLiteral("Телеметрия: %1").arg(page.chartTitle), text, Qt::AlignLeft | Qt::TextWordWrap);
    y += gap;
    QChartView view(TelemetryChart(page.telemetry, page.chartTitle));
    view.setRenderHint(QPainter::Antialiasing);
    QChart *chart = view.chart();
    QFont labels = chart->font();
    labels.setPixelSize(13);
    for (QAbstractAxis *axis : chart->axes()) {
      axis->setLabelsFont(labels);
      QFont axisTitle = labels;
      axisTitle.setBold(true);
      axis->setTitleFont(axisTitle);
    }
    QFont legend = labels;
    legend.setPixelSize(14);
    chart->legend()->setFont(legend);
    view.resize(1000, 700);
    // Laid out only once shown: shown off the screen, so nothing flashes on the desk.
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.show();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const int height = std::min(area.height() - y, area.width() * 7 / 10);
    view.render(&painter, QRectF(0, y, area.width(), height), view.rect());
  }
  if (!file.commit())
    return fail();
  return true;
}

} // namespace viewer
