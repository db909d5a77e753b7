#include "platform/office/OfficeProcess.h"

#include "platform/office/FileUrl.h"
#include "platform/office/OfficeOrphans.h"
#include "os/ProcessTable.h"
#include "runtime/Exception.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

// Document locking stays on: the instance keeps the standard lock file beside the report while it
// holds it, so a desktop office opening the report meanwhile sees it in use. Auto-recovery
// would only slow the instance down.
const char *const ProfileSettings = R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="UseLocking" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="UseDocumentOOoLockFile" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Recovery/AutoSave"><prop oor:name="Enabled" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Recovery/RecoveryInfo"><prop oor:name="Enabled" oor:op="fuse"><value>false</value></prop></item>
</oor:items>
)";

// The office's own temporary files go into its profile, so that they go with it even when the
// instance is killed.
std::filesystem::path TemporaryFolder(const std::filesystem::path &profile) { return profile / "tmp"; }

void WriteSettings(const std::filesystem::path &profile) {
  std::error_code ec;
  std::filesystem::create_directories(profile / "user", ec);
  if (!ec)
    std::filesystem::create_directories(TemporaryFolder(profile), ec);
  std::ofstream settings(profile / "user" / "registrymodifications.xcu", std::ios::binary | std::ios::trunc);
  settings << ProfileSettings;
  if (ec || !settings.flush())
    throw Exception("Не удалось подготовить профиль приложения электронных таблиц в " + profile.string());
}

std::filesystem::path MakeTempFolder(const char *prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
  if (!mkdtemp(pattern.data()))
    throw Exception(std::string("Не удалось создать временную папку приложения электронных таблиц: ") +
                    std::strerror(errno));
  return pattern;
}

// A profile that has been through the office's first start, kept for the rest of the run:
// every later instance starts from a copy of it and so skips the first-start work and the
// restart that follows it (more than a second). Each instance still has a profile of its own.
class TProfileTemplate {
public:
  ~TProfileTemplate() {
    std::error_code ec;
    if (!path_.empty())
      std::filesystem::remove_all(path_, ec);
  }

  // Copies the template into the empty folder profile; false when there is none yet.
  bool CopyTo(const std::filesystem::path &profile) {
    std::lock_guard lock(mutex_);
    if (path_.empty())
      return false;
    std::error_code ec;
    std::filesystem::copy(path_, profile, std::filesystem::copy_options::recursive, ec);
    return !ec;
  }

  // Takes over the profile of an instance that ended normally, unless there is one already;
  // what the instance remembered (recent files) is dropped with its settings.
  bool Adopt(const std::filesystem::path &profile) {
    std::lock_guard lock(mutex_);
    if (!path_.empty())
      return false;
    try {
      const auto target = MakeTempFolder((std::string(OfficeFolderPrefix) + "template-").c_str());
      std::error_code ec;
      std::filesystem::rename(profile, target, ec);
      if (ec) {
        std::filesystem::remove_all(target, ec);
        return false;
      }
      std::filesystem::remove(target / ".lock", ec);
      WriteSettings(target);
      WriteProfileOwner(target);
      path_ = target;
      return true;
    } catch (const Exception &) {
      return false;
    }
  }

private:
  std::mutex mutex_;
  std::filesystem::path path_;
};

TProfileTemplate &ProfileTemplate() {
  static TProfileTemplate profileTemplate;
  return profileTemplate;
}

// A fresh profile folder: a copy of the template when there is one.
std::filesystem::path MakeProfile(bool &fromTemplate) {
  EndOrphanedInstances();
  const auto profile = MakeTempFolder(OfficeFolderPrefix);
  fromTemplate = ProfileTemplate().CopyTo(profile);
  try {
    WriteSettings(profile);
    WriteProfileOwner(profile);
  } catch (const Exception &) {
    std::error_code ec;
    std::filesystem::remove_all(profile, ec);
    throw;
  }
  return profile;
}

// The parent's environment, with a UTF-8 locale (file names outside ASCII fail under the C
// locale), the profile's temporary folder, and without what belongs to this process's own
// bridge or to file locking.
std::vector<std::string> ChildEnvironment(const std::filesystem::path &profile) {
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    if (name == "LC_ALL" || name == "URE_BOOTSTRAP" || name == "TMPDIR")
      continue;
    env.push_back(entry);
  }
  env.push_back("LC_ALL=C.UTF-8");
  env.push_back("TMPDIR=" + TemporaryFolder(profile).string());
  return env;
}

// Zombies are not counted: they run nothing and go when their new parent reaps them.
bool GroupEmpty(pid_t group) {
  for (const auto &process : Processes())
    if (process.Group == group && process.State != 'Z')
      return false;
  return true;
}

