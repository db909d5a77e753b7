#include "viewer/ViewerOptions.h"

#include <cstdio>
#include <string_view>

namespace viewer {

namespace {

const char *const Help =
    "Usage: kstune-journal [--help | --version | --database URI]\n"
    "\n"
    "Shows the station journal of kstune: the stations a bench touched, each station's sessions\n"
    "and records, the values it left with, and its telemetry. It never opens a serial port.\n"
    "\n"
    "By default it reads the bench's journal, $XDG_DATA_HOME/kstune/journal.sqlite\n"
    "(~/.local/share/kstune/journal.sqlite). The factory's database, named by the key Database\n"
    "in section [Journal] of $XDG_CONFIG_HOME/kstune/Q417Options.ini, is in the menu.\n"
    "\n"
    "  --help          show this text\n"
    "  --version       show the version\n"
    "  --database URI  read this journal: postgresql://user@host/db, or an SQLite file\n"
    "\n"
    "See also: kstune(1).\n";

int Print(const char *text) {
  std::fputs(text, stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int Refuse(std::string_view what, std::string_view argument) {
  std::fprintf(stderr, "kstune-journal: %.*s '%.*s'\nTry 'kstune-journal --help'.\n", int(what.size()), what.data(),
               int(argument.size()), argument.data());
  return 2;
}

} // namespace

int HandleCommandLine(int argc, char **argv, JournalOptions &options) {
  options = {};
  if (argc == 2) {
    const std::string_view option = argv[1];
    if (option == "--help" || option == "-h")
      return Print(Help);
    if (option == "--version")
      return Print("kstune-journal " KSTUNE_VERSION "\n");
  }
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--database" && i + 1 < argc && argv[i + 1][0] != '\0' && !options.database) {
      options.database = argv[++i];
    } else if (option.starts_with("--database=") && option.size() > 11 && !options.database) {
      options.database = std::string(option.substr(11));
    } else if (option == "--database" || option.starts_with("--database=")) {
      return Refuse("--database wants one URI, not", option);
    } else {
      return Refuse("unknown option", option);
    }
  }
  return -1;
}

} // namespace viewer
