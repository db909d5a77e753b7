// "..." and "Запись" of the report panel, on real .xls workbooks through a real office.
#include "records/Report.h"
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "platform/office/OfficeBridge.h"
#include "records/ReportSeams.h"
#include "runtime/Exception.h"
#include "tests/platform/OfficeWorkbooks.h"
#include "tests/support/FileBytes.h"
#include "tests/support/QtApp.h"
#include "tests/support/Spawn.h"
#include "tests/support/TempConfigDir.h"

#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <random>
#include <sstream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

TOfficeWorkbooks &Workbooks() {
  static TOfficeWorkbooks workbooks;
  return workbooks;
}

TCellContent Text(const char *text) { return std::string(text); }

// The two record lines as the report's layout gives them: "K" and three digits with leading
// zeros for each of parameters 1..17, then "K" and those of parameters 18..34.
std::pair<std::string, std::string> LayoutLines(const TParamValues &values) {
  std::string first = "K", second = "K";
  for (int k = 1; k <= 34; ++k) {
    char group[8];
    std::snprintf(group, sizeof group, "%03u", static_cast<unsigned>(values[k]));
    (k <= 17 ? first : second) += group;
  }
  return {first, second};
}

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

// A program run to its end: its exit status (-1 when it could not start).
int RunProgram(const std::vector<std::string> &args, const std::vector<std::string> &environment = {}) {
  const pid_t pid = SpawnProgram(args, environment);
  if (pid <= 0)
    return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

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

// The record goes to the sheet the workbook opens at, below its marker, not to the first sheet,
// which has a marker too and stays as it was: in an .xls (small, and one whose records outgrow
// the compound file's small-stream part), an .xlsx and an .ods.
TEST_F(ReportTest, TheRecordGoesToTheSheetThatWasActiveWhenSaved) {
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

namespace {

// A test that must run in a changed world (as another user, in a mount namespace of its own)
// starts this program again for itself alone; the copy finds the report's path here.
const char *const InsideVariable = "KSTUNE_TEST_REPORT_INSIDE";
// "uid:gid:group": the copy drops root for that user, primary group and one more group, before
// anything else runs.
const char *const AsUserVariable = "KSTUNE_TEST_REPORT_AS_USER";
constexpr int NoNamespace = 77;

const bool DroppedToUser = [] {
  const char *user = std::getenv(AsUserVariable);
  if (!user)
    return false;
  unsigned uid = 0, gid = 0, group = 0;
  if (std::sscanf(user, "%u:%u:%u", &uid, &gid, &group) != 3)
    _exit(3);
  const gid_t groups[] = {static_cast<gid_t>(group)};
  if (setgroups(1, groups) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
    _exit(4);
  return true;
}();

const char *Inside() { return std::getenv(InsideVariable); }

// Runs this test again in a child: with environment set, under prefix (a command that then
// runs the rest). The child's exit status.
int RunInside(const std::vector<std::string> &prefix, const std::vector<std::string> &environment) {
  const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::vector<std::string> args = prefix;
  args.push_back(fs::read_symlink("/proc/self/exe").string());
  args.push_back(std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name());
  return RunProgram(args, environment);
}

std::vector<std::string> FolderEntries(const fs::path &folder) {
  std::vector<std::string> names;
  for (const auto &entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Another program writing the report (in place, as most do) each time the office starts to
// store it; until stopped.
class TSaveDuringStore {
public:
  TSaveDuringStore(const fs::path &profile, const fs::path &report, std::string bytes, bool everyTime)
      : report_(report), bytes_(std::move(bytes)), everyTime_(everyTime) {
    fs::create_directories(profile / "store");
    fd_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    inotify_add_watch(fd_, (profile / "store").c_str(), IN_CREATE | IN_MOVED_TO);
    thread_ = std::thread([this] { Run(); });
  }
  ~TSaveDuringStore() {
    stop_ = true;
    thread_.join();
    close(fd_);
  }
  int Saves() const { return saves_; }

private:
  void Run() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0)
        continue;
      alignas(inotify_event) char events[4096];
      const ssize_t size = read(fd_, events, sizeof events);
      bool storing = false;
      for (ssize_t at = 0; at < size;) {
        const auto *event = reinterpret_cast<const inotify_event *>(events + at);
        // The office's new file itself, not its lock of it.
        storing = storing || (event->len > 0 && report_.filename() == event->name);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
      if (!storing || (!everyTime_ && saves_ > 0))
        continue;
      std::ofstream(report_, std::ios::binary | std::ios::trunc) << bytes_;
      ++saves_;
    }
  }

  fs::path report_;
  std::string bytes_;
  bool everyTime_;
  int fd_ = -1;
  std::atomic<bool> stop_ = false;
  std::atomic<int> saves_ = 0;
  std::thread thread_;
};

} // namespace

// The lock of a desktop office beside the file a link leads to is found, and its holder named;
// once it is gone, the record is stored into that file and the link stays a link.
TEST_F(ReportTest, AReportThroughALinkIsJudgedAndStoredWhereItReallyIs) {
  fs::create_directories(dir.Root() / "общая папка");
  fs::create_directories(dir.Root() / "ярлыки");
  const fs::path real = MakeReport("общая папка/r.xls", {{"Протокол", {{Text("Конец теста")}}}});
  const fs::path link = dir.Root() / "ярлыки" / "отчет.xls";
  fs::create_symlink(real, link);
  const fs::path lock = dir.Root() / "общая папка" / ".~lock.r.xls#";
  std::ofstream(lock) << "Иван Петров,ivan,bench-pc,07.12.2026 10:00,file:///home/ivan/.config/libreoffice/4;";

  EXPECT_NO_THROW(Open(link));
  ASSERT_EQ(boxes.Messages.size(), 1u);
  EXPECT_NE(boxes.Messages[0].find("Иван Петров (ivan@bench-pc)"), std::string::npos) << boxes.Messages[0];
  EXPECT_TRUE(profiles.empty());
  EXPECT_FALSE(form.BitBtn24->isEnabled());

  fs::remove(lock);
  form.MainState.ParamValues = TParamValues();
  Open(link);
  WriteReport(form);
  EXPECT_TRUE(boxes.Errors.empty());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), real);
  const TWorkbookContent expected = {{"Протокол", {{Text("Конец теста")}, {Zeros}, {Zeros}}}};
  EXPECT_EQ(Workbooks().Read(real), expected);
  EXPECT_EQ(FolderEntries(dir.Root() / "общая папка"), std::vector<std::string>{"r.xls"});
}

// Another program saves the report after "..." with the same size and, as FAT and SMB keep
// times in whole seconds, the same modification time: the record still goes below the marker
// where that save put it, and the save is kept.
TEST_F(ReportTest, ASameSizeSaveWithinOneTimeTickIsSeen) {
  const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("Конец теста")}, {Text("шапка")}}}});
  const fs::path other = MakeReport("other.xls", {{"Протокол", {{Text("шапка")}, {Text("Конец теста")}}}});
  const std::string otherBytes = FileBytes(other);
  ASSERT_EQ(FileBytes(path).size(), otherBytes.size()) << "the test needs two files of one size";
  form.MainState.ParamValues = TParamValues();
  Open(path);

  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << otherBytes;
  const timespec times[] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);

  WriteReport(form);
  EXPECT_TRUE(boxes.Messages.empty());
  EXPECT_TRUE(boxes.Errors.empty());
  const TWorkbookContent expected = {{"Протокол", {{Text("шапка")}, {Text("Конец теста")}, {Zeros}, {Zeros}}}};
  EXPECT_EQ(Workbooks().Read(path), expected);
}

