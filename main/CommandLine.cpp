#include "main/CommandLine.h"

#include <cstdio>
#include <string_view>

namespace {

const char *const Help =
    "Usage: kstune [--help | --version | --trace FILE]\n"
    "\n"
    "Bench tool for the factory tuning of KS41, KS43, KS45 and KS47 VHF radio stations over a\n"
    "serial line. Everything is set in the window; the options file and the snapshot are kept in\n"
    "$XDG_CONFIG_HOME/kstune (or ~/.config/kstune). Port COM<N> is <that folder>/com<N> when it\n"
    "exists (a link to the real device), then /etc/xdg/kstune/com<N>, otherwise /dev/ttyS<N-1>.\n"
    "An administrator's /etc/xdg/kstune/Q417Options.ini (each folder of $XDG_CONFIG_DIRS) gives\n"
    "the keys the user's own options file lacks; kstune never writes it.\n"
    "\n"
    "  --help        show this text\n"
    "  --version     show the version\n"
    "  --trace FILE  add one line per exchange with the station to FILE, as it happens\n"
    "\n"
    "See also: kstune-journal(1), the viewer of the station journal kstune keeps, and\n"
    "kstune-station(1), a simulated station for trying kstune without hardware.\n";

int Print(const char *text) {
  std::fputs(text, stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int Refuse(std::string_view what, std::string_view argument) {
  std::fprintf(stderr, "kstune: %.*s '%.*s'\nTry 'kstune --help'.\n", int(what.size()), what.data(),
               int(argument.size()), argument.data());
  return 2;
}

} // namespace

int HandleCommandLine(int argc, char **argv, std::string &traceFile) {
  traceFile.clear();
  if (argc == 2) {
    const std::string_view option = argv[1];
    if (option == "--help" || option == "-h")
      return Print(Help);
    if (option == "--version")
      return Print("kstune " KSTUNE_VERSION "\n");
  }
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--trace" && i + 1 < argc && argv[i + 1][0] != '\0' && traceFile.empty()) {
      traceFile = argv[++i];
    } else if (option.starts_with("--trace=") && option.size() > 8 && traceFile.empty()) {
      traceFile = option.substr(8);
    } else if (option == "--trace" || option.starts_with("--trace=")) {
      return Refuse("--trace wants one file name, not", option);
    } else {
      return Refuse("unknown option", option);
    }
  }
  return -1;
}

const char *ProgramVersion() { return KSTUNE_VERSION; }
