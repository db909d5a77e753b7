#include "viewer/VisitsExport.h"

#include "viewer/CsvCells.h"
#include "viewer/Export.h"
#include "viewer/StrictSeries.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <xlsxwriter.h>


#include <cerrno>
#include <cstring>

namespace viewer {

QString EndingText(VisitEnding ending) {
  switch (ending) {
  case VisitEnding::LinkLost:
    return QStringLiteral("связь прервалась");
  case VisitEnding::Interrupted:
    return QStringLiteral("прерван");
  default:
    return QStringLiteral("завершен");
  }
}

const QStringList &VisitColumns() {
  static const QStringList columns{QStringLiteral("Серийный номер"), QStringLiteral("Модель"),
                                   QStringLiteral("Стенд"),          QStringLiteral("Оператор"),
                                   QStringLiteral("Начало"),         QStringLiteral("Конец"),
                                   QStringLiteral("Как закончился"), QStringLiteral("Отправлено значений"),
                                   QStringLiteral("Значения на выходе"), QStringLiteral("Неточные значения")};
  return columns;
}

namespace {

// Serials are six hex digits; anything else in the column is not kept as a formula.
bool SoundSerial(const QString &serial) {
  static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{1,16}$"));
  return hex.match(serial).hasMatch();
}

// Local time, the way the list shows it, which both spreadsheets read as a date and time.
QString DateText(const QDateTime &at) {
  return at.isValid() ? at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

enum Column { Serial, Model, Bench, Operator, Start, End, Ending, Sent, Series, Uncertain, ColumnCount };

bool SaveXlsx(const QString &target, const std::vector<VisitRow> &visits, QString *why) {
  const QByteArray file = QFile::encodeName(target);
  lxw_workbook *book = workbook_new(file.constData());
  if (!book) {
    *why = QString::fromLocal8Bit(std::strerror(errno ? errno : EIO));
    return false;
  }
  lxw_worksheet *sheet = workbook_add_worksheet(book, "Визиты");
  lxw_format *head = workbook_add_format(book);
  format_set_bold(head);
  format_set_bottom(head, LXW_BORDER_THIN);
  lxw_format *date = workbook_add_format(book);
  format_set_num_format(date, "yyyy-mm-dd hh:mm:ss");
  // Text, so that nobody's later typing into the column turns a serial back into a number.
  lxw_format *text = workbook_add_format(book);
  format_set_num_format(text, "@");
  lxw_format *bad = workbook_add_format(book);
  format_set_font_color(bad, 0xB02020);
  const double widths[ColumnCount] = {16, 8, 14, 14, 20, 20, 18, 12, 110, 18};
  for (int c = 0; c < ColumnCount; ++c)
    worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), widths[c],
                         c == Serial || c == Series ? text : nullptr);
  for (int c = 0; c < ColumnCount; ++c)
    worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), VisitColumns()[c].toUtf8().constData(), head);
  auto put = [&](lxw_row_t row, int column, const QString &value, lxw_format *format = nullptr) {
    if (!value.isEmpty())
      worksheet_write_string(sheet, row, static_cast<lxw_col_t>(column), value.toUtf8().constData(), format);
  };
  auto putTime = [&](lxw_row_t row, int column, const QDateTime &utc) {
    if (!utc.isValid())
      return;
    const QDateTime at = utc.toLocalTime();
    lxw_datetime when{at.date().year(), at.date().month(), at.date().day(), at.time().hour(), at.time().minute(),
                      at.time().second() + at.time().msec() / 1000.0};
    worksheet_write_datetime(sheet, row, static_cast<lxw_col_t>(column), &when, date);
  };
  lxw_row_t row = 1;
  for (const VisitRow &v : visits) {
    put(row, Serial, v.serial, text);
    put(row, Model, v.model);
    put(row, Bench, v.bench);
    put(row, Operator, v.operatorName);
    putTime(row, Start, v.start);
    putTime(row, End, v.end);
    put(row, Ending, EndingText(v.ending), v.ending == VisitEnding::Complete ? nullptr : bad);
    worksheet_write_number(sheet, row, Sent, v.valuesSent, nullptr);
    put(row, Series, v.series, text);
    put(row, Uncertain, v.uncertain);
    ++row;
  }
  worksheet_freeze_panes(sheet, 1, 0);
  worksheet_autofilter(sheet, 0, 0, row > 1 ? row - 1 : 1, ColumnCount - 1);
  const lxw_error result = workbook_close(book);
  if (result != LXW_NO_ERROR) {
    *why = QString::fromUtf8(lxw_strerror(result));
    return false;
  }
  return true;
}

} // namespace

QByteArray VisitsCsv(const std::vector<VisitRow> &visits) {
  QByteArray csv("\xEF\xBB\xBF");
  QByteArrayList head;
  for (const QString &caption : VisitColumns())
    head << CsvCell(caption);
  csv += head.join(',') + "\r\n";
  for (const VisitRow &v : visits) {
    const QByteArrayList cells{CsvTextCell(v.serial, SoundSerial(v.serial)),
                               CsvCell(v.model),
                               CsvCell(v.bench),
                               CsvCell(v.operatorName),
                               CsvCell(DateText(v.start)),
                               CsvCell(DateText(v.end)),
                               CsvCell(EndingText(v.ending)),
                               QByteArray::number(v.valuesSent),
                               CsvTextCell(v.series, ValuesFromSeries(v.series).has_value()),
                               CsvCell(v.uncertain)};
    csv += cells.join(',') + "\r\n";
  }
  return csv;
}

bool SaveVisits(const QString &path, const std::vector<VisitRow> &visits, QString *error) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("csv"))
    return SaveFile(path, VisitsCsv(visits), error);
  auto fail = [&](const QString &why) {
    if (error)
      *error = QStringLiteral("Файл %1 не записан: %2").arg(path, why);
    return false;
  };
  if (suffix != QLatin1String("xlsx"))
    return fail(QStringLiteral("нужно имя с расширением .xlsx или .csv"));
  // The library writes to a name: a private scratch file, whose bytes then go into place the way
  // every other export's do (whole or not at all, with what any new file of the user gets).
  QTemporaryFile scratch(QDir::tempPath() + QStringLiteral("/kstune-visits-XXXXXX.xlsx"));
  if (!scratch.open())
    return fail(scratch.errorString());
  scratch.close();
  QString why;
  if (!SaveXlsx(scratch.fileName(), visits, &why))
    return fail(why);
  QFile written(scratch.fileName());
  if (!written.open(QIODevice::ReadOnly))
    return fail(written.errorString());
  return SaveFile(path, written.readAll(), error);
}

} // namespace viewer
