// "..." (start of the spreadsheet application and open) and "Запись" (marker search, record,
// store, quit) on a report workbook of 1 000 rows, against the office's own start, open, store
// and end through UNO alone, measured here in the same run; then the spreadsheet processes left
// after a program that opened a report has ended.
//
//   ReportBench [rounds]      prints medians, the ratio, and the processes left
#include "main/Application.h"
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "platform/office/OfficeBridge.h"
#include "records/Report.h"
#include "records/ReportSeams.h"
#include "runtime/Dialogs.h"
#include "tests/platform/OfficeWorkbooks.h"

#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char *const ProcessMarker = "kstune-office-";
constexpr int Rows = 1000;

double Ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// 1 000 rows of protocol, the marker three rows from the end, so the search reads nearly all.
TWorkbookContent Protocol() {
  TSheetContent sheet{"Протокол", {}};
  for (int row = 1; row <= Rows; ++row) {
    const std::string first = row == Rows - 3 ? "Конец теста" : "измерение " + std::to_string(row);
    sheet.Rows.push_back(
        {first, static_cast<double>(row) * 0.5, static_cast<double>(row % 17), std::string("годен")});
  }
  return {sheet, {"Данные", {{std::string("x"), 1.0}}}};
}

struct TSample {
  double Open = 0;
  double Write = 0;
};

TSample RunTool(TForm1 &form, const fs::path &path) {
  SetReportFileDialog(
      [&](QWidget *, const QString &, const QString &) { return QString::fromStdString(path.string()); });
  const auto t0 = Clock::now();
  OpenReport(form);
  const auto t1 = Clock::now();
  WriteReport(form);
  const auto t2 = Clock::now();
  if (form.MainState.ReportWorkbook || form.BitBtn24->isEnabled())
    std::fprintf(stderr, "the write did not end the instance\n");
  return {Ms(t0, t1), Ms(t1, t2)};
}

// The office alone: start, load, store and end, with no marker search and no cell access.
double RunReference(const fs::path &path) {
  const auto t0 = Clock::now();
  {
    TOfficeInstance office;
    const auto document = office.Load(path.string());
    office.Call("store", office.Options().LoadTimeout, [&] {
      css::uno::Reference<css::frame::XStorable>(document, css::uno::UNO_QUERY_THROW)->store();
      css::uno::Reference<css::util::XCloseable>(document, css::uno::UNO_QUERY_THROW)->close(true);
    });
    office.End();
  }
  return Ms(t0, Clock::now());
}

// Child mode: a program that opens a report and ends without writing it.
int OpenAndExit(int argc, char **argv, const char *path) {
  TApplication app(argc, argv);
  TForm1 form;
  EnablePanels(form);
  SetReportFileDialog([&](QWidget *, const QString &, const QString &) { return QString::fromUtf8(path); });
  OpenReport(form);
  return form.MainState.ReportWorkbook && form.MainState.ReportWorkbook->Running() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (argc == 3 && std::strcmp(argv[1], "--open-and-exit") == 0)
    return OpenAndExit(argc, argv, argv[2]);
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

  char folderPattern[] = "/tmp/kstune-report-bench-XXXXXX";
  if (!mkdtemp(folderPattern))
    return 1;
  const fs::path folder = folderPattern;
  const fs::path master = folder / "отчет 1000.xls";
  const fs::path work = folder / "отчет.xls";
  const int before = TOfficeProcess::CountProcesses(ProcessMarker);

  std::vector<TSample> later;
  TSample first;
  std::vector<double> reference;
  {
    TApplication app(argc, argv);
    SetMessageBoxHandler([](const std::string &text, const std::string &, int) {
      std::fprintf(stderr, "message: %s\n", text.c_str());
      return static_cast<int>(mbOK);
    });
    TForm1 form;
    EnablePanels(form);
    {
      TOfficeWorkbooks workbooks;
      workbooks.Make(master, Protocol());
      // The first instance of a run starts on a fresh profile; the maker above is still running,
      // so this one is measured before any profile could be reused.
      fs::copy_file(master, work, fs::copy_options::overwrite_existing);
      first = RunTool(form, work);
    }
    for (int i = 0; i < rounds; ++i) {
      fs::copy_file(master, work, fs::copy_options::overwrite_existing);
      later.push_back(RunTool(form, work));
      fs::copy_file(master, work, fs::copy_options::overwrite_existing);
      reference.push_back(RunReference(work));
    }
  }
  const int afterWrites = TOfficeProcess::CountProcesses(ProcessMarker) - before;

  // A program that opened a report and ended without "Запись".
  int childStatus = -1;
  const pid_t child = fork();
  if (child == 0) {
    execl("/proc/self/exe", argv[0], "--open-and-exit", master.c_str(), static_cast<char *>(nullptr));
    _exit(127);
  }
  waitpid(child, &childStatus, 0);
  const int afterProgram = TOfficeProcess::CountProcesses(ProcessMarker) - before;

  std::error_code ec;
  fs::remove_all(folder, ec);

  std::vector<double> opens, writes, totals;
  for (const auto &s : later) {
    opens.push_back(s.Open);
    writes.push_back(s.Write);
    totals.push_back(s.Open + s.Write);
  }
  std::printf("workbook: %d rows, marker in row %d, .xls\n", Rows, Rows - 3);
  std::printf("first of the run (fresh profile): \"...\" %.0f ms, \"Запись\" %.0f ms, together %.0f ms\n",
              first.Open, first.Write, first.Open + first.Write);
  std::printf("median of %d later: \"...\" %.0f ms, \"Запись\" %.0f ms, together %.0f ms\n", rounds,
              Median(opens), Median(writes), Median(totals));
  std::printf("office alone (start, open, store, end): %.0f ms; tool / office alone = %.2f\n",
              Median(reference), Median(totals) / Median(reference));
  std::printf(
      "spreadsheet processes left: after the writes %d, after a program that opened a report ended %d "
      "(its exit status %d)\n",
      afterWrites, afterProgram, WIFEXITED(childStatus) ? WEXITSTATUS(childStatus) : -1);
  return 0;
}
