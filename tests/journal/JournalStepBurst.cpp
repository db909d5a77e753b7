// kstune's window with its journal against the simulated station, typing a new value and
// pressing Enter as fast as the station answers, until it is killed. JournalKillTest kills it.
// After each value the station has answered, the count of them goes to standard output, so the
// test can tell how many the journal had not written when the process died.
#include "journal/Journal.h"
#include "main/BenchJournal.h"
#include "link/Connection.h"
#include "main/Application.h"
#include "main/UnitMain.h"
#include "params/Editing.h"
#include "station/SimStation.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

int main(int argc, char **argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  TSimStation station;
  station.Start({.ComNumber = 2});
  TForm1 form;
  StartBenchJournal();
  ConnectStation(form);
  if (form.BitBtn9->isEnabled()) {
    std::fprintf(stderr, "connect failed\n");
    return 1;
  }
  form.Edit19Enter();
  for (unsigned i = 0;; ++i) {
    form.Edit19->setText(QString::number(i % 256));
    SendTypedValue(form);
    const std::string done = std::to_string(i + 1) + "\n";
    if (write(STDOUT_FILENO, done.data(), done.size()) < 0)
      return 1;
  }
}
