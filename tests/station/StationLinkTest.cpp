// The com link in the stand-in directory, and the kstune-station program around the library.
#include "station/ComLink.h"
#include "station/SimStation.h"
#include "station/StationError.h"
#include "tests/station/StationClient.h"
#include "tests/support/TempConfigDir.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/ioctl.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

bool IsLinkTo(const fs::path &link, const fs::path &target) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(link, ec)) && fs::read_symlink(link, ec) == target;
}

TEST(StationLinkTest, LinksItsComNumberToThePseudoTerminalAndRemovesItOnStop) {
  TempConfigDir dir;
  ASSERT_FALSE(fs::exists(dir.KstuneDir())); // made by the station when missing
  TSimStation station;
  station.Start({.ComNumber = 3});
  const fs::path link = dir.KstuneDir() / "com3";
  EXPECT_EQ(station.LinkPath(), link);
  EXPECT_TRUE(IsLinkTo(link, station.SlavePath()));
  TStationClient client(link);
  EXPECT_EQ(client.Exchange({250}), (Bytes{250}));
  station.Stop();
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(StationLinkTest, NeverReplacesANameItDidNotMake) {
  TempConfigDir dir;
  struct Case {
    const char *name;
    std::function<fs::path()> make;
  };
  const std::vector<Case> cases = {
      {"file", [&] { return dir.WriteFile("com2", "not yours"); }},
      {"link to a device", [&] { return dir.LinkCom(2, "/dev/null"); }},
      {"dangling link", [&] { return dir.LinkCom(2, dir.KstuneDir() / "gone"); }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = c.make();
    const auto before =
        fs::is_symlink(fs::symlink_status(path)) ? fs::read_symlink(path).string() : dir.ReadFile("com2");
    TSimStation station;
    try {
      station.Start({.ComNumber = 2});
      ADD_FAILURE() << "started over a foreign com2";
    } catch (const TStationError &e) {
      EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos) << e.what();
    }
    const auto after =
        fs::is_symlink(fs::symlink_status(path)) ? fs::read_symlink(path).string() : dir.ReadFile("com2");
    EXPECT_EQ(after, before);
    fs::remove(path);
  }
}

TEST(StationLinkTest, LeavesALinkThatSomeoneElseReplacedWhileItRan) {
  TempConfigDir dir;
  TSimStation station;
  station.Start({.ComNumber = 1});
  fs::remove(station.LinkPath());
  const fs::path theirs = dir.LinkCom(1, "/dev/null");
  station.Stop();
  EXPECT_TRUE(IsLinkTo(theirs, "/dev/null"));
}

// A station killed outright leaves its link; the pseudo-terminal it pointed at is gone.
TEST(StationLinkTest, ReplacesAStaleLinkIntoDevPts) {
  TempConfigDir dir;
  const fs::path link = dir.LinkCom(2, "/dev/pts/99999");
  TSimStation station;
  station.Start({.ComNumber = 2});
  EXPECT_EQ(station.ReplacedLinkTarget(), "/dev/pts/99999");
  EXPECT_TRUE(IsLinkTo(link, station.SlavePath()));
}

// A client killed while it held the port exclusively: the station, which keeps the line, clears
// the flag once no client is left, so that the next client (root or not) gets in.
TEST(StationLinkTest, ClearsTheExclusivityFlagALostClientLeft) {
  TempConfigDir dir;
  TSimStation station;
  station.Start();
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    const int fd = ::open(station.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    const char ok = fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0;
    [[maybe_unused]] auto n = ::write(ready[1], &ok, 1);
    ::pause();
    ::_exit(0);
  }
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ASSERT_TRUE(ok);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  int exclusive = 1;
  for (int i = 0; i < 200 && exclusive; ++i) {
    std::this_thread::sleep_for(10ms);
    TStationClient client(station.SlavePath());
    ASSERT_TRUE(client.IsOpen()) << "still locked out";
    ::ioctl(client.Fd(), TIOCGEXCL, &exclusive);
  }
  EXPECT_EQ(exclusive, 0);
}

TEST(StationLinkTest, StandInDirFallsBackToHomeWhenXdgIsEmpty) {
  TempConfigDir dir;
  const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", dir.Root().c_str(), 1);
  setenv("XDG_CONFIG_HOME", "", 1);
  EXPECT_EQ(StandInDir(), dir.Root() / ".config" / "kstune");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(StandInDir(), dir.Root() / ".config" / "kstune");
  setenv("XDG_CONFIG_HOME", dir.Root().c_str(), 1);
  EXPECT_EQ(StandInDir(), dir.Root() / "kstune");
  setenv("HOME", oldHome.c_str(), 1);
}

// The program beside this test's build directory.
fs::path StationProgram() {
  return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "station" / "kstune-station";
}

struct TRun {
  pid_t Pid;
  int Output; // stdout and stderr
};

TRun Launch(const std::vector<std::string> &args) {
  int pipeFds[2];
  EXPECT_EQ(::pipe(pipeFds), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipeFds[1], 1);
    ::dup2(pipeFds[1], 2);
    ::close(pipeFds[0]);
    std::vector<char *> argv;
    const std::string program = StationProgram().string();
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const auto &a : args)
      argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  return {pid, pipeFds[0]};
}

