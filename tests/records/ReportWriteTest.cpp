// "..." and "Запись" of the report panel: the record below the marker, on the sheet the workbook
// opens at, and every office instance ended.
#include "tests/records/ReportFixture.h"

#include "tests/support/Spawn.h"
#include "tests/table/SeriesRows.h"

#include <fstream>
#include <functional>
#include <random>

using namespace report_test;

namespace {

class ReportWriteTest : public ReportFixture {};

// The two record lines as the report's layout gives them: "K" and three digits with leading
// zeros for each of parameters 1..17, then "K" and those of parameters 18..34.
std::pair<std::string, std::string> LayoutLines(const TParamValues &values) {
  std::vector<std::pair<int, int>> all;
  for (int k = 1; k <= 34; ++k)
    all.emplace_back(k, values[k]);
  const std::string series = SeriesText(0, all);
  return {"K" + series.substr(0, 51), "K" + series.substr(51)};
}

const TSheetContent SecondSheet = {"Данные", {{Text("частота"), 146.5}, {Text("мощность"), 40.0}}};

// The office stores no active sheet from a hidden instance, so the tests mark the second of two
// sheets active in the file themselves, as a desktop office saves it.

// In an .xls: in WINDOW1 (the active sheet) and in each sheet's WINDOW2 (selected and shown).
// The test's workbook is small enough to be contiguous.
void MakeXlsSecondSheetActive(const fs::path &path) {
  std::string bytes = FileBytes(path);
  const auto window1 = bytes.find(std::string("\x3D\x00\x12\x00", 4));
  ASSERT_NE(window1, std::string::npos);
  bytes[window1 + 4 + 10] = 1;
  size_t sheet = 0;
  for (auto at = bytes.find(std::string("\x3E\x02\x12\x00", 4)); at != std::string::npos;
       at = bytes.find(std::string("\x3E\x02\x12\x00", 4), at + 1), ++sheet) {
    const char selectedAndShown = 0x06; // high byte of the flags: 0x0600
    bytes[at + 5] = sheet == 1 ? (bytes[at + 5] | selectedAndShown) : (bytes[at + 5] & ~selectedAndShown);
  }
  ASSERT_EQ(sheet, 2u);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void ReplaceOnce(std::string &text, const std::string &from, const std::string &to) {
  const auto at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

// An .xlsx or .ods is a zip: one member of it is taken out, edited and put back with the zip tools.
void EditZipMember(const fs::path &archive, const std::string &member,
                   const std::function<void(std::string &)> &edit) {
  const fs::path work = archive.parent_path() / "unzipped";
  ASSERT_EQ(RunProgram({"/usr/bin/unzip", "-q", "-o", archive.string(), member, "-d", work.string()}), 0);
  std::string text = FileBytes(work / member);
  edit(text);
  std::ofstream(work / member, std::ios::binary | std::ios::trunc) << text;
  ASSERT_EQ(RunProgram({"/bin/sh", "-c", "cd \"$1\" && exec /usr/bin/zip -q \"$2\" \"$3\"", "sh",
                        work.string(), archive.string(), member}),
            0);
  fs::remove_all(work);
}

// In an .xlsx: the workbook view's active tab, and each sheet view's selected tab.
void MakeXlsxSecondSheetActive(const fs::path &path) {
  EditZipMember(path, "xl/workbook.xml", [](std::string &xml) { ReplaceOnce(xml, "activeTab=\"0\"", "activeTab=\"1\""); });
  EditZipMember(path, "xl/worksheets/sheet1.xml",
                [](std::string &xml) { ReplaceOnce(xml, "tabSelected=\"true\"", "tabSelected=\"false\""); });
  EditZipMember(path, "xl/worksheets/sheet2.xml",
                [](std::string &xml) { ReplaceOnce(xml, "tabSelected=\"false\"", "tabSelected=\"true\""); });
}

// In an .ods: the view settings name the active table (the sheet "Протокол").
void MakeOdsSecondSheetActive(const fs::path &path) {
  EditZipMember(path, "settings.xml", [](std::string &xml) {
    const std::string viewSettings = "<config:config-item-set config:name=\"ooo:view-settings\">";
    ReplaceOnce(xml, viewSettings,
                viewSettings +
                    "<config:config-item-map-indexed config:name=\"Views\"><config:config-item-map-entry>"
                    "<config:config-item config:name=\"ViewId\" config:type=\"string\">view1</config:config-item>"
                    "<config:config-item config:name=\"ActiveTable\" config:type=\"string\">Протокол"
                    "</config:config-item></config:config-item-map-entry></config:config-item-map-indexed>");
  });
}

} // namespace

// Marker in row 1, all values 0: "..." opens, "Запись" writes rows 2 and 3, stores the .xls and
// ends the instance; the button then waits for the next "...".
TEST_F(ReportWriteTest, WritesTheRecordBelowAMarkerInRowOneAndStoresIt) {
  const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("Конец теста")}}}, SecondSheet});
  form.MainState.ParamValues = TParamValues();

  Open(path);
  ASSERT_EQ(dialogFilters.size(), 1u);
  EXPECT_EQ(dialogFilters[0], "Файлы(*.xls);;Рабочие книги (*.xlsx *.xlsm *.ods);;Все файлы (*)");
  EXPECT_EQ(dialogFolders[0], QDir::homePath());
  EXPECT_EQ(cursorsAtStart, std::vector<Qt::CursorShape>{Qt::WaitCursor});
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
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
TEST_F(ReportWriteTest, SkipsANearMarkerAndOverwritesOnlyTheTwoRecordRows) {
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

  const auto [line1, line2] = LayoutLines(form.MainState.ParamValues);
  ASSERT_EQ(line1.size(), 52u);
  EXPECT_EQ(line1.substr(0, 7), "K007014");
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
TEST_F(ReportWriteTest, NoMarkerWritesNothingAndEndsTheInstance) {
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
TEST_F(ReportWriteTest, TheRecordTypedBackAsNumberSeriesRestoresTheValues) {
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
TEST_F(ReportWriteTest, EveryInstanceEndsWhenReplacedOrWhenTheWindowGoes) {
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
    // Another window holds a report of its own (this one is held by the first).
    TForm1 another;
    EnablePanels(another);
    chosenPath = MakeReport("r2.xls", {{"Протокол", {{Text("Конец теста")}}}}).string();
    OpenReport(another);
    ASSERT_EQ(profiles.size(), 3u);
    EXPECT_GT(TOfficeProcess::CountProcesses(profiles[2]), 0);
  }
  EXPECT_EQ(TOfficeProcess::CountProcesses(profiles[2]), 0);
}

// A file that is no workbook: the error, no instance left, "Запись" off, the field untouched.
TEST_F(ReportWriteTest, AFailedOpenLeavesNoInstanceAndNoWriteButton) {
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

// The record goes to the sheet the workbook opens at, below its marker, not to the first sheet,
// which has a marker too and stays as it was: in an .xls (small, and one whose records outgrow
// the compound file's small-stream part), an .xlsx and an .ods.
TEST_F(ReportWriteTest, TheRecordGoesToTheSheetThatWasActiveWhenSaved) {
  struct Row {
    const char *name, *filter;
    int titleRows;
    void (*makeSecondSheetActive)(const fs::path &);
  } rows[] = {
      {"r.xls", "MS Excel 97", 1, MakeXlsSecondSheetActive},
      {"r.xls", "MS Excel 97", 600, MakeXlsSecondSheetActive},
      {"r.xlsx", "Calc MS Excel 2007 XML", 1, MakeXlsxSecondSheetActive},
      {"r.ods", "calc8", 1, MakeOdsSecondSheetActive},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(std::string(row.name) + ", " + std::to_string(row.titleRows) + " title rows");
    TSheetContent title = {"Титул", {}};
    for (int line = 1; line <= row.titleRows; ++line)
      title.Rows.push_back({"Станция KS-45, строка " + std::to_string(line)});
    title.Rows.push_back({Text("Конец теста")});
    const fs::path path = MakeReport(row.name, {title, {"Протокол", {{Text("шапка")}, {Text("Конец теста")}}}},
                                     row.filter);
    row.makeSecondSheetActive(path);
    form.MainState.ParamValues = TParamValues();
    Open(path);
    WriteReport(form);
    EXPECT_TRUE(boxes.Messages.empty());
    EXPECT_TRUE(boxes.Errors.empty());
    const TWorkbookContent expected = {
        title, {"Протокол", {{Text("шапка")}, {Text("Конец теста")}, {Zeros}, {Zeros}}}};
    EXPECT_EQ(Workbooks().Read(path), expected);
  }
}
