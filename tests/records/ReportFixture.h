#pragma once
// The report panel's tests on real workbooks through a real office: "..." with the file
// dialog answered by the test, every office instance's profile noted, and the runtime's boxes
// recorded.
#include "records/Report.h"
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "platform/office/OfficeBridge.h"
#include "records/ReportSeams.h"
#include "runtime/Exception.h"
#include "tests/platform/OfficeWorkbooks.h"
#include "tests/support/FileBytes.h"
#include "tests/support/QtApp.h"
#include "tests/support/TempConfigDir.h"

#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace report_test {

namespace fs = std::filesystem;

inline TOfficeWorkbooks &Workbooks() {
  static TOfficeWorkbooks workbooks;
  return workbooks;
}

inline TCellContent Text(const char *text) { return std::string(text); }

// A record line of all values 0.
inline const std::string Zeros = "K" + std::string(51, '0');

inline std::vector<std::string> FolderEntries(const fs::path &folder) {
  std::vector<std::string> names;
  for (const auto &entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class ReportFixture : public ::testing::Test, protected WithTestApp {
protected:
  ReportFixture() {
    EnablePanels(form);
    previousDialog = SetReportFileDialog([this](QWidget *, const QString &filter, const QString &folder) {
      dialogFilters.push_back(filter);
      dialogFolders.push_back(folder);
      return QString::fromStdString(chosenPath);
    });
    // The real application, with every instance's profile noted so the test can look for its
    // processes afterwards.
    previousFactory = SetExcelFactory([this] {
      const QCursor *cursor = QApplication::overrideCursor();
      cursorsAtStart.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
      auto app = NewExcelApplication();
      profiles.push_back(app->Profile());
      return app;
    });
  }
  ~ReportFixture() override {
    SetReportFileDialog(previousDialog);
    SetExcelFactory(previousFactory);
  }

  fs::path MakeReport(const std::string &name, const TWorkbookContent &content,
                      const char *filter = "MS Excel 97") {
    const fs::path path = dir.Root() / name;
    Workbooks().Make(path, content, filter);
    return path;
  }

  void Open(const fs::path &path) {
    chosenPath = path.string();
    OpenReport(form);
  }

  int LiveProcesses() const {
    int count = 0;
    for (const auto &profile : profiles)
      count += TOfficeProcess::CountProcesses(profile);
    return count;
  }

  TempConfigDir dir;
  BoxRecorder boxes;
  TForm1 form;
  std::string chosenPath;
  std::vector<QString> dialogFilters, dialogFolders;
  std::vector<std::string> profiles;
  std::vector<Qt::CursorShape> cursorsAtStart;
  TReportFileDialog previousDialog;
  TExcelFactory previousFactory;
};

} // namespace report_test
