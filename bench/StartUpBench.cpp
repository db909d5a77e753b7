// Start-up to the window shown, and peak memory, of kstune's window against a minimal Qt
// Widgets program (MinimalQtApp, linked with Qt alone), both measured here in the same run. Each
// sample is a fresh process (the reference, or this program re-run in its child mode, which
// carries every library kstune carries) that quits as soon as its window has been painted once.
//
//   StartUpBench [rounds]      prints medians and the two ratios
#include "bench/BenchStats.h"
#include "bench/QuitOnPaint.h"
#include "main/Application.h"
#include "main/UnitMain.h"

#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

int RunChild(int argc, char **argv) {
  TApplication app(argc, argv);
  QuitOnPaint quit;
  TForm1 form;
  form.installEventFilter(&quit);
  form.show();
  return app.exec();
}

struct Sample {
  double seconds;
  long maxRssKb;
};

Sample RunOnce(const std::string &program, const char *argument) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execl(program.c_str(), program.c_str(), argument, static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", program.c_str());
    std::exit(1);
  }
  return {seconds, usage.ru_maxrss};
}

} // namespace

int main(int argc, char **argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--child") == 0)
    return RunChild(1, argv);
  const int rounds = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 15;
  if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // A private, empty stand-in directory: the window starts without an options file.
  char dir[] = "/tmp/kstune-bench-XXXXXX";
  if (!mkdtemp(dir))
    return 1;
  setenv("XDG_CONFIG_HOME", dir, 1);
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0)
    return 1;
  self[n] = 0;
  const std::string tool = self;
  const std::string minimal = tool.substr(0, tool.rfind('/') + 1) + "MinimalQtApp";
  std::vector<double> tMin, tTool;
  std::vector<long> mMin, mTool;
  RunOnce(minimal, nullptr); // warm the file cache for both
  RunOnce(tool, "--child");
  for (int i = 0; i < rounds; ++i) {
    // Interleaved, so that drift in the machine's load hits both alike.
    const Sample a = RunOnce(minimal, nullptr);
    const Sample b = RunOnce(tool, "--child");
    tMin.push_back(a.seconds);
    mMin.push_back(a.maxRssKb);
    tTool.push_back(b.seconds);
    mTool.push_back(b.maxRssKb);
  }
  rmdir(dir);
  const double t0 = Median(tMin), t1 = Median(tTool);
  const long m0 = Median(mMin), m1 = Median(mTool);
  std::printf("start-up to window shown (median of %d): minimal Qt %.1f ms, kstune %.1f ms, ratio %.2f (goal <= 1.30)\n",
              rounds, t0 * 1e3, t1 * 1e3, t1 / t0);
  std::printf("peak memory (median): minimal Qt %ld KiB, kstune %ld KiB, ratio %.2f (goal <= 1.50)\n", m0, m1,
              static_cast<double>(m1) / static_cast<double>(m0));
  return 0;
}
