#include "main/CommandLine.h"

#include <cstdio>
#include <string_view>

namespace {

int Refuse(std::string_view what, std::string_view argument) {
  std::fprintf(stderr, "kstune: %.*s '%.*s'\n", int(what.size()), what.data(), int(argument.size()),
               argument.data());
  return 2;
}

} // namespace

int HandleCommandLine(int argc, char **argv, std::string &traceFile) {
  traceFile.clear();
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
