#pragma once
// kstune-journal's options: --help and --version print and end; --database URI names the journal.
#include <optional>
#include <string>

namespace viewer {

struct JournalOptions {
  std::optional<std::string> database;
};

// -1 to go on (options filled in), otherwise the exit status: 0 after --help/--version, 2 for a
// wrong option (said on stderr).
int HandleCommandLine(int argc, char **argv, JournalOptions &options);

} // namespace viewer