// The guard: the first process of the instance's group, between this program and the office's
// launcher. The kernel tells it when this program ends, however it ends (SIGKILL and crashes
// included), and it then kills the whole group; as the group's subreaper it also collects the
// office processes the launcher leaves behind, and it exits, with the launcher's status, once
// none is left. It runs in a fork of this program without exec, so it calls only what is safe
// there: system calls on memory prepared before the fork.
[[noreturn]] void RunGuard(pid_t parent, const char *program, char *const *argv, char *const *envp) {
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) // ended before the tie was made
    _exit(1);
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  const int null = open("/dev/null", O_RDWR);
  if (null < 0)
    _exit(1);
  dup2(null, 0);
  dup2(null, 1);
  dup2(null, 2);
  // The office outlives calls and may outlive a port the tool closes: it must hold none of our
  // descriptors (a serial device kept open would stay busy).
  if (syscall(SYS_close_range, 3U, ~0U, 0U) != 0) // kernels before 5.9
    for (int fd = 3; fd < 65536; ++fd)
      close(fd);
  const pid_t launcher = fork();
  if (launcher < 0)
    _exit(1);
  if (launcher == 0) {
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig)
      sigaction(sig, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(program, argv, envp);
    _exit(127);
  }
  sigset_t wanted;
  sigemptyset(&wanted);
  for (const int sig : {SIGCHLD, SIGTERM, SIGINT, SIGHUP})
    sigaddset(&wanted, sig);
  int launcherStatus = 0;
  const timespec tick{0, 200'000'000};
  for (;;) {
    const int sig = sigtimedwait(&wanted, nullptr, &tick);
    if (sig == SIGTERM || sig == SIGINT || sig == SIGHUP)
      kill(0, SIGKILL); // the whole group, this process included
    int status = 0;
    pid_t pid;
    while ((pid = waitpid(-1, &status, WNOHANG)) > 0)
      if (pid == launcher)
        launcherStatus = status;
    if (pid < 0 && errno == ECHILD)
      _exit(WIFEXITED(launcherStatus) ? WEXITSTATUS(launcherStatus) : 128 + WTERMSIG(launcherStatus));
  }
}

} // namespace

TOfficeProcess::TOfficeProcess(const std::filesystem::path &programDir, const std::filesystem::path &launcher)
    : profile_(MakeProfile(fromTemplate_)) {
  pipeName_ = profile_.filename().string();
  const std::string program = (launcher.empty() ? programDir / "oosplash" : launcher).string();
  std::vector<std::string> args = {
      program,
      "--headless",
      "--invisible",
      "--norestore",
      "--nologo",
      "--nodefault",
      "--nolockcheck",
      "--accept=pipe,name=" + pipeName_ + ";urp;StarOffice.ComponentContext",
      OfficeProfileArgument(profile_),
  };
  std::vector<std::string> env = ChildEnvironment(profile_);
  std::vector<char *> argv, envp;
  for (auto &a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto &e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);

  if (access(program.c_str(), X_OK) != 0) {
    const int error = errno;
    std::error_code ec;
    std::filesystem::remove_all(profile_, ec);
    throw Exception("Не удалось запустить приложение электронных таблиц " + program + ": " +
                    std::strerror(error));
  }
  // Every signal blocked across the fork: the guard waits for them instead of handling them.
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0)
    RunGuard(parent, program.c_str(), argv.data(), envp.data());
  const int error = errno;
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  if (pid < 0) {
    std::error_code ec;
    std::filesystem::remove_all(profile_, ec);
    throw Exception("Не удалось запустить приложение электронных таблиц " + program + ": " +
                    std::strerror(error));
  }
  // The guard makes its own group; made here too, so the group exists before the first kill.
  setpgid(pid, pid);
  group_ = pid;
}

TOfficeProcess::~TOfficeProcess() { End(std::chrono::milliseconds(0)); }

bool TOfficeProcess::Running() const {
  if (ended_)
    return false;
  siginfo_t info{};
  if (waitid(P_PID, static_cast<id_t>(group_), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
    return false;
  return info.si_pid == 0;
}

void TOfficeProcess::Kill() const {
  if (!ended_)
    kill(-group_, SIGKILL);
}

void TOfficeProcess::End(std::chrono::milliseconds grace) {
  if (ended_)
    return;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + grace;
  while (Running() && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const bool endedByItself = !Running();
  // Whatever the launcher left running in the group goes with it. The launcher is reaped only
  // once the group is empty: until then its id, which is the group's, cannot name another group.
  kill(-group_, SIGKILL);
  const auto emptyDeadline = Clock::now() + std::chrono::seconds(5);
  while (!GroupEmpty(group_) && Clock::now() < emptyDeadline) {
    kill(-group_, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  int status = 0;
  while (waitpid(group_, &status, 0) < 0 && errno == EINTR) {
  }
  ended_ = true;
  std::error_code ec;
  RemovePipeFiles(profile_);
  const bool clean = endedByItself && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!(clean && !fromTemplate_ && ProfileTemplate().Adopt(profile_)))
    std::filesystem::remove_all(profile_, ec);
}

int TOfficeProcess::CountProcesses(const std::string &marker) {
  int count = 0;
  for (const auto &process : Processes())
    if (process.State != 'Z' && process.CommandLine.find(marker) != std::string::npos)
      ++count;
  return count;
}
