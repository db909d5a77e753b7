// However kstune ends with a report open, no spreadsheet process outlives it: SIGINT, SIGTERM and
// SIGHUP end it the way closing the window does (the instance ended in order, its lock and
// profile gone, the report untouched); after SIGKILL the kernel tells the instance's guard.
#include "main/Application.h"
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "platform/office/DocumentLock.h"
#include "platform/office/ExcelApplication.h"
#include "platform/office/OfficeProcess.h"
#include "os/ProcessTable.h"
#include "records/Report.h"
#include "records/ReportSeams.h"
#include "runtime/Dialogs.h"
#include "tests/platform/OfficeWorkbooks.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Spawn.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

const char *const ChildVariable = "KSTUNE_TEST_REPORT_CHILD";

// Child mode: kstune's window with its quit signals, a report opened by "...", the instance's
// profile printed; then the event loop until a signal ends it.
int RunChild(const char *report) {
  int argc = 1;
  char name[] = "kstune";
  char *argv[] = {name, nullptr};
  TApplication app(argc, argv);
  SetMessageBoxHandler([](const std::string &text, const std::string &, int) {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return static_cast<int>(mbOK);
  });
  SetErrorBoxHandler([](const std::string &text) { std::fprintf(stderr, "error: %s\n", text.c_str()); });
  int status = 0;
  {
    TForm1 form;
    EnablePanels(form);
    form.show();
    InstallQuitSignals(form);
    SetReportFileDialog(
        [&](QWidget *, const QString &, const QString &) { return QString::fromUtf8(report); });
    OpenReport(form);
    if (!form.MainState.ReportWorkbook)
      return 2;
    std::printf("%s\n", form.MainState.ReportWorkbook->Profile().c_str());
    std::fflush(stdout);
    status = app.exec();
  }
  return status;
}

const bool IsChild = [] {
  if (const char *report = std::getenv(ChildVariable)) {
    const int status = RunChild(report);
    std::fflush(stdout);
    _exit(status);
  }
  return false;
}();

// Waits for the child with a generous bound; -1 when it did not end.
int WaitFor(pid_t pid, std::chrono::seconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid, &status, WNOHANG) == pid)
      return status;
    std::this_thread::sleep_for(20ms);
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -1;
}

bool EventuallyNoProcess(const std::string &profile, std::chrono::seconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (TOfficeProcess::CountProcesses(profile) > 0) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

} // namespace

TEST(ReportEnding, NoSpreadsheetProcessOutlivesKstune) {
  ASSERT_FALSE(IsChild);
  char pattern[] = "/tmp/kstune-report-ending-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path folder = pattern;
  TOfficeWorkbooks workbooks;
  struct Row {
    int signal;
    bool orderly;
  } rows[] = {{SIGINT, true}, {SIGTERM, true}, {SIGHUP, true}, {SIGKILL, false}};
  for (const auto &row : rows) {
    SCOPED_TRACE(strsignal(row.signal));
    const fs::path report = folder / "отчет.xls";
    workbooks.Make(report, {{"Протокол", {{std::string("Конец теста")}}}});
    const std::string before = FileBytes(report);

    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    const pid_t child = SpawnProgram(
        {"/proc/self/exe"}, {std::string(ChildVariable) + "=" + report.string(), "QT_QPA_PLATFORM=offscreen"},
        out[1]);
    ASSERT_GT(child, 0);
    close(out[1]);
    const std::string profile = FirstLineAndClose(out[0]);
    ASSERT_FALSE(profile.empty());
    EXPECT_GT(TOfficeProcess::CountProcesses(profile), 0);
    EXPECT_TRUE(ReadDocumentLock(report).has_value());

    ASSERT_EQ(kill(child, row.signal), 0);
    const int status = WaitFor(child, 60s);
    if (row.orderly) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      EXPECT_EQ(TOfficeProcess::CountProcesses(profile), 0);
      EXPECT_FALSE(fs::exists(profile));
      EXPECT_FALSE(ReadDocumentLock(report).has_value());
    } else {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
      EXPECT_TRUE(EventuallyNoProcess(profile, 10s));
    }
    EXPECT_EQ(FileBytes(report), before);
    fs::remove(report);
    fs::remove(DocumentLockPath(report));
  }
  std::error_code ec;
  fs::remove_all(folder, ec);
}
