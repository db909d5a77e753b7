#include "main/CommandLine.h"

#include "runtime/ProgramOptions.h"

#include <QFile>

namespace {

const char *const Description =
    "Bench tool for the factory tuning of KS41, KS43, KS45 and KS47 VHF radio stations over a\n"
    "serial line. Everything is set in the window; the options file and the snapshot are kept in\n"
    "$XDG_CONFIG_HOME/kstune (or ~/.config/kstune). Port COM<N> is <that folder>/com<N> when it\n"
    "exists (a link to the real device), then /etc/xdg/kstune/com<N>, otherwise /dev/ttyS<N-1>.\n"
    "An administrator's /etc/xdg/kstune/Q417Options.ini (each folder of $XDG_CONFIG_DIRS) gives\n"
    "the keys the user's own options file lacks; kstune never writes it.";

const char *const SeeAlso = "See also: kstune-journal(1), the viewer of the station journal kstune keeps, and\n"
                            "kstune-station(1), a simulated station for trying kstune without hardware.";

} // namespace

int HandleCommandLine(int argc, char **argv, std::string &traceFile) {
  traceFile.clear();
  TProgramOptions options(QStringLiteral("kstune"), QString::fromUtf8(Description), QString::fromUtf8(SeeAlso));
  const QCommandLineOption trace(QStringLiteral("trace"),
                                 QStringLiteral("Add one line per exchange with the station to FILE, as it happens."),
                                 QStringLiteral("FILE"));
  options.Add(trace);
  if (const int status = options.Parse(ProgramArguments(argc, argv)); status >= 0)
    return status;
  if (options.IsSet(trace))
    traceFile = QFile::encodeName(options.Value(trace)).toStdString();
  return -1;
}