// A save by another program while the office stores the record: the record is not put over
// it; "Запись" loads the report again and stores the record below the marker of that save. A
// program that saves at every store makes "Запись" give up after its attempts, with a message,
// leaving that program's file and nothing else.
TEST_F(ReportTest, ASaveDuringTheStoreIsKeptAndTheStoreRetried) {
  const fs::path other = MakeReport("other.xls", {{"Протокол", {{Text("чужая правка")}, {Text("Конец теста")}}}});
  const std::string otherBytes = FileBytes(other);
  fs::remove(other);
  for (const bool everyTime : {false, true}) {
    SCOPED_TRACE(everyTime ? "a save at every store" : "one save");
    const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("Конец теста")}}}});
    form.MainState.ParamValues = TParamValues();
    boxes.Messages.clear();
    Open(path);
    ASSERT_FALSE(profiles.empty());
    {
      TSaveDuringStore saver(profiles.back(), path, otherBytes, everyTime);
      WriteReport(form);
      EXPECT_TRUE(everyTime ? saver.Saves() >= 3 : saver.Saves() == 1) << saver.Saves();
    }
    EXPECT_TRUE(boxes.Errors.empty());
    EXPECT_FALSE(form.BitBtn24->isEnabled());
    EXPECT_EQ(LiveProcesses(), 0);
    if (everyTime) {
      ASSERT_EQ(boxes.Messages.size(), 1u);
      EXPECT_EQ(boxes.Messages[0],
                "Отчет все время сохраняет другая программа. Закройте ее и нажмите \"Запись\" снова.");
      EXPECT_EQ(FileBytes(path), otherBytes);
    } else {
      EXPECT_TRUE(boxes.Messages.empty());
      const TWorkbookContent expected = {
          {"Протокол", {{Text("чужая правка")}, {Text("Конец теста")}, {Zeros}, {Zeros}}}};
      EXPECT_EQ(Workbooks().Read(path), expected);
    }
    EXPECT_EQ(FolderEntries(dir.Root()), std::vector<std::string>{"r.xls"});
    fs::remove(path);
  }
}

