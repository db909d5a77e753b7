#include "tests/support/Spawn.h"

#include <spawn.h>
#include <unistd.h>

extern char **environ;

pid_t SpawnProgram(const std::vector<std::string> &args, const std::vector<std::string> &environment,
                   int stdoutFd) {
  std::vector<std::string> env = environment;
  for (char **e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const auto &set : environment)
      replaced = replaced || set.rfind(name, 0) == 0;
    if (!replaced)
      env.push_back(entry);
  }
  std::vector<char *> argv, envp;
  for (const auto &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  for (auto &e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  if (stdoutFd >= 0)
    posix_spawn_file_actions_adddup2(&files, stdoutFd, 1);
  pid_t pid = -1;
  const int error = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&files);
  return error == 0 ? pid : -1;
}

std::string FirstLineAndClose(int fd) {
  std::string line;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n')
    line += c;
  close(fd);
  return line;
}
