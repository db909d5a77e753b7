#pragma once
// The two outside parties of the report, replaceable by tests: the open-file dialog of "..." and
// the start of a spreadsheet application instance.
#include <QString>

#include <functional>
#include <memory>

class QWidget;
class TExcelApplication;

// Shows the open-file dialog with a filter (in Qt's form) and an initial folder; returns the
// chosen path, or an empty text when the user cancels.
using TReportFileDialog =
    std::function<QString(QWidget *parent, const QString &filter, const QString &folder)>;
// Starts a new, hidden spreadsheet application instance; throws EOfficeMissing without the
// office, Exception when it cannot start.
using TExcelFactory = std::function<std::unique_ptr<TExcelApplication>()>;

QString ShowReportFileDialog(QWidget *parent, const QString &filter, const QString &folder);
std::unique_ptr<TExcelApplication> StartExcelApplication();

// Install a replacement and return the previous one.
TReportFileDialog SetReportFileDialog(TReportFileDialog dialog);
TExcelFactory SetExcelFactory(TExcelFactory factory);
