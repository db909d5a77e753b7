// The spreadsheet application object against a real headless office, on workbooks the tests
// make themselves.
#include "platform/office/FileUrl.h"
#include "os/ProcessTable.h"
#include "platform/office/UnoExcelApplication.h"
#include "tests/platform/OfficeWorkbooks.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Spawn.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// Run with this variable set, the test program starts an office and dies at once without ending
// it, as a crashed program would, after printing the instance's profile folder.
const bool OrphanMaker = [] {
  if (!std::getenv("KSTUNE_TEST_MAKE_ORPHAN"))
    return false;
  const auto *process = new TOfficeProcess(KSTUNE_OFFICE_PROGRAM);
  std::printf("%s\n", process->Profile().c_str());
  std::fflush(stdout);
  _exit(0);
}();

// One office for making and reading back the workbooks of every test in this program.
TOfficeWorkbooks &Workbooks() {
  static TOfficeWorkbooks workbooks;
  return workbooks;
}

class TempFolder {
public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "kstune-report-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
      throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path &Path() const { return path_; }

private:
  fs::path path_;
};

// The report of a station: a first sheet with the test protocol and a second one beside it.
TWorkbookContent Report() {
  return {
      {"Протокол",
       {{std::string("Станция"), std::string("KS-43"), 1043.0},
        {std::string("Конец теста "), std::string(), std::string("примечание")},
        {std::string("Конец теста")},
        {std::string("старая строка")},
        {std::string(), 2.5}}},
      {"Данные", {{std::string("x"), 1.0}, {std::string("y"), 2.0}}},
  };
}

// No process of the instance is left and its profile is gone.
void ExpectNothingLeft(const std::string &profile) {
  EXPECT_EQ(TOfficeProcess::CountProcesses(profile), 0);
  EXPECT_FALSE(fs::exists(profile)) << profile;
}

// Whether any process of the instance has the file open.
bool InstanceHolds(const std::string &profile, const fs::path &file) {
  std::error_code ec;
  for (const auto &process : fs::directory_iterator("/proc", ec)) {
    std::ifstream in(process.path() / "cmdline", std::ios::binary);
    const std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (cmdline.find(profile) == std::string::npos)
      continue;
    std::error_code fdError;
    for (const auto &fd : fs::directory_iterator(process.path() / "fd", fdError))
      if (fs::read_symlink(fd.path(), fdError) == file)
        return true;
  }
  return false;
}

std::string MessageOf(const std::function<void()> &action) {
  try {
    action();
  } catch (const Exception &e) {
    return e.Message;
  }
  ADD_FAILURE() << "no Exception";
  return {};
}

} // namespace

TEST(OfficeFileUrl, EncodesBlanksAndCyrillicAndMakesThePathAbsolute) {
  EXPECT_EQ(FileUrl("/tmp/отчёт по станции/K 1.xls"),
            "file:///tmp/"
            "%D0%BE%D1%82%D1%87%D1%91%D1%82%20%D0%BF%D0%BE%20%D1%81%D1%82%D0%B0%D0%BD%D1%86%D0%B8%D0%B8/"
            "K%201.xls");
  EXPECT_EQ(FileUrl("/a/./b/../c#1%.xls"), "file:///a/c%231%25.xls");
  EXPECT_EQ(FileUrl("r.xls"), FileUrl(fs::current_path() / "r.xls"));
}