// A technician who may write a colleague's report in a shared folder (through the folder's
// group) stores the record without taking the report over: owner, group, permissions and the
// access list stay the colleague's. Run as an ordinary user in a copy of this program.
TEST_F(ReportTest, AnOrdinaryUserKeepsTheOwnerGroupAndAccessListOfASharedReport) {
  constexpr unsigned Technician = 65534, TechnicianGroup = 65534, Colleague = 12345, Shared = 54321;
  if (const char *report = Inside()) {
    ASSERT_TRUE(DroppedToUser);
    ASSERT_EQ(geteuid(), Technician);
    Open(report);
    EXPECT_TRUE(boxes.Messages.empty()) << boxes.Messages[0];
    WriteReport(form);
    EXPECT_TRUE(boxes.Messages.empty());
    EXPECT_TRUE(boxes.Errors.empty());
    return;
  }
  if (geteuid() != 0)
    GTEST_SKIP() << "acting as another user needs root";
  fs::permissions(dir.Root(), fs::perms(0755));
  const fs::path folder = dir.Root() / "общая папка";
  fs::create_directories(folder);
  ASSERT_EQ(chown(folder.c_str(), 0, Shared), 0);
  fs::permissions(folder, fs::perms(02775));
  const fs::path home = dir.Root() / "home";
  fs::create_directories(home);
  ASSERT_EQ(chown(home.c_str(), Technician, TechnicianGroup), 0);
  const fs::path path = folder / "r.xls";
  Workbooks().Make(path, {{"Протокол", {{Text("Конец теста")}}}});
  ASSERT_EQ(chown(path.c_str(), Colleague, Shared), 0);
  fs::permissions(path, fs::perms(0664));
  // An access list that gives one more user write access, as an administrator would set it.
  struct AclEntry {
    uint16_t Tag, Perm;
    uint32_t Id;
  };
  const AclEntry entries[] = {{0x01, 6, ~0u}, {0x02, 6, 4242}, {0x04, 6, ~0u}, {0x10, 6, ~0u}, {0x20, 4, ~0u}};
  std::string acl("\x02\x00\x00\x00", 4);
  for (const auto &entry : entries)
    acl.append(reinterpret_cast<const char *>(&entry), sizeof entry);
  const bool withAcl = setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;

  const int status =
      RunInside({}, {std::string(InsideVariable) + "=" + path.string(),
                     std::string(AsUserVariable) + "=" + std::to_string(Technician) + ":" +
                         std::to_string(TechnicianGroup) + ":" + std::to_string(Shared),
                     "HOME=" + home.string()});
  EXPECT_EQ(status, 0) << "the store as an ordinary user failed";

  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, Colleague);
  EXPECT_EQ(st.st_gid, Shared);
  EXPECT_EQ(st.st_mode & 07777, 0664u);
  if (withAcl) {
    std::string kept(acl.size(), '\0');
    EXPECT_EQ(getxattr(path.c_str(), "system.posix_acl_access", kept.data(), kept.size()),
              static_cast<ssize_t>(acl.size()));
    EXPECT_EQ(kept, acl);
  }
  const TWorkbookContent expected = {{"Протокол", {{Text("Конец теста")}, {Zeros}, {Zeros}}}};
  EXPECT_EQ(Workbooks().Read(path), expected);
  EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"r.xls"});
}

