// Start-up to the window shown, and peak memory, with a 50 MB options file against the same
// start-up with a small one, both measured here in the same run. Each sample is a fresh process
// (this program re-run in its child mode) that quits as soon as its window has been painted once.
// Both files carry the same [All] and the same 29 presets; the large one has 50 MB of further key
// lines inside the model's own section, ahead of the presets, so that every one of the 31 reads
// at start-up has to get past them.
//
//   ProfileBench [rounds]      prints medians and the two ratios
#include "bench/BenchStats.h"
#include "bench/QuitOnPaint.h"
#include "main/Application.h"
#include "main/UnitMain.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char *const PresetKeys[] = {"CORF",
                                  "AF1",
                                  "MOD2",
                                  "D_ON",
                                  "D_OFF",
                                  "TUNE",
                                  "G_ON",
                                  "G_OFF",
                                  "DEV",
                                  "POW_5",
                                  "P1_5",
                                  "POW_10",
                                  "P1_10",
                                  "POW_25",
                                  "P1_25",
                                  "POW_40",
                                  "P1_40",
                                  "UNCH_ON140_146",
                                  "UNCH_ON146_148",
                                  "UNCH_ON148_154",
                                  "UNCH_ON154_162",
                                  "UNCH_ON162_170",
                                  "UNCH_ON170_174",
                                  "UNCH_OFF140_146",
                                  "UNCH_OFF146_148",
                                  "UNCH_OFF148_154",
                                  "UNCH_OFF154_162",
                                  "UNCH_OFF162_170",
                                  "UNCH_OFF170_174"};

int RunChild(int argc, char **argv) {
  TApplication app(argc, argv);
  QuitOnPaint quit;
  TForm1 form;
  form.installEventFilter(&quit);
  form.show();
  // The presets must have arrived, or the sample measured the wrong thing.
  if (form.windowTitle().right(4) != "KS43" || form.Edit1->text() != "101")
    return 2;
  return app.exec();
}

void WriteOptions(const std::filesystem::path &file, size_t padding) {
  std::string text = "[All]\r\nPoz=KS43\r\nPort=1\r\n[KS43]\r\n";
  char line[64];
  for (size_t n = 0; text.size() < padding; ++n) {
    std::snprintf(line, sizeof line, "NOTE%08zu=%zu\r\n", n, n * 7919 % 100000);
    text += line;
  }
  int value = 101;
  for (const char *key : PresetKeys)
    text += std::string(key) + "=" + std::to_string(value++ % 256) + "\r\n";
  std::ofstream(file, std::ios::binary) << text;
}

struct Sample {
  double seconds;
  double cpuSeconds; // user and system: on a busy machine the wall time says more about the others
  long maxRssKb;
};

double Seconds(const timeval &t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

Sample RunOnce(const std::string &program, const std::string &configHome) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    execl(program.c_str(), program.c_str(), "--child", static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "start-up with %s failed\n", configHome.c_str());
    std::exit(1);
  }
  return {seconds, Seconds(usage.ru_utime) + Seconds(usage.ru_stime), usage.ru_maxrss};
}

} // namespace

int main(int argc, char **argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--child") == 0)
    return RunChild(1, argv);
  const int rounds = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 7;
  if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  char dir[] = "/tmp/kstune-profile-bench-XXXXXX";
  if (!mkdtemp(dir))
    return 1;
  const std::filesystem::path root = dir;
  const std::string small = root / "small", large = root / "large";
  std::filesystem::create_directories(small + "/kstune");
  std::filesystem::create_directories(large + "/kstune");
  WriteOptions(small + "/kstune/Q417Options.ini", 0);
  WriteOptions(large + "/kstune/Q417Options.ini", 50u << 20);
  // A file changed moments before (up to two seconds, by the file system) is checked again at
  // every read; an options file at start-up is normally older than that, so the samples wait.
  std::this_thread::sleep_for(std::chrono::milliseconds(3100));

  const std::string tool = std::filesystem::read_symlink("/proc/self/exe");
  RunOnce(tool, small); // warm the file cache for both
  RunOnce(tool, large);
  std::vector<double> tSmall, tLarge, cSmall, cLarge;
  std::vector<long> mSmall, mLarge;
  for (int i = 0; i < rounds; ++i) {
    // Interleaved, so that drift in the machine's load hits both alike.
    const Sample a = RunOnce(tool, small);
    const Sample b = RunOnce(tool, large);
    tSmall.push_back(a.seconds);
    cSmall.push_back(a.cpuSeconds);
    cLarge.push_back(b.cpuSeconds);
    mSmall.push_back(a.maxRssKb);
    tLarge.push_back(b.seconds);
    mLarge.push_back(b.maxRssKb);
  }
  // The same file written again just before start-up: its reads cannot trust its times yet.
  WriteOptions(large + "/kstune/Q417Options.ini", 50u << 20);
  const Sample fresh = RunOnce(tool, large);
  std::filesystem::remove_all(root);
  const double t0 = Median(tSmall), t1 = Median(tLarge);
  const long m0 = Median(mSmall), m1 = Median(mLarge);
  std::printf(
      "start-up to window shown (median of %d): small options file %.1f ms, 50 MB options file %.1f ms, "
      "ratio %.2f\n",
      rounds, t0 * 1e3, t1 * 1e3, t1 / t0);
  std::printf("processor time (median): small %.1f ms, 50 MB %.1f ms, ratio %.2f\n", Median(cSmall) * 1e3,
              Median(cLarge) * 1e3, Median(cLarge) / Median(cSmall));
  std::printf("50 MB options file written just before start-up (one sample): %.1f ms, %ld KiB\n",
              fresh.seconds * 1e3, fresh.maxRssKb);
  std::printf("peak memory (median): small %ld KiB, 50 MB %ld KiB, difference %ld KiB\n", m0, m1, m1 - m0);
  return 0;
}
