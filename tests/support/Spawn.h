#pragma once
// Starting another program from a test: the test program itself in a changed environment, a
// shell, a tool under a namespace.
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// Starts args[0] with args. Its environment is this process's, with each "NAME=value" of
// environment set (a name it already has is replaced). With stdoutFd >= 0 the child's standard
// output goes there. Returns the child's pid, or -1 when it could not be started.
pid_t SpawnProgram(const std::vector<std::string> &args, const std::vector<std::string> &environment,
                   int stdoutFd = -1);

// Runs args[0] with args (environment as above) to its end: its exit status, 128 + n when signal
// n ended it, -1 when it could not be started.
int RunProgram(const std::vector<std::string> &args, const std::vector<std::string> &environment = {});

// The full name of the test now running, "Suite.Name".
std::string CurrentTest();

// Runs the one test named again, alone, in a child of this test program: with each "NAME=value"
// of environment set, after prefix (a command that then runs the rest, as unshare or sh -c do)
// and with more GoogleTest arguments. For a test that must run in a changed world: another
// locale, another user, a mount namespace of its own. The child's status as RunProgram gives it.
int RunTestInChild(const std::string &test, const std::vector<std::string> &environment,
                   const std::vector<std::string> &prefix = {}, const std::vector<std::string> &arguments = {});

// Runs body in a forked child of this process, so that what it changes (its identity, its
// limits) stays there: the text body gave back, or nothing when the child ended otherwise.
std::optional<std::string> InForkedChild(const std::function<std::string()> &body);

// The first line read from a descriptor (a child's output), without its end; closes the
// descriptor. Empty when nothing came before the end of the output.
std::string FirstLineAndClose(int fd);
