// kstune killed outright in the middle of a burst of steps: the journal file opens, passes
// SQLite's integrity check, and holds the records of the session from the first on, without a gap.
#include "tests/journal/JournalFiles.h"
#include "tests/support/Spawn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>
#include <filesystem>
#include <sys/wait.h>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct KillPoint {
  int afterRecords; // kill once the file holds at least this many
};

class JournalKillTest : public ::testing::TestWithParam<KillPoint> {};

TEST_P(JournalKillTest, LeavesAnIntactFileWithAnUnbrokenPrefix) {
  TestApplication<QCoreApplication>();
  char pattern[] = "/tmp/kstune-kill-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path root = pattern;
  const QString file = QString::fromStdString((root / "data" / "kstune" / "journal.sqlite").string());
  const fs::path counts = root / "done.txt";
  const int countsFd = open(counts.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(countsFd, 0);
  const pid_t pid = SpawnProgram({JOURNAL_STEP_BURST},
                                 {"XDG_CONFIG_HOME=" + (root / "config").string(),
                                  "XDG_DATA_HOME=" + (root / "data").string(), "QT_QPA_PLATFORM=offscreen"},
                                 countsFd);
  close(countsFd);
  ASSERT_GT(pid, 0);
  size_t seen = 0;
  for (int i = 0; i < 1200 && seen < size_t(GetParam().afterRecords); ++i) {
    std::this_thread::sleep_for(50ms);
    if (fs::exists(file.toStdString()))
      seen = StoredSeqs(file).size();
  }
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status)) << "the burst ended by itself, status " << status;
  ASSERT_GE(seen, size_t(GetParam().afterRecords)) << "the burst did not get that far";

  EXPECT_EQ(QueryJournal(file, QStringLiteral("PRAGMA integrity_check")).at(0).at(0), QStringLiteral("ok"));
  const std::vector<int> seqs = StoredSeqs(file);
  EXPECT_GE(seqs.size(), seen);
  EXPECT_EQ(seqs, OneTo(static_cast<int>(seqs.size())));
  // What the kill cost: values the station had answered whose records never reached the file.
  // One more may have been under way (sent, no answer yet, no record): the station may hold it.
  std::ifstream done(counts);
  long answered = 0;
  for (long n = 0; done >> n;)
    answered = n;
  const long recorded = static_cast<long>(seqs.size()) - 1; // the connect record first
  EXPECT_LE(recorded, answered + 1);
  std::printf("kill -9 after %ld answered values: %ld recorded, %ld answered but not recorded\n", answered, recorded,
              std::max(0L, answered - recorded));
  RecordProperty("answered", static_cast<int>(answered));
  RecordProperty("lost", static_cast<int>(std::max(0L, answered - recorded)));
  const auto operations = QueryJournal(file, QStringLiteral("SELECT DISTINCT operation FROM journal ORDER BY 1"));
  EXPECT_EQ(operations, (std::vector<QStringList>{{"connect"}, {"set_value"}}));
  std::error_code ec;
  fs::remove_all(root, ec);
}

INSTANTIATE_TEST_SUITE_P(Points, JournalKillTest, ::testing::Values(KillPoint{5}, KillPoint{300}));

} // namespace