// Waits for the exit (killing the program after the time-out) and returns its status and output.
std::pair<int, std::string> Finish(TRun run, std::chrono::milliseconds timeout = 5s) {
  int status = 0;
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (::waitpid(run.Pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      ::kill(run.Pid, SIGKILL);
      ::waitpid(run.Pid, &status, 0);
      ADD_FAILURE() << "kstune-station did not end";
      break;
    }
    std::this_thread::sleep_for(10ms);
  }
  std::string output;
  char buffer[512];
  ssize_t n;
  while ((n = ::read(run.Output, buffer, sizeof buffer)) > 0)
    output.append(buffer, static_cast<std::size_t>(n));
  ::close(run.Output);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST(StationProgramTest, ServesOnItsComLinkUntilTerminatedAndRemovesTheLink) {
  ASSERT_TRUE(fs::exists(StationProgram())) << StationProgram();
  TempConfigDir dir;
  auto run = Launch({"--com", "5", "--log"});
  const fs::path link = dir.KstuneDir() / "com5";
  for (int i = 0; i < 300 && !fs::exists(fs::symlink_status(link)); ++i)
    std::this_thread::sleep_for(10ms);
  {
    TStationClient client(link);
    ASSERT_TRUE(client.IsOpen());
    EXPECT_EQ(client.Exchange({55, 0, 0x42, 83}), (Bytes{55, 0, 0x42, 83}));
  }
  std::this_thread::sleep_for(100ms); // the log line is written after the answer
  ::kill(run.Pid, SIGTERM);
  const auto [code, output] = Finish(run);
  EXPECT_EQ(code, 0) << output;
  EXPECT_NE(output.find("37 00 42 53  set value, address 0x42 = 83"), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

// `kstune-station --log | head`: the reader goes away, the station serves on and still cleans up.
TEST(StationProgramTest, SurvivesAClosedOutput) {
  TempConfigDir dir;
  auto run = Launch({"--com", "6", "--log"});
  const fs::path link = dir.KstuneDir() / "com6";
  for (int i = 0; i < 300 && !fs::exists(fs::symlink_status(link)); ++i)
    std::this_thread::sleep_for(10ms);
  ::close(run.Output);
  run.Output = ::open("/dev/null", O_RDONLY);
  {
    TStationClient client(link);
    ASSERT_TRUE(client.IsOpen());
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(client.Exchange({250}), Bytes{250});
  }
  std::this_thread::sleep_for(100ms);
  ::kill(run.Pid, SIGTERM);
  EXPECT_EQ(Finish(run).first, 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(StationProgramTest, RefusesBadArgumentsAndAForeignComName) {
  ASSERT_TRUE(fs::exists(StationProgram())) << StationProgram();
  TempConfigDir dir;
  const fs::path foreign = dir.WriteFile("com2", "keep me");
  struct Case {
    std::vector<std::string> args;
    bool ok;
    const char *says;
  };
  const std::vector<Case> cases = {
      {{"--help"}, true, "--com N"},
      {{}, false, foreign.c_str()}, // default COM 2 is taken
      {{"--com", "0"}, false, "not a COM number"},
      {{"--com", "x2"}, false, "not a COM number"},
      {{"--com"}, false, "needs a number"},
      {{"--baud", "9600"}, false, "unknown option"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(no arguments)" : c.args[0]);
    const auto [code, output] = Finish(Launch(c.args));
    EXPECT_EQ(code == 0, c.ok) << output;
    EXPECT_NE(output.find(c.says), std::string::npos) << output;
  }
  EXPECT_EQ(dir.ReadFile("com2"), "keep me");
}

} // namespace