// Reading, writing, storing in the loaded format and quitting, on a path with blanks and
// Cyrillic letters, with a lock file left beside it by an instance of a kstune that crashed, by
// an instance that holds none of our descriptors.
TEST(OfficeApplication, ReadsWritesAndStoresAnXlsWorkbookInItsOwnFormat) {
  TempFolder folder;
  const fs::path path = folder.Path() / "отчёт по станции 17.xls";
  Workbooks().Make(path, Report());
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  std::ofstream(folder.Path() / ".~lock.отчёт по станции 17.xls#")
      << "," << getpwuid(geteuid())->pw_name << "," << host
      << ",01.01.2026 10:00,file:///tmp/kstune-office-gone0;";
  // Stands for the serial port: a descriptor of ours, inheritable, that the office must not keep.
  const fs::path device = folder.Path() / "device";
  std::ofstream(device) << "";
  const int descriptor = open(device.c_str(), O_RDONLY);
  ASSERT_GE(descriptor, 0);

  TUnoExcelApplication app;
  const std::string profile = app.Profile();
  EXPECT_GT(TOfficeProcess::CountProcesses(profile), 0);
  EXPECT_FALSE(InstanceHolds(profile, device));
  close(descriptor);
  app.WorkBooks().Open(path.string());
  // The office's own temporary files are kept in its profile, so they go with it however it ends.
  bool ownTemporaryFiles = false;
  std::error_code ec;
  for (const auto &entry : fs::directory_iterator(fs::path(profile) / "tmp", ec))
    ownTemporaryFiles = ownTemporaryFiles || entry.path().filename().string().rfind("lu", 0) == 0;
  EXPECT_TRUE(ownTemporaryFiles) << "the office keeps its temporary files outside its profile";
  EXPECT_EQ(app.cells(1, 1).Value(), "Станция");
  EXPECT_EQ(app.cells(1, 3).Value(), "1043");
  EXPECT_EQ(app.cells(2, 1).Value(), "Конец теста ");
  EXPECT_EQ(app.cells(3, 1).Value(), "Конец теста");
  EXPECT_EQ(app.cells(5, 1).Value(), "");
  EXPECT_EQ(app.cells(5, 2).Value(), "2.5");
  EXPECT_EQ(app.cells(100, 1).Value(), "");
  EXPECT_EQ(app.LastUsedRow(), 5);

  app.cells(4, 1).SetValue("K007255");
  app.cells(7, 1).SetValue("Конец");
  EXPECT_EQ(app.cells(4, 1).Value(), "K007255");
  EXPECT_EQ(app.LastUsedRow(), 7);
  app.Save();
  app.Quit();
  EXPECT_FALSE(app.Running());
  ExpectNothingLeft(profile);
  EXPECT_THROW(app.cells(1, 1).Value(), Exception);

  // Still an .xls (OLE2 compound file), and only the two cells differ.
  EXPECT_EQ(FileBytes(path).substr(0, 4), "\xD0\xCF\x11\xE0");
  TWorkbookContent expected = Report();
  expected[0].Rows[3][0] = std::string("K007255");
  expected[0].Rows.push_back({std::string()});
  expected[0].Rows.push_back({std::string("Конец")});
  for (auto &row : expected[0].Rows)
    row.resize(3, std::string());
  expected[1].Rows[0].resize(2);
  EXPECT_EQ(Workbooks().Read(path), expected);
}

TEST(OfficeApplication, StoresXlsxAndOdsWorkbooksInTheirOwnFormats) {
  TempFolder folder;
  for (const auto &[name, filter] :
       {std::pair{"r.xlsx", "Calc MS Excel 2007 XML"}, std::pair{"r.ods", "calc8"}}) {
    const fs::path path = folder.Path() / name;
    Workbooks().Make(path, {{"Лист1", {{std::string("Конец теста")}}}}, filter);
    {
      TUnoExcelApplication app;
      app.WorkBooks().Open(path.string());
      app.cells(2, 1).SetValue("K1");
      app.Save();
      app.Quit();
    }
    EXPECT_EQ(FileBytes(path).substr(0, 2), "PK") << name;
    const TWorkbookContent expected = {{"Лист1", {{std::string("Конец теста")}, {std::string("K1")}}}};
    EXPECT_EQ(Workbooks().Read(path), expected) << name;
  }
}

// Quitting, or ending the object, without Save leaves the file as it was and no process behind.
TEST(OfficeApplication, QuitWithoutSaveDiscardsTheChanges) {
  TempFolder folder;
  const fs::path path = folder.Path() / "r.xls";
  Workbooks().Make(path, Report());
  const std::string before = FileBytes(path);
  std::string profile;
  {
    TUnoExcelApplication app;
    profile = app.Profile();
    app.WorkBooks().Open(path.string());
    app.cells(4, 1).SetValue("K000");
  }
  ExpectNothingLeft(profile);
  EXPECT_EQ(FileBytes(path), before);
}

