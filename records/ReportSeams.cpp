#include "records/ReportSeams.h"

#include "platform/office/OfficeBridge.h"

#include <QFileDialog>

#include <utility>

namespace {

TReportFileDialog &FileDialog() {
  static TReportFileDialog dialog = [](QWidget *parent, const QString &filter, const QString &folder) {
    return QFileDialog::getOpenFileName(parent, QString(), folder, filter);
  };
  return dialog;
}

TExcelFactory &Factory() {
  static TExcelFactory factory = [] { return NewExcelApplication(); };
  return factory;
}

} // namespace

QString ShowReportFileDialog(QWidget *parent, const QString &filter, const QString &folder) {
  return FileDialog()(parent, filter, folder);
}

std::unique_ptr<TExcelApplication> StartExcelApplication() { return Factory()(); }

TReportFileDialog SetReportFileDialog(TReportFileDialog dialog) {
  return std::exchange(FileDialog(), std::move(dialog));
}

TExcelFactory SetExcelFactory(TExcelFactory factory) { return std::exchange(Factory(), std::move(factory)); }
