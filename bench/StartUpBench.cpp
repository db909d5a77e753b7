// Start-up to the window shown, and peak memory, of kstune's window against two references, all
// measured here in the same run: a minimal Qt Widgets program (MinimalQtApp), and kstune's own
// window layout shown by a program without any of kstune's logic (BareUnitMain, the floor: what
// drawing this window costs). Both references link Qt alone. Each sample is a fresh process (a
// reference, or this program re-run in its child mode, which carries every library kstune
// carries) that quits as soon as its window has been painted once.
//
// kstune's samples also report when their phases ended (libraries loaded, application made,
// window made, first paint done), so the remaining cost can be placed without a profiler.
//
//   StartUpBench [rounds]      prints medians, the spread of the ratio, and kstune's phases
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

using Clock = std::chrono::steady_clock;

// The child's phase ends, written to its standard output in the steady clock's own ticks, which
// the parent shares (one monotonic clock for the whole machine).
long long Ticks(Clock::time_point t) { return static_cast<long long>(t.time_since_epoch().count()); }

int RunChild(int argc, char **argv) {
  const auto entered = Clock::now();
  TApplication app(argc, argv);
  const auto appMade = Clock::now();
  QuitOnPaint quit;
  TForm1 form;
  const auto formMade = Clock::now();
  form.installEventFilter(&quit);
  form.show();
  const int result = app.exec();
  const auto painted = quit.FirstPaint();
  std::printf("%lld %lld %lld %lld\n", Ticks(entered), Ticks(appMade), Ticks(formMade), Ticks(painted));
  return result;
}

struct Sample {
  double seconds;
  long maxRssKb;
  std::vector<double> phaseEndsMs; // kstune's only: since the fork
};

Sample RunOnce(const std::string &program, const char *argument) {
  int out[2] = {-1, -1};
  if (pipe(out) != 0) {
    std::perror("pipe");
    std::exit(1);
  }
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execl(program.c_str(), program.c_str(), argument, static_cast<char *>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(n));
  close(out[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const auto end = Clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", program.c_str());
    std::exit(1);
  }
  Sample sample{std::chrono::duration<double>(end - start).count(), usage.ru_maxrss, {}};
  long long ticks[4];
  if (std::sscanf(text.c_str(), "%lld %lld %lld %lld", &ticks[0], &ticks[1], &ticks[2], &ticks[3]) == 4) {
    for (const long long t : ticks)
      sample.phaseEndsMs.push_back(Millis(Clock::time_point(Clock::duration(t)) - start));
    sample.phaseEndsMs.push_back(Millis(end - start));
  }
  return sample;
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
  const std::string here = tool.substr(0, tool.rfind('/') + 1);
  const std::string minimal = here + "MinimalQtApp", bare = here + "BareUnitMain";
  std::vector<double> tMin, tBare, tTool, ratios, floorRatios;
  std::vector<long> mMin, mBare, mTool;
  const char *const phaseNames[] = {"start to main (exec, libraries)", "application made", "window made",
                                    "shown to first paint", "quit and exit"};
  constexpr std::size_t phaseCount = std::size(phaseNames);
  std::vector<double> phases[phaseCount];
  RunOnce(minimal, nullptr); // warm the file cache for all three
  RunOnce(bare, nullptr);
  RunOnce(tool, "--child");
  for (int i = 0; i < rounds; ++i) {
    // Interleaved, so that drift in the machine's load hits all three alike.
    const Sample a = RunOnce(minimal, nullptr);
    const Sample f = RunOnce(bare, nullptr);
    const Sample b = RunOnce(tool, "--child");
    tMin.push_back(a.seconds);
    mMin.push_back(a.maxRssKb);
    tBare.push_back(f.seconds);
    mBare.push_back(f.maxRssKb);
    tTool.push_back(b.seconds);
    mTool.push_back(b.maxRssKb);
    ratios.push_back(b.seconds / a.seconds);
    floorRatios.push_back(b.seconds / f.seconds);
    if (b.phaseEndsMs.size() == phaseCount)
      for (std::size_t k = 0; k < phaseCount; ++k)
        phases[k].push_back(b.phaseEndsMs[k] - (k ? b.phaseEndsMs[k - 1] : 0.0));
  }
  rmdir(dir);
  const double t0 = Median(tMin), tf = Median(tBare), t1 = Median(tTool);
  const long m0 = Median(mMin), mf = Median(mBare), m1 = Median(mTool);
  std::printf(
      "start-up to window shown (median of %d): minimal Qt %.1f ms, its window without logic %.1f ms, "
      "kstune %.1f ms\n",
      rounds, t0 * 1e3, tf * 1e3, t1 * 1e3);
  std::printf(
      "kstune / its floor %.2f (goal <= 1.10); floor / minimal Qt %.2f; kstune / minimal Qt %.2f (goal "
      "<= 1.30)\n",
      t1 / tf, tf / t0, t1 / t0);
  const auto spread = [](const char *what, const std::vector<double> &r) {
    std::printf("%s of the paired rounds: min %.2f, quartiles %.2f / %.2f / %.2f, max %.2f\n", what,
                Percentile(r, 0.0), Percentile(r, 0.25), Median(r), Percentile(r, 0.75), Percentile(r, 1.0));
  };
  spread("kstune / floor", floorRatios);
  spread("kstune / minimal Qt", ratios);
  std::printf(
      "peak memory (median): minimal Qt %ld KiB, window without logic %ld KiB, kstune %ld KiB; kstune / "
      "floor %.2f, kstune / minimal Qt %.2f (goal <= 1.50)\n",
      m0, mf, m1, static_cast<double>(m1) / static_cast<double>(mf),
      static_cast<double>(m1) / static_cast<double>(m0));
  if (!phases[0].empty()) {
    std::printf("kstune's phases (median ms):");
    for (std::size_t k = 0; k < phaseCount; ++k)
      std::printf("%s %s %.1f", k ? "," : "", phaseNames[k], Median(phases[k]));
    std::printf("\n");
  }
  return 0;
}
