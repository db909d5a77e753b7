#pragma once
// The processes of the machine as /proc shows them: enough to find an office instance's
// processes and to tell whether a process id still names the same process.
#include <string>
#include <sys/types.h>
#include <vector>

struct TProcessInfo {
  pid_t Pid = 0;
  char State = 0;                   // 'Z' for a zombie
  pid_t Group = 0;                  // process group
  unsigned long long StartTime = 0; // clock ticks after boot: with Pid, names one process
  std::string CommandLine;          // arguments joined by NUL bytes
};

// The ids of every process /proc shows now.
std::vector<pid_t> ProcessIds();
// Whether one of the process's arguments is exactly argument.
bool HasArgument(const TProcessInfo &process, const std::string &argument);
// false when the process does not exist (any more).
bool ReadProcess(pid_t pid, TProcessInfo &info);
std::vector<TProcessInfo> Processes();
