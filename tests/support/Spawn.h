#pragma once
// Starting another program from a test: the test program itself in a changed environment, a
// shell, a tool under a namespace.
#include <string>
#include <sys/types.h>
#include <vector>

// Starts args[0] with args. Its environment is this process's, with each "NAME=value" of
// environment set (a name it already has is replaced). With stdoutFd >= 0 the child's standard
// output goes there. Returns the child's pid, or -1 when it could not be started.
pid_t SpawnProgram(const std::vector<std::string> &args, const std::vector<std::string> &environment,
                   int stdoutFd = -1);

// The first line read from a descriptor (a child's output), without its end; closes the
// descriptor. Empty when nothing came before the end of the output.
std::string FirstLineAndClose(int fd);
