#pragma once
// The command line of kstune. Nothing on it configures the tool: --help and --version print and
// end the program before any window or display is touched; anything else is refused.

// Returns -1 when the program is to go on, otherwise the exit status to end it with.
int HandleCommandLine(int argc, char **argv);
