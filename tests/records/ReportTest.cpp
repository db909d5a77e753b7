// "..." and "Запись" of the report panel, on real .xls workbooks through a real office.
#include "records/Report.h"
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "platform/office/OfficeBridge.h"
#include "records/ReportRecord.h"
#include "records/ReportSeams.h"
#include "runtime/Exception.h"
#include "tests/platform/OfficeWorkbooks.h"
#include "tests/support/FileBytes.h"
#include "tests/support/QtApp.h"
#include "tests/support/TempConfigDir.h"

#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <fstream>
#include <pwd.h>
#include <random>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

TOfficeWorkbooks &Workbooks() {
  static TOfficeWorkbooks workbooks;
  return workbooks;
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
      const QCursor *cursor = QApplication::overrideCursor();
      cursorsAtStart.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
      auto app = NewExcelApplication();
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
  std::vector<Qt::CursorShape> cursorsAtStart;
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

namespace {

std::string ThisUser() {
  const passwd *user = getpwuid(geteuid());
  return user ? user->pw_name : "";
}

std::string ThisHost() {
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  return name;
}

const std::string Zeros = "K" + std::string(51, '0');

// The office stores no active sheet from a hidden instance: the test marks the second of two
// sheets active in the .xls as the other office does, in WINDOW1 (the active sheet) and in each
// sheet's WINDOW2 (selected and shown). The test's workbook is small enough to be contiguous.
void MakeSecondSheetActive(const fs::path &path) {
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

} // namespace

// Another program saves the report between "..." and "Запись", in place or by rename, moving the
// marker down: its cell stays, and the record goes below the marker where it is now.
TEST_F(ReportTest, ASaveByAnotherProgramAfterOpenIsKept) {
  for (const bool byRename : {false, true}) {
    SCOPED_TRACE(byRename ? "saved by rename" : "saved in place");
    const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("Конец теста")}}}});
    form.MainState.ParamValues = TParamValues();
    Open(path);

    // A program that ignores the lock: it writes the file over, or saves a new one in its place.
    const fs::path other = dir.Root() / "other.xls";
    Workbooks().Make(
        other, {{"Протокол", {{Text("шапка"), Text("чужая правка")}, {Text("Конец теста"), Text("")}}}});
    if (byRename)
      fs::rename(other, path);
    else
      std::ofstream(path, std::ios::binary | std::ios::trunc) << FileBytes(other);
    WriteReport(form);
    EXPECT_TRUE(boxes.Errors.empty());
    EXPECT_TRUE(boxes.Messages.empty());
    const TWorkbookContent expected = {{"Протокол",
                                        {{Text("шапка"), Text("чужая правка")},
                                         {Text("Конец теста"), Text("")},
                                         {Zeros, Text("")},
                                         {Zeros, Text("")}}}};
    EXPECT_EQ(Workbooks().Read(path), expected);
  }
}

// The record goes to the sheet the workbook opens at, not to the first one; in a small workbook
// and in one whose records outgrow the compound file's small-stream part.
TEST_F(ReportTest, TheRecordGoesToTheSheetThatWasActiveWhenSaved) {
  for (const int titleRows : {1, 600}) {
    SCOPED_TRACE(titleRows);
    TSheetContent title = {"Титул", {}};
    for (int row = 1; row <= titleRows; ++row)
      title.Rows.push_back({"Станция KS-45, строка " + std::to_string(row)});
    const fs::path path = MakeReport("r.xls", {title, {"Протокол", {{Text("Конец теста")}}}});
    MakeSecondSheetActive(path);
    form.MainState.ParamValues = TParamValues();
    Open(path);
    WriteReport(form);
    EXPECT_TRUE(boxes.Messages.empty());
    EXPECT_TRUE(boxes.Errors.empty());
    const TWorkbookContent expected = {title, {"Протокол", {{Text("Конец теста")}, {Zeros}, {Zeros}}}};
    EXPECT_EQ(Workbooks().Read(path), expected);
  }
}

