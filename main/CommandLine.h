#pragma once
// The command line of kstune. Nothing on it configures the tool: --help and --version print and
// end the program before any window or display is touched, --trace FILE only records the
// exchanges with the station; anything else is refused (runtime/ProgramOptions.h says how).
#include <string>

// Returns -1 when the program is to go on, otherwise the exit status to end it with. traceFile
// receives the file of --trace FILE (or --trace=FILE), empty without it.
int HandleCommandLine(int argc, char **argv, std::string &traceFile);
