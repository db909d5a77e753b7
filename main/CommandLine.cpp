#include "main/CommandLine.h"

#include <cstdio>
#include <string_view>

namespace {

const char *const Help =
    "Usage: kstune [--help | --version]\n"
    "\n"
    "Bench tool for the factory tuning of KS41, KS43, KS45 and KS47 VHF radio stations over a\n"
    "serial line. Everything is set in the window; the options file and the snapshot are kept in\n"
    "$XDG_CONFIG_HOME/kstune (or ~/.config/kstune). Port COM<N> is <that folder>/com<N> when it\n"
    "exists (a link to the real device), otherwise /dev/ttyS<N-1>.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "\n"
    "See also: kstune-station(1), a simulated station for trying kstune without hardware.\n";

} // namespace

int HandleCommandLine(int argc, char **argv) {
  if (argc < 2)
    return -1;
  const std::string_view option = argv[1];
  if (argc == 2 && (option == "--help" || option == "-h")) {
    std::fputs(Help, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (argc == 2 && option == "--version") {
    std::printf("kstune %s\n", KSTUNE_VERSION);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  const std::string_view wrong =
      option == "--help" || option == "-h" || option == "--version" ? argv[2] : option;
  std::fprintf(stderr, "kstune: unknown option '%.*s'\nTry 'kstune --help'.\n", int(wrong.size()),
               wrong.data());
  return 2;
}
