#pragma once
// The spreadsheet application of the report, reached the way the tool always reached it: an
// application object with "WorkBooks"."Open", "cells"(row, column)."Value" and "Quit". Behind it
// runs a hidden, headless office instance of its own, started for this object and ended with
// it. The implementation lives in the office bridge module, loaded at the first use
// (OfficeBridge.h), so that the program starts and works without the office. Every failure is
// an Exception with a message.
#include "runtime/Exception.h"

#include <string>
#include <sys/types.h>

class TExcelApplication;

// The workbook's file changed on disk after it was loaded (another program saved it).
class EReportChanged : public Exception {
public:
  using Exception::Exception;
};

// "cells"(row, column): one cell of the active worksheet; rows and columns count from 1.
class TExcelCell {
public:
  // "Value" read: the cell's value as text: a text cell's text, a number in its shortest
  // decimal form, empty for an empty cell.
  inline std::string Value() const;
  // "Value" write: the text as it is, stored as text.
  inline void SetValue(const std::string &text) const;

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
  // "Open": opens the workbook at path (.xls, .xlsx or .ods) for writing. A file that is not a
  // workbook, or that the office would only open read-only, is refused.
  inline void Open(const std::string &path);

private:
  friend class TExcelApplication;
  explicit TWorkBooks(TExcelApplication &application) : application_(application) {}
  TExcelApplication &application_;
};

class TExcelApplication {
public:
  // Ends the instance; an unsaved workbook is discarded.
  virtual ~TExcelApplication() = default;
  TExcelApplication(const TExcelApplication &) = delete;
  TExcelApplication &operator=(const TExcelApplication &) = delete;

  TWorkBooks &WorkBooks() { return workBooks_; }
  TExcelCell cells(int row, int column) { return TExcelCell(*this, row, column); }

  // The last row of the active worksheet's used area (1 for an empty sheet).
  virtual int LastUsedRow() = 0;
  // True when the file on disk is no longer the one loaded (another program saved it).
  virtual bool FileChanged() = 0;
  // Loads the workbook again from the file as it is now; what was written is dropped.
  virtual void Reload() = 0;
  // Stores the workbook in the format it was loaded in: into a temporary file beside it, then
  // renamed over it, so the file is never half-written. Throws EReportChanged (and stores
  // nothing) when the file changed on disk since it was loaded.
  virtual void Save() = 0;
  // "Quit": closes the workbook without saving and ends the instance.
  virtual void Quit() = 0;

  // False once quit, or once the instance has died or stopped answering.
  virtual bool Running() const = 0;
  // The instance's process group and profile folder (every process of the instance names it).
  virtual pid_t ProcessGroup() const = 0;
  virtual std::string Profile() const = 0;

protected:
  TExcelApplication() : workBooks_(*this) {}

private:
  friend class TWorkBooks;
  friend class TExcelCell;
  virtual void OpenWorkbook(const std::string &path) = 0;
  virtual std::string CellValue(int row, int column) = 0;
  virtual void SetCellValue(int row, int column, const std::string &text) = 0;

  TWorkBooks workBooks_;
};

std::string TExcelCell::Value() const { return application_.CellValue(row_, column_); }
void TExcelCell::SetValue(const std::string &text) const { application_.SetCellValue(row_, column_, text); }
void TWorkBooks::Open(const std::string &path) { application_.OpenWorkbook(path); }
