// Without the office kstune starts, connects and works; only "..." needs the office, and says
// in one box what is missing and how to install it. The office is hidden by an empty folder
// mounted over its own in a mount namespace of the test's own (root only). This program does
// not link the office, so that it runs there.
#include "platform/office/OfficeBridge.h"
#include "records/ReportSeams.h"
#include "tests/support/WindowFixture.h"
#include "tests/support/Spawn.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
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
    const int status = RunTestInChild(CurrentTest(), {std::string(InsideVariable) + "=1"},
                                      {"/usr/bin/unshare", "-m", "--", "/bin/sh", "-c",
                                       std::string("mount -t tmpfs tmpfs ") + OfficeFolder + " || exit " +
                                           std::to_string(NoNamespace) + "; exec \"$@\"",
                                       "sh"});
    ASSERT_GE(status, 0);
    if (status == NoNamespace)
      GTEST_SKIP() << "no mount namespace could be made here";
    EXPECT_EQ(status, 0) << "the run without the office failed";
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

namespace {

std::string OfficeFailure(const std::function<void()> &action, bool &missing) {
  try {
    action();
  } catch (const EOfficeMissing &e) {
    missing = true;
    return e.Message;
  } catch (const Exception &e) {
    missing = false;
    return e.Message;
  }
  ADD_FAILURE() << "no error";
  return {};
}

} // namespace

// LibreOffice without its spreadsheet part: "..." says what to install instead of passing on the
// office's "type detection failed".
TEST_F(ReportWithoutOffice, AnOfficeWithoutCalcSaysWhatToInstall) {
  const fs::path program = dir.Root() / "program";
  fs::create_directories(program);
  std::ofstream(program / "oosplash") << "#!/bin/sh\nexit 1\n";
  fs::permissions(program / "oosplash", fs::perms(0755));
  TOfficeOptions options;
  options.ProgramDir = program;
  bool missing = false;
  const std::string message = OfficeFailure([&] { NewExcelApplication(options); }, missing);
  EXPECT_TRUE(missing) << message;
  EXPECT_NE(message.find("LibreOffice Calc"), std::string::npos) << message;
  EXPECT_NE(message.find("sudo apt-get install libreoffice-calc-nogui"), std::string::npos) << message;
}

// A bridge module that cannot be loaded for a reason other than a missing office says the
// loader's reason, not that the office is to be installed.
TEST_F(ReportWithoutOffice, AModuleThatFailsToLoadSaysTheLoadersReason) {
  const fs::path module = dir.Root() / "kstune-office.so";
  std::ofstream(module) << "not a shared object, long enough to be read as one: " << std::string(200, 'x');
  bool missing = true;
  const std::string message = OfficeFailure([&] { LoadBridgeModule(module); }, missing);
  EXPECT_FALSE(missing) << message;
  EXPECT_NE(message.find(module.string()), std::string::npos) << message;
  EXPECT_NE(message.find("ELF"), std::string::npos) << message;
  EXPECT_EQ(message.find("apt-get install"), std::string::npos) << message;
}
