// Without the office kstune starts, connects and works; only "..." needs the office, and says
// in one box what is missing and how to install it. The office is hidden by an empty folder
// mounted over its own in a mount namespace of the test's own (root only). This program does
// not link the office, so that it runs there.
#include "records/ReportSeams.h"
#include "tests/support/WindowFixture.h"
#include "tests/support/Spawn.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char *const InsideVariable = "KSTUNE_TEST_OFFICE_HIDDEN";
const char *const OfficeFolder = "/usr/lib/libreoffice";
constexpr int NoNamespace = 77;

class ReportWithoutOffice : public LinkTest {};

} // namespace

TEST_F(ReportWithoutOffice, KstuneStartsConnectsAndTheReportSaysWhatToInstall) {
  if (!std::getenv(InsideVariable)) {
    if (geteuid() != 0)
      GTEST_SKIP() << "hiding " << OfficeFolder << " needs a mount namespace, which only root may make";
    const pid_t pid =
        SpawnProgram({"/usr/bin/unshare", "-m", "--", "/bin/sh", "-c",
                      std::string("mount -t tmpfs tmpfs ") + OfficeFolder + " || exit " +
                          std::to_string(NoNamespace) + "; exec \"$@\"",
                      "sh", fs::read_symlink("/proc/self/exe").string(),
                      "--gtest_filter=ReportWithoutOffice.KstuneStartsConnectsAndTheReportSaysWhatToInstall"},
                     {std::string(InsideVariable) + "=1"});
    ASSERT_GT(pid, 0);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == NoNamespace)
      GTEST_SKIP() << "no mount namespace could be made here";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the run without the office failed";
    return;
  }

  ASSERT_FALSE(fs::exists(fs::path(OfficeFolder) / "program"));
  Click("BitBtn9Click");
  ASSERT_TRUE(Connected());
  const fs::path report = dir.Root() / "r.xls";
  std::ofstream(report) << "x";
  const auto previous = SetReportFileDialog(
      [&](QWidget *, const QString &, const QString &) { return QString::fromStdString(report.string()); });
  Click("SpeedButton1Click");
  SetReportFileDialog(previous);
  ASSERT_EQ(boxes.Messages.size(), 1u);
  EXPECT_NE(boxes.Messages[0].find("LibreOffice Calc"), std::string::npos) << boxes.Messages[0];
  EXPECT_NE(boxes.Messages[0].find("sudo apt-get install libreoffice-calc-nogui"), std::string::npos)
      << boxes.Messages[0];
  EXPECT_TRUE(boxes.Errors.empty());
  EXPECT_FALSE(form->BitBtn24->isEnabled());
  Click("BitBtn10Click");
  EXPECT_FALSE(Connected());
  EXPECT_TRUE(boxes.Errors.empty());

  // The program itself starts, stays up, and a SIGTERM ends it in order.
  const pid_t kstune = SpawnProgram({KSTUNE_EXECUTABLE}, {"QT_QPA_PLATFORM=offscreen"});
  ASSERT_GT(kstune, 0);
  std::this_thread::sleep_for(2s);
  int status = 0;
  EXPECT_EQ(waitpid(kstune, &status, WNOHANG), 0) << "kstune ended: " << status;
  kill(kstune, SIGTERM);
  waitpid(kstune, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