// Files that cannot be opened give a clear error and are never written; the instance goes on.
TEST(OfficeApplication, RefusesWhatIsNoWorkbookAndBadCellAccess) {
  TempFolder folder;
  const fs::path text = folder.Path() / "text.xls";
  std::ofstream(text) << "Конец теста\nK000\n";
  const std::string textBefore = FileBytes(text);
  const fs::path good = folder.Path() / "good.xls";
  Workbooks().Make(good, Report());

  TUnoExcelApplication app;
  EXPECT_NE(MessageOf([&] { app.cells(1, 1).Value(); }).find("рабочая книга не открыта"), std::string::npos);
  EXPECT_THROW(app.Save(), Exception);

  const std::string missing = MessageOf([&] { app.WorkBooks().Open((folder.Path() / "нет.xls").string()); });
  EXPECT_NE(missing.find("нет.xls"), std::string::npos) << missing;
  EXPECT_NE(missing.find("не найден"), std::string::npos) << missing;

  const std::string notWorkbook = MessageOf([&] { app.WorkBooks().Open(text.string()); });
  EXPECT_NE(notWorkbook.find("это не рабочая книга"), std::string::npos) << notWorkbook;
  EXPECT_THROW(app.Save(), Exception);
  EXPECT_EQ(FileBytes(text), textBefore);

  app.WorkBooks().Open(good.string());
  EXPECT_THROW(app.WorkBooks().Open(good.string()), Exception);
  EXPECT_THROW(app.cells(0, 1).Value(), Exception);
  EXPECT_THROW(app.cells(1, 0).SetValue("x"), Exception);
  const std::string far = MessageOf([&] { app.cells(1, 100000).Value(); });
  EXPECT_NE(far.find("(1, 100000)"), std::string::npos) << far;
  EXPECT_TRUE(app.Running());
  EXPECT_EQ(app.cells(1, 1).Value(), "Станция");
}

TEST(OfficeApplication, AnApplicationThatCannotStartIsAClearError) {
  TOfficeOptions options;
  options.ProgramDir = "/nonexistent/office/program";
  const std::string message = MessageOf([&] { TUnoExcelApplication app(options); });
  EXPECT_NE(message.find("Не удалось запустить приложение электронных таблиц"), std::string::npos) << message;
}

// An instance that stops answering is ended by the watchdog; one that dies is noticed. Either
// way the call fails with a message, later calls fail at once, and nothing is left running.
TEST(OfficeApplication, AHungOrDeadInstanceEndsTheCallWithAnError) {
  TempFolder folder;
  const fs::path path = folder.Path() / "r.xls";
  Workbooks().Make(path, Report());
  const std::string before = FileBytes(path);

  TOfficeOptions options;
  options.CallTimeout = 2s;
  {
    TUnoExcelApplication app(options);
    const std::string profile = app.Profile();
    app.WorkBooks().Open(path.string());
    app.cells(4, 1).SetValue("K1");
    ASSERT_EQ(kill(-app.ProcessGroup(), SIGSTOP), 0);
    const auto start = std::chrono::steady_clock::now();
    const std::string message = MessageOf([&] { app.cells(1, 1).Value(); });
    EXPECT_LT(std::chrono::steady_clock::now() - start, 60s);
    EXPECT_NE(message.find("не отвечало"), std::string::npos) << message;
    EXPECT_FALSE(app.Running());
    EXPECT_NE(MessageOf([&] { app.Save(); }).find("не отвечало"), std::string::npos);
    app.Quit();
    ExpectNothingLeft(profile);
  }
  {
    TUnoExcelApplication app(options);
    const std::string profile = app.Profile();
    app.WorkBooks().Open(path.string());
    app.cells(4, 1).SetValue("K1");
    ASSERT_EQ(kill(-app.ProcessGroup(), SIGKILL), 0);
    const std::string message = MessageOf([&] {
      // The death may be seen by this call or the next.
      for (int i = 0; i < 100; ++i) {
        app.cells(1, 1).Value();
        std::this_thread::sleep_for(20ms);
      }
    });
    EXPECT_NE(message.find("завершило работу"), std::string::npos) << message;
    EXPECT_FALSE(app.Running());
  }
  EXPECT_EQ(FileBytes(path), before);
}

