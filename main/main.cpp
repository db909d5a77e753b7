#include "link/Trace.h"
#include "main/Application.h"
#include "main/BenchJournal.h"
#include "main/CommandLine.h"
#include "runtime/DisplayCheck.h"
#include "runtime/ProgramOptions.h"
#include "main/OperationWatcher.h"
#include "runtime/QtTranslations.h"
#include "main/UnitMain.h"
#include "main/WindowPlacement.h"
#include "serial/AdSrMgr.h"

#include <cstdio>
#include <optional>
#include <string>

int main(int argc, char **argv) {
  std::string traceFile;
  if (const int status = HandleCommandLine(argc, argv, traceFile); status >= 0)
    return status;
  // A trace that cannot be written is said once; the bench work goes on without it.
  std::string traceError;
  if (!traceFile.empty() && !StartTrace(traceFile, ProgramVersion(), traceError))
    std::fprintf(stderr, "kstune: cannot write the trace to '%s': %s; running without the trace\n",
                 traceFile.c_str(), traceError.c_str());
  std::optional<TDisplayCheck> displayCheck(std::in_place, "kstune", "under xvfb-run");
  TApplication app(argc, argv);
  displayCheck.reset();
  TApplication::setApplicationName(QStringLiteral("kstune"));
  InstallQtTranslations(app);
  InstallStandardBoxes();
  TSerialLayerScope serialLayer; // the serial layer's message tables, for the life of the program
  StartBenchJournal();
  int status = 0;
  {
    TForm1 form;
    PlaceOnItsScreen(form);
    form.show();
    InstallQuitSignals(form);
    if (TraceOn())
      WatchOperations(form);
    status = app.exec();
  }
  // The window, and the port with it, go first: the journal's end never holds the port.
  EndBenchJournal();
  StopTrace();
  return status;
}
