#pragma once
// The spreadsheet application of the report, reached the way the tool always reached it: an
// application object with "WorkBooks"."Open", "cells"(row, column)."Value" and "Quit". Behind it
// runs a hidden, headless office instance of its own, started for this object and ended with
// it. Every failure is an Exception with a message.
#include "platform/office/OfficeOptions.h"

#include <memory>
#include <string>
#include <sys/types.h>

class TExcelApplication;

// "cells"(row, column): one cell of the first worksheet; rows and columns count from 1.
class TExcelCell {
public:
  // "Value" read: the cell's value as text: a text cell's text, a number in its shortest
  // decimal form, empty for an empty cell.
  std::string Value() const;
  // "Value" write: the text as it is, stored as text.
  void SetValue(const std::string &text) const;

private:
  friend class TExcelApplication;
  TExcelCell(TExcelApplication &application, int row, int column)
      : application_(application), row_(row), column_(column) {}
  TExcelApplication &application_;
  int row_;
  int column_;
};

// "WorkBooks": the workbooks of the application; it holds one at a time.
class TWorkBooks {
public:
  // "Open": opens the workbook at path (.xls, .xlsx or .ods). A file that is not a workbook is
  // refused, so it is never stored over.
  void Open(const std::string &path);

private:
  friend class TExcelApplication;
  explicit TWorkBooks(TExcelApplication &application) : application_(application) {}
  TExcelApplication &application_;
};

class TExcelApplication {
public:
  // Starts a new hidden instance.
  explicit TExcelApplication(const TOfficeOptions &options = {});
  // Ends the instance; an unsaved workbook is discarded.
  ~TExcelApplication();
  TExcelApplication(const TExcelApplication &) = delete;
  TExcelApplication &operator=(const TExcelApplication &) = delete;

  TWorkBooks &WorkBooks() { return workBooks_; }
  TExcelCell cells(int row, int column) { return TExcelCell(*this, row, column); }
  // The last row of the first worksheet's used area (1 for an empty sheet).
  int LastUsedRow();
  // Stores the workbook into its own file, in the format it was loaded in.
  void Save();
  // "Quit": closes the workbook without saving and ends the instance.
  void Quit();

  // False once quit, or once the instance has died or stopped answering.
  bool Running() const;
  // The instance's process group and profile folder (every process of the instance names it).
  pid_t ProcessGroup() const;
  std::string Profile() const;

private:
  friend class TWorkBooks;
  friend class TExcelCell;
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
  TWorkBooks workBooks_;
};
