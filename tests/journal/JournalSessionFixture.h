#pragma once
// The real window against the simulated station with the journal on, writing into a file of the
// test's own; the report's workbook is held in memory. For tests that script a session and then
// read what the journal kept.
#include "journal/Journal.h"
#include "platform/office/ExcelApplication.h"
#include "records/ReportSeams.h"
#include "tests/journal/JournalFiles.h"
#include "tests/support/WindowFixture.h"

#include <QString>

#include <map>
#include <string>
#include <utility>
#include <vector>

// A workbook held in memory, with the marker "Конец теста" in row 5.
class TMemoryWorkbook : public TExcelApplication {
public:
  int LastUsedRow() override { return 10; }
  bool FileChanged() override { return false; }
  void Reload() override {}
  void Save() override {}
  void Quit() override { running_ = false; }
  bool Running() const override { return running_; }
  pid_t ProcessGroup() const override { return 0; }
  std::string Profile() const override { return {}; }

private:
  void OpenWorkbook(const std::string &) override {}
  std::string CellValue(int row, int column) override {
    return row == 5 && column == 1 ? "Конец теста" : cells_[{row, column}];
  }
  void SetCellValue(int row, int column, const std::string &text) override { cells_[{row, column}] = text; }
  std::map<std::pair<int, int>, std::string> cells_;
  bool running_ = true;
};

class JournalSessionFixture : public LinkTest {
protected:
  void SetUp() override {
    LinkTest::SetUp();
    file = QString::fromStdString((dir.Root() / "data" / "journal.sqlite").string());
    TJournalSettings settings;
    settings.LocalFile = file;
    Journal().Start(std::move(settings));
    previousDialog = SetReportFileDialog([this](QWidget *, const QString &, const QString &) { return report; });
    previousFactory = SetExcelFactory([] { return std::make_unique<TMemoryWorkbook>(); });
  }
  void TearDown() override {
    Journal().Stop();
    SetReportFileDialog(previousDialog);
    SetExcelFactory(previousFactory);
    LinkTest::TearDown();
  }

  void Key(int key) {
    QMetaObject::invokeMethod(form.get(), [this, key] { form->FormKeyDown(key, {}); }, Qt::QueuedConnection);
    QCoreApplication::processEvents();
  }

  // The station gives up a half-finished exchange after a second of silence; the next starts clean.
  void LetTheStationResync() {
    station.ClearFaults();
    std::this_thread::sleep_for(TSimStation::ExchangeTimeout + 200ms);
  }

  std::vector<QStringList> Rows() {
    EXPECT_TRUE(Journal().WaitWritten(10s));
    return QueryJournal(file, QStringLiteral("SELECT operation, parameter, value, series, outcome, serial, model, "
                                             "detail, session, seq, port, at, id FROM journal ORDER BY rowid"));
  }

  QString file;
  QString report;
  TReportFileDialog previousDialog;
  TExcelFactory previousFactory;
};
