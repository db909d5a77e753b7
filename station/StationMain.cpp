// kstune-station: a simulated station on a pseudo-terminal, found by kstune as COM<N>.
#include "station/SimStation.h"
#include "station/StationError.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <pthread.h>
#include <string>

namespace {

const char *const Help =
    "Usage: kstune-station [--com N] [--pace] [--log]\n"
    "\n"
    "Simulates a KS radio station on a pseudo-terminal so that kstune can be tried without\n"
    "hardware. The station is linked as <dir>/com<N>, where <dir> is $XDG_CONFIG_HOME/kstune\n"
    "(or ~/.config/kstune); kstune then opens it as COM<N>. It serves until Ctrl+C or SIGTERM\n"
    "and removes the link on exit. An existing <dir>/com<N> that is not its own is never replaced.\n"
    "\n"
    "  --com N   the COM number to appear as (default 2)\n"
    "  --pace    take 10 bit times at 1200 baud (8.33 ms) for every byte, as a real line does\n"
    "  --log     print one line per exchange: the bytes received (hex) and what they did\n"
    "  --help    show this text\n"
    "  --version show the version\n";

bool ParseCom(const std::string &text, int &com) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  com = std::stoi(text);
  return com >= 1 && com <= 255;
}

int Usage(const std::string &problem) {
  std::cerr << "kstune-station: " << problem << "\n"
            << "Try 'kstune-station --help'.\n";
  return 2;
}

} // namespace

int main(int argc, char **argv) {
  TStationOptions options;
  options.ComNumber = 2;
  bool log = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << Help;
      return 0;
    } else if (arg == "--version") {
      std::cout << "kstune-station " KSTUNE_VERSION "\n";
      return 0;
    } else if (arg == "--pace") {
      options.Pace = true;
    } else if (arg == "--log") {
      log = true;
    } else if (arg == "--com" || arg.rfind("--com=", 0) == 0) {
      std::string value;
      if (arg == "--com") {
        if (i + 1 >= argc)
          return Usage("--com needs a number");
        value = argv[++i];
      } else {
        value = arg.substr(6);
      }
      if (!ParseCom(value, options.ComNumber))
        return Usage("'" + value + "' is not a COM number (1..255)");
    } else {
      return Usage("unknown option '" + arg + "'");
    }
  }
  // A reader that goes away (`--log | head`) must not end the station: its link would stay
  // behind. Output is then simply dropped.
  std::signal(SIGPIPE, SIG_IGN);
  if (log)
    options.Log = [](const std::string &line) {
      if (std::cout)
        std::cout << line << std::endl;
    };

  // The signals are taken by sigwait below, never by a handler on the station's thread.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  TSimStation station;
  try {
    station.Start(options);
  } catch (const std::exception &e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  if (!station.ReplacedLinkTarget().empty())
    std::cerr << "kstune-station: replaced the stale link " << station.LinkPath().string() << " -> "
              << station.ReplacedLinkTarget().string() << " (that pseudo-terminal no longer exists)\n";
  std::cout << "kstune-station: serving COM" << options.ComNumber << " on " << station.SlavePath()
            << " (link " << station.LinkPath().string() << ")" << (options.Pace ? ", paced at 1200 baud" : "")
            << "; Ctrl+C stops." << std::endl;
  const auto link = station.LinkPath();
  int received = 0;
  sigwait(&stopSignals, &received);
  station.Stop();
  std::cout << "kstune-station: stopped, " << link.string() << " removed." << std::endl;
  return 0;
}
