#pragma once
// The spreadsheet application over an office instance of its own and its UNO bridge.
#include "platform/office/ExcelApplication.h"
#include "platform/office/OfficeOptions.h"

#include <memory>

class TUnoExcelApplication : public TExcelApplication {
public:
  // Starts a new hidden instance.
  explicit TUnoExcelApplication(const TOfficeOptions &options = {});
  ~TUnoExcelApplication() override;

  int LastUsedRow() override;
  bool FileChanged() override;
  void Reload() override;
  void Save() override;
  void Quit() override;
  bool Running() const override;
  pid_t ProcessGroup() const override;
  std::string Profile() const override;

private:
  void OpenWorkbook(const std::string &path) override;
  std::string CellValue(int row, int column) override;
  void SetCellValue(int row, int column, const std::string &text) override;

  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};
