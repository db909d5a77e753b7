// "..." and "Запись" of the report panel, on real .xls workbooks through a real office.
#include "records/Report.h"
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "platform/office/ExcelApplication.h"
#include "records/ReportRecord.h"
#include "records/ReportSeams.h"
#include "runtime/Exception.h"
#include "tests/platform/OfficeWorkbooks.h"
#include "tests/support/QtApp.h"
#include "tests/support/TempConfigDir.h"

#include <QDir>

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

TOfficeWorkbooks &Workbooks() {
  static TOfficeWorkbooks workbooks;
  return workbooks;
}

std::string FileBytes(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TCellContent Text(const char *text) { return std::string(text); }

class ReportTest : public ::testing::Test, protected WithTestApp {
protected:
  ReportTest() {
    EnablePanels(form);
    previousDialog = SetReportFileDialog([this](QWidget *, const QString &filter, const QString &folder) {
      dialogFilters.push_back(filter);
      dialogFolders.push_back(folder);
      return QString::fromStdString(chosenPath);
    });
    // The real application, with every instance's profile noted so the test can look for its
    // processes afterwards.
    previousFactory = SetExcelFactory([this] {
      auto app = std::make_unique<TExcelApplication>();
      profiles.push_back(app->Profile());
      return app;
    });
  }
  ~ReportTest() override {
    SetReportFileDialog(previousDialog);
    SetExcelFactory(previousFactory);
  }

  fs::path MakeReport(const std::string &name, const TWorkbookContent &content) {
    const fs::path path = dir.Root() / name;
    Workbooks().Make(path, content);
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
  TReportFileDialog previousDialog;
  TExcelFactory previousFactory;
};

const TSheetContent SecondSheet = {"Данные", {{Text("частота"), 146.5}, {Text("мощность"), 40.0}}};

} // namespace

// Marker in row 1, all values 0: "..." opens, "Запись" writes rows 2 and 3, stores the .xls and
// ends the instance; the button then waits for the next "...".
TEST_F(ReportTest, WritesTheRecordBelowAMarkerInRowOneAndStoresIt) {
  const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("Конец теста")}}}, SecondSheet});
  form.MainState.ParamValues = TParamValues();

  Open(path);
  ASSERT_EQ(dialogFilters.size(), 1u);
  EXPECT_EQ(dialogFilters[0], "Файлы(*.xls)");
  EXPECT_EQ(dialogFolders[0], QDir::homePath());
  EXPECT_TRUE(form.BitBtn24->isEnabled());
  EXPECT_EQ(form.Edit20->text(), "Файл открыт");
  EXPECT_GT(LiveProcesses(), 0);

  WriteReport(form);
  EXPECT_FALSE(form.BitBtn24->isEnabled());
  EXPECT_EQ(form.MainState.ReportWorkbook, nullptr);
  EXPECT_EQ(LiveProcesses(), 0);
  EXPECT_TRUE(boxes.Messages.empty());
  EXPECT_TRUE(boxes.Errors.empty());

  const std::string zeros = "K" + std::string(51, '0');
  const TWorkbookContent expected = {{"Протокол", {{Text("Конец теста")}, {zeros}, {zeros}}}, SecondSheet};
  EXPECT_EQ(Workbooks().Read(path), expected);
}

// A cell with a trailing blank is no marker; the rows below the real one are written whatever
// they held, and nothing else in the workbook changes. The path has blanks and Cyrillic letters.
TEST_F(ReportTest, SkipsANearMarkerAndOverwritesOnlyTheTwoRecordRows) {
  const TSheetContent first = {"Протокол",
                               {{Text("Станция"), Text("KS-45"), 4501.0},
                                {Text("Конец теста "), Text("рядом")},
                                {Text("конец теста")},
                                {Text("Конец теста"), Text("B4 остается")},
                                {Text("старая запись 1")},
                                {Text(""), Text("B6 остается")},
                                {Text("после записи")}}};
  const fs::path path = MakeReport("отчёт станции №5 от 01.12.xls", {first, SecondSheet});
  for (int k = 1; k <= ParamCount; ++k)
    form.MainState.ParamValues[k] = static_cast<uint8_t>(k * 7);
  form.MainState.ParamValues[18] = 7;

  Open(path);
  WriteReport(form);
  EXPECT_TRUE(boxes.Errors.empty());

  const auto [line1, line2] = RecordLines(form.MainState.ParamValues);
  EXPECT_EQ(line2.substr(0, 4), "K007");
  TWorkbookContent expected = {first, SecondSheet};
  expected[0].Rows[4] = {line1};
  expected[0].Rows[5][0] = line2;
  for (auto &row : expected[0].Rows)
    row.resize(3, Text(""));
  EXPECT_EQ(Workbooks().Read(path), expected);
  EXPECT_EQ(LiveProcesses(), 0);
}

