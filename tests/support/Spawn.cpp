#include "tests/support/Spawn.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
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

int RunProgram(const std::vector<std::string> &args, const std::vector<std::string> &environment) {
  const pid_t pid = SpawnProgram(args, environment);
  if (pid <= 0)
    return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string CurrentTest() {
  const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
  return test ? std::string(test->test_suite_name()) + "." + test->name() : std::string();
}

int RunTestInChild(const std::string &test, const std::vector<std::string> &environment,
                   const std::vector<std::string> &prefix, const std::vector<std::string> &arguments) {
  std::vector<std::string> args = prefix;
  args.push_back(std::filesystem::read_symlink("/proc/self/exe").string());
  args.push_back("--gtest_filter=" + test);
  args.insert(args.end(), arguments.begin(), arguments.end());
  return RunProgram(args, environment);
}

std::optional<std::string> InForkedChild(const std::function<std::string()> &body) {
  int channel[2];
  if (pipe(channel) != 0)
    return std::nullopt;
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    const std::string text = body();
    for (size_t at = 0; at < text.size();) {
      const ssize_t n = write(channel[1], text.data() + at, text.size() - at);
      if (n <= 0)
        _exit(2);
      at += static_cast<size_t>(n);
    }
    _exit(0);
  }
  close(channel[1]);
  if (child < 0) {
    close(channel[0]);
    return std::nullopt;
  }
  std::string text;
  char chunk[512];
  for (ssize_t n; (n = read(channel[0], chunk, sizeof chunk)) > 0;)
    text.append(chunk, static_cast<size_t>(n));
  close(channel[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return std::nullopt;
  return text;
}

std::string FirstLineAndClose(int fd) {
  std::string line;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n')
    line += c;
  close(fd);
  return line;
}