// A read-only report, or one in a read-only folder, is refused at "..." with a message; nothing
// starts, "Запись" stays off and the file stays as it was.
TEST_F(ReportTest, AReadOnlyReportOrFolderIsRefusedAtOpen) {
  struct Row {
    fs::perms filePerms, folderPerms;
    const char *expected;
  } rows[] = {
      {fs::perms(0444), fs::perms(0755), "доступен только для чтения"},
      {fs::perms(0644), fs::perms(0555), "доступна только для чтения"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.expected);
    const fs::path folder = dir.Root() / "папка";
    fs::create_directories(folder);
    const fs::path path = folder / "r.xls";
    Workbooks().Make(path, {{"Протокол", {{Text("Конец теста")}}}});
    const std::string before = FileBytes(path);
    fs::permissions(path, row.filePerms);
    fs::permissions(folder, row.folderPerms);
    boxes.Messages.clear();

    Open(path);
    ASSERT_EQ(boxes.Messages.size(), 1u);
    EXPECT_NE(boxes.Messages[0].find(row.expected), std::string::npos) << boxes.Messages[0];
    EXPECT_TRUE(profiles.empty());
    EXPECT_FALSE(form.BitBtn24->isEnabled());
    fs::permissions(folder, fs::perms(0755));
    fs::permissions(path, fs::perms(0644));
    EXPECT_EQ(FileBytes(path), before);
    fs::remove_all(folder);
  }
}

// A report held by someone else (his lock file) is refused, naming him; while kstune holds a
// report its own lock is there, so another kstune is refused too; the lock goes with "Запись".
TEST_F(ReportTest, AReportHeldBySomeoneElseIsRefusedAndOursIsLocked) {
  const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("Конец теста")}}}});
  const fs::path lock = dir.Root() / ".~lock.r.xls#";
  const std::string theirs =
      "Иван Петров,ivan,bench-pc,07.12.2026 10:00,file:///home/ivan/.config/libreoffice/4;";
  std::ofstream(lock) << theirs;
  const std::string before = FileBytes(path);
  Open(path);
  ASSERT_EQ(boxes.Messages.size(), 1u);
  EXPECT_NE(boxes.Messages[0].find("Иван Петров (ivan@bench-pc), с 07.12.2026 10:00"), std::string::npos)
      << boxes.Messages[0];
  EXPECT_TRUE(profiles.empty());
  EXPECT_FALSE(form.BitBtn24->isEnabled());
  EXPECT_EQ(FileBytes(path), before);
  EXPECT_EQ(FileBytes(lock), theirs);

  fs::remove(lock);
  Open(path);
  ASSERT_EQ(profiles.size(), 1u);
  EXPECT_NE(FileBytes(lock).find(profiles[0]), std::string::npos) << FileBytes(lock);
  {
    TForm1 another;
    EnablePanels(another);
    OpenReport(another);
    ASSERT_EQ(boxes.Messages.size(), 2u);
    EXPECT_NE(boxes.Messages[1].find("kstune (" + ThisUser() + "@" + ThisHost() + ")"), std::string::npos)
        << boxes.Messages[1];
    EXPECT_FALSE(another.BitBtn24->isEnabled());
  }
  WriteReport(form);
  EXPECT_FALSE(fs::exists(lock));
  EXPECT_TRUE(boxes.Errors.empty());
}

// A lock left by a kstune of this user that died is taken over without a word.
TEST_F(ReportTest, AStaleLockOfADeadKstuneIsTakenOver) {
  const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("Конец теста")}}}});
  std::ofstream(dir.Root() / ".~lock.r.xls#")
      << "," << ThisUser() << "," << ThisHost() << ",07.12.2026 10:00,file:///tmp/kstune-office-gone0;";
  form.MainState.ParamValues = TParamValues();
  Open(path);
  EXPECT_TRUE(boxes.Messages.empty());
  WriteReport(form);
  EXPECT_TRUE(boxes.Messages.empty());
  EXPECT_TRUE(boxes.Errors.empty());
  const TWorkbookContent expected = {{"Протокол", {{Text("Конец теста")}, {Zeros}, {Zeros}}}};
  EXPECT_EQ(Workbooks().Read(path), expected);
}