// A report with a second name (a hard link) is stored into the file itself, so both names show
// the record.
TEST_F(ReportTest, AReportWithASecondNameIsStoredForBothNames) {
  const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("Конец теста")}}}});
  const fs::path second = dir.Root() / "копия.xls";
  fs::create_hard_link(path, second);
  form.MainState.ParamValues = TParamValues();
  Open(path);
  WriteReport(form);
  EXPECT_TRUE(boxes.Errors.empty());
  EXPECT_EQ(fs::hard_link_count(path), 2u);
  EXPECT_TRUE(fs::equivalent(path, second));
  const TWorkbookContent expected = {{"Протокол", {{Text("Конец теста")}, {Zeros}, {Zeros}}}};
  EXPECT_EQ(Workbooks().Read(second), expected);
}

// A report in a sticky folder (like /tmp) that belongs to someone else cannot be replaced by
// the technician: refused at "...", before anything starts.
TEST_F(ReportTest, AReportInAStickyFolderThatOnlyItsOwnerMayReplaceIsRefusedAtOpen) {
  constexpr unsigned Technician = 65534, Colleague = 12345;
  if (const char *report = Inside()) {
    ASSERT_TRUE(DroppedToUser);
    Open(report);
    ASSERT_EQ(boxes.Messages.size(), 1u);
    EXPECT_NE(boxes.Messages[0].find("может заменить только его владелец"), std::string::npos)
        << boxes.Messages[0];
    EXPECT_TRUE(profiles.empty());
    EXPECT_FALSE(form.BitBtn24->isEnabled());
    return;
  }
  if (geteuid() != 0)
    GTEST_SKIP() << "acting as another user needs root";
  fs::permissions(dir.Root(), fs::perms(0755));
  const fs::path folder = dir.Root() / "общая папка";
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms(01777));
  const fs::path path = folder / "r.xls";
  Workbooks().Make(path, {{"Протокол", {{Text("Конец теста")}}}});
  ASSERT_EQ(chown(path.c_str(), Colleague, Colleague), 0);
  fs::permissions(path, fs::perms(0666));
  const std::string before = FileBytes(path);
  const int status = RunInside({}, {std::string(InsideVariable) + "=" + path.string(),
                                    std::string(AsUserVariable) + "=" + std::to_string(Technician) + ":" +
                                        std::to_string(Technician) + ":" + std::to_string(Technician)});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(FileBytes(path), before);
}

// A folder that is full at "Запись": the message gives the reason in Russian, the report stays
// as it was, and nothing is left beside it. Run in a small file system of its own, mounted in a
// mount namespace of a copy of this program (root only).
TEST_F(ReportTest, AFullFolderAtStoreSaysSoAndLeavesNothingBehind) {
  if (const char *folderText = Inside()) {
    const fs::path folder = folderText;
    const fs::path path = folder / "r.xls";
    Workbooks().Make(path, {{"Протокол", {{Text("Конец теста")}}}});
    const std::string before = FileBytes(path);
    Open(path);
    ASSERT_TRUE(boxes.Messages.empty());
    {
      std::ofstream filler(folder / "filler", std::ios::binary);
      const std::string chunk(4096, 'x');
      while (filler.write(chunk.data(), static_cast<std::streamsize>(chunk.size())) && filler.flush()) {
      }
    }
    std::string message;
    try {
      WriteReport(form);
    } catch (const Exception &e) {
      message = e.Message;
    }
    EXPECT_NE(message.find("нет места на диске"), std::string::npos) << message;
    EXPECT_FALSE(form.BitBtn24->isEnabled());
    EXPECT_EQ(LiveProcesses(), 0);
    EXPECT_EQ(FileBytes(path), before);
    EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"filler", "r.xls"}));
    return;
  }
  if (geteuid() != 0)
    GTEST_SKIP() << "a file system of its own needs a mount namespace, which only root may make";
  const fs::path folder = dir.Root() / "полная папка";
  fs::create_directories(folder);
  const int status = RunInside({"/usr/bin/unshare", "-m", "--", "/bin/sh", "-c",
                                "mount -t tmpfs -o size=1m tmpfs \"$" + std::string(InsideVariable) +
                                    "\" || exit " + std::to_string(NoNamespace) + "; exec \"$@\"",
                                "sh"},
                               {std::string(InsideVariable) + "=" + folder.string()});
  if (status == NoNamespace)
    GTEST_SKIP() << "no mount namespace could be made here";
  EXPECT_EQ(status, 0) << "the store into a full folder failed its checks";
}