// Column values are fetched a block of rows at a time: reads in any order and across blocks see
// exactly the cells, a write is seen by the next read, and rows beyond the sheet are an error.
TEST(OfficeApplication, ReadsEveryRowOfALongColumnInAnyOrder) {
  TempFolder folder;
  const fs::path path = folder.Path() / "long.xls";
  TSheetContent sheet{"Лист1", {}};
  for (int row = 1; row <= 700; ++row)
    sheet.Rows.push_back({"r" + std::to_string(row), static_cast<double>(row) / 4});
  Workbooks().Make(path, {sheet});

  TUnoExcelApplication app;
  app.WorkBooks().Open(path.string());
  for (int row = 1; row <= 701; ++row)
    ASSERT_EQ(app.cells(row, 1).Value(), row <= 700 ? "r" + std::to_string(row) : "") << row;
  for (int row = 700; row >= 1; row -= 37) {
    std::ostringstream quarter;
    quarter << static_cast<double>(row) / 4;
    ASSERT_EQ(app.cells(row, 2).Value(), quarter.str()) << row;
    ASSERT_EQ(app.cells(row, 1).Value(), "r" + std::to_string(row)) << row;
  }
  app.cells(300, 1).SetValue("новое");
  EXPECT_EQ(app.cells(300, 1).Value(), "новое");
  EXPECT_EQ(app.cells(301, 1).Value(), "r301");

  const std::string below = MessageOf([&] { app.cells(1 << 30, 1).Value(); });
  EXPECT_NE(below.find("за пределами листа"), std::string::npos) << below;
}

// A program that died without ending its instance: the next instance started ends it.
TEST(OfficeApplication, TheInstanceOfAProgramThatDiedIsEndedByTheNextStart) {
  EXPECT_FALSE(OrphanMaker);
  int out[2];
  ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
  const pid_t child = SpawnProgram({"/proc/self/exe"}, {"KSTUNE_TEST_MAKE_ORPHAN=1"}, out[1]);
  ASSERT_GT(child, 0);
  close(out[1]);
  const std::string profile = FirstLineAndClose(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_FALSE(profile.empty());
  // (Another test program starting an instance at this moment may end the orphan first.)

  TUnoExcelApplication app;
  EXPECT_EQ(TOfficeProcess::CountProcesses(profile), 0);
  EXPECT_FALSE(fs::exists(profile));
  EXPECT_TRUE(app.Running());
}

// A start that never answers is ended at its limit, at once and with a message: the launcher
// is not given the time an instance told to terminate gets.
TEST(OfficeApplication, AStuckStartIsEndedAtItsLimit) {
  TempFolder folder;
  const fs::path launcher = folder.Path() / "stuck-launcher";
  const fs::path pidFile = folder.Path() / "pid";
  std::ofstream(launcher) << "#!/bin/sh\necho $$ > '" << pidFile.string() << "'\nexec sleep 600\n";
  fs::permissions(launcher, fs::perms(0755));
  TOfficeOptions options;
  options.Launcher = launcher;
  options.StartTimeout = 2s;
  options.CallTimeout = 20s;
  const auto start = std::chrono::steady_clock::now();
  const std::string message = MessageOf([&] { TUnoExcelApplication app(options); });
  EXPECT_LT(std::chrono::steady_clock::now() - start, 12s);
  EXPECT_NE(message.find("нет ответа за 2 с"), std::string::npos) << message;
  pid_t pid = 0;
  std::ifstream(pidFile) >> pid;
  ASSERT_GT(pid, 0);
  TProcessInfo info;
  EXPECT_FALSE(ReadProcess(pid, info) && info.State != 'Z');
}