// Without a marker nothing is written: a message says so, the file stays byte for byte, and the
// instance ends at once.
TEST_F(ReportTest, NoMarkerWritesNothingAndEndsTheInstance) {
  const fs::path path =
      MakeReport("r.xls", {{"Протокол", {{Text("Конец теста ")}, {Text("КОНЕЦ ТЕСТА")}, {Text(""), 1.0}}}});
  const std::string before = FileBytes(path);

  Open(path);
  WriteReport(form);
  ASSERT_EQ(boxes.Messages.size(), 1u);
  EXPECT_NE(boxes.Messages[0].find("\"Конец теста\""), std::string::npos) << boxes.Messages[0];
  EXPECT_NE(boxes.Messages[0].find("Запись не выполнена"), std::string::npos) << boxes.Messages[0];
  EXPECT_EQ(FileBytes(path), before);
  EXPECT_EQ(LiveProcesses(), 0);
  EXPECT_FALSE(form.BitBtn24->isEnabled());
  EXPECT_EQ(form.MainState.ReportWorkbook, nullptr);
}

// The record written, read back from the file, joined and typed in as the number series gives
// back exactly the values written.
TEST_F(ReportTest, TheRecordTypedBackAsNumberSeriesRestoresTheValues) {
  const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("шапка")}, {Text("Конец теста")}}}});
  std::mt19937 random(20261207);
  for (int k = 1; k <= ParamCount; ++k)
    form.MainState.ParamValues[k] = static_cast<uint8_t>(random() % 256);
  const TParamValues written = form.MainState.ParamValues;

  Open(path);
  WriteReport(form);
  const TWorkbookContent stored = Workbooks().Read(path);
  ASSERT_EQ(stored[0].Rows.size(), 4u);
  const std::string line1 = std::get<std::string>(stored[0].Rows[2][0]);
  const std::string line2 = std::get<std::string>(stored[0].Rows[3][0]);
  ASSERT_EQ(line1.substr(0, 1), "K");
  ASSERT_EQ(line2.substr(0, 1), "K");

  form.MainState.ParamValues = TParamValues();
  form.Edit20->setText(QString::fromStdString(line1.substr(1) + line2.substr(1)));
  ApplyNumberSeries(form);
  EXPECT_EQ(form.MainState.ParamValues, written);
  EXPECT_TRUE(boxes.Messages.empty());
}

// Cancel changes nothing; a second "..." ends the instance of the first; the window's end ends
// the instance it holds.
TEST_F(ReportTest, EveryInstanceEndsWhenReplacedOrWhenTheWindowGoes) {
  const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("Конец теста")}}}});
  form.Edit20->setText("123");
  chosenPath.clear();
  OpenReport(form);
  EXPECT_TRUE(profiles.empty());
  EXPECT_FALSE(form.BitBtn24->isEnabled());
  EXPECT_EQ(form.Edit20->text(), "123");

  Open(path);
  ASSERT_EQ(profiles.size(), 1u);
  const std::string firstProfile = profiles[0];
  Open(path);
  ASSERT_EQ(profiles.size(), 2u);
  EXPECT_EQ(TOfficeProcess::CountProcesses(firstProfile), 0);
  EXPECT_GT(TOfficeProcess::CountProcesses(profiles[1]), 0);
  EXPECT_TRUE(form.BitBtn24->isEnabled());

  {
    TForm1 another;
    EnablePanels(another);
    chosenPath = path.string();
    OpenReport(another);
    ASSERT_EQ(profiles.size(), 3u);
    EXPECT_GT(TOfficeProcess::CountProcesses(profiles[2]), 0);
  }
  EXPECT_EQ(TOfficeProcess::CountProcesses(profiles[2]), 0);
}

// A file that is no workbook: the error, no instance left, "Запись" off, the field untouched.
TEST_F(ReportTest, AFailedOpenLeavesNoInstanceAndNoWriteButton) {
  const fs::path good = MakeReport("good.xls", {{"Протокол", {{Text("Конец теста")}}}});
  const fs::path text = dir.Root() / "text.xls";
  std::ofstream(text) << "Конец теста\n";
  Open(good);
  form.Edit20->setText("123");

  chosenPath = text.string();
  EXPECT_THROW(OpenReport(form), Exception);
  EXPECT_EQ(form.MainState.ReportWorkbook, nullptr);
  EXPECT_FALSE(form.BitBtn24->isEnabled());
  EXPECT_EQ(form.Edit20->text(), "123");
  EXPECT_EQ(LiveProcesses(), 0);
  EXPECT_EQ(FileBytes(text), "Конец теста\n");
}
