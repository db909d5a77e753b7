#include "records/Report.h"

#include "journal/Journal.h"
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "params/ParamTable.h"
#include "platform/office/OfficeBridge.h"
#include "platform/WindowsDirectory.h"
#include "records/ReportAccess.h"
#include "records/ReportRecord.h"
#include "records/ReportSeams.h"
#include "runtime/Dialogs.h"
#include "runtime/StrToInt.h"

#include <QApplication>

namespace {

// Qt's form of the filter "Файлы(*.xls)|*.xls" first (the description is shown, the pattern
// applies), then the other workbook formats the report works with, then every file.
const char *const ReportFilter = "Файлы(*.xls);;Рабочие книги (*.xlsx *.xlsm *.ods);;Все файлы (*)";
const char *const FileOpenedText = "Файл открыт";
const char *const SeriesIncomplete = "Вы ввели не все цифры";
const char *const NoMarker = "В отчете не найдена строка \"Конец теста\". Запись не выполнена.";
const char *const KeepsChanging =
    "Отчет все время сохраняет другая программа. Закройте ее и нажмите \"Запись\" снова.";
// Another program saving the report at the very moment of every store is not to be expected.
constexpr int StoreAttempts = 3;

// The instance is done with: it ends (without storing anything not stored yet), and "Запись"
// waits for the next "...".
void EndReport(TForm1 &form) {
  form.MainState.ReportWorkbook.reset();
  SetControlEnabled(form, form.BitBtn24, false);
}

// Ends the report on every way out of "Запись", errors included.
class TReportEnd {
public:
  explicit TReportEnd(TForm1 &form) : form_(form) {}
  ~TReportEnd() { EndReport(form_); }
  TReportEnd(const TReportEnd &) = delete;
  TReportEnd &operator=(const TReportEnd &) = delete;

private:
  TForm1 &form_;
};

// The busy cursor while the office starts and loads: the window does not answer meanwhile.
class TBusyCursor {
public:
  TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
  TBusyCursor(const TBusyCursor &) = delete;
  TBusyCursor &operator=(const TBusyCursor &) = delete;
};

} // namespace

void OpenReport(TForm1 &form) {
  // "C:\" has no meaning here; the home folder is where the technician's files are.
  const QString path = ShowReportFileDialog(&form, QString::fromUtf8(ReportFilter), QString::fromStdString(HomeDirectory()));
  if (path.isEmpty())
    return;
  // The earlier instance goes first, so that a failed start or open leaves none behind.
  EndReport(form);
  const std::string file = path.toStdString();
  if (const std::string refusal = ReportRefusal(file); !refusal.empty()) {
    ShowMessageBox(refusal);
    return;
  }
  auto &workbook = form.MainState.ReportWorkbook;
  std::string missing;
  {
    TBusyCursor busy;
    try {
      workbook = StartExcelApplication();
      workbook->WorkBooks().Open(file);
    } catch (const EOfficeMissing &e) {
      missing = e.Message;
    } catch (...) {
      workbook.reset();
      throw;
    }
  }
  if (!missing.empty()) {
    ShowMessageBox(missing);
    return;
  }
  SetControlEnabled(form, form.BitBtn24, true);
  form.Edit20->setText(QString::fromUtf8(FileOpenedText));
  Journal().ReportOpened(file);
}

void WriteReport(TForm1 &form) {
  if (!form.MainState.ReportWorkbook) {
    // Only reachable if "Запись" was left enabled without a workbook: put it right.
    EndReport(form);
    return;
  }
  TReportEnd end(form);
  TExcelApplication &app = *form.MainState.ReportWorkbook;
  const auto [first, second] = RecordLines(form.MainState.ParamValues);
  int recordRow = 0;

  for (int attempt = 1;; ++attempt) {
    // Someone saved the report since "...": the record goes into the file as it is now.
    if (app.FileChanged())
      app.Reload();
    // Bounded by the used area: below it every cell is empty and cannot be the marker.
    const int lastRow = app.LastUsedRow();
    int marker = 0;
    for (int row = 1; row <= lastRow && marker == 0; ++row)
      if (app.cells(row, 1).Value() == TestEndMarker)
        marker = row;
    if (marker == 0) {
      EndReport(form);
      ShowMessageBox(NoMarker);
      return;
    }
    app.cells(marker + 1, 1).SetValue(first);
    app.cells(marker + 2, 1).SetValue(second);
    recordRow = marker + 1;
    // The record is kept only if it reaches the file: store in the workbook's own format first.
    try {
      app.Save();
      break;
    } catch (const EReportChanged &) {
      if (attempt == StoreAttempts) {
        EndReport(form);
        ShowMessageBox(KeepsChanging);
        return;
      }
    }
  }
  Journal().ReportWritten(recordRow);
  app.Quit();
}

void ApplyNumberSeries(TForm1 &form) {
  QString series = form.Edit20->text();
  if (series.length() != params::NumberSeriesLength) {
    ShowMessageBox(SeriesIncomplete);
    return;
  }
  for (int k = 1; k <= ParamCount; ++k) {
    form.MainState.ParamValues[k] =
        static_cast<uint8_t>(StrToInt(series.left(params::ValueGroupDigits).toStdString()));
    series.remove(0, params::ValueGroupDigits);
  }
  ShowValues(form);
}
