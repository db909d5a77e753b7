// Start-up of the real window over options files that are not what a technician would write:
// each gives the defaults (or what it really holds), promptly, and is left as it was.
#include "main/MessageWindow.h"
#include "main/UnitMain.h"
#include "tests/support/QtApp.h"
#include "tests/support/TempConfigDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <spawn.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const QString Caption = QStringLiteral("Ручная настройка радиостанции ");

struct Outcome {
  const char *model; // the caption's suffix
  int comNumber;
  const char *corf; // the first preset field
};
const Outcome Defaults{"0", 2, "0"};

std::string Binary(size_t size) {
  std::mt19937 random(417);
  std::string bytes(size, '\0');
  for (char &c : bytes)
    c = static_cast<char>(random());
  return bytes;
}

// The real sections, then 50 MB of further notes inside the model's section, then its preset.
std::string Large() {
  std::string text = "[All]\r\nPoz=KS43\r\nPort=1\r\n[KS43]\r\n";
  text.reserve(51u << 20);
  for (long n = 0; text.size() < (50u << 20); ++n)
    text += "NOTE" + std::to_string(n) + "=" + std::to_string(n * 7919 % 100000) + "\r\n";
  return text + "CORF=130\r\n";
}

// The form is built while the file cannot be read by an ordinary user. Root reads any file, so
// as root the reads of this thread are made as the user nobody.
void AsOrdinaryUser(const fs::path &root, const std::function<void()> &body) {
  if (getuid() != 0)
    return body();
  fs::permissions(root, fs::perms::all, fs::perm_options::add);
  fs::permissions(root / "kstune", fs::perms::all, fs::perm_options::add);
  setfsuid(65534);
  body();
  setfsuid(0);
}

class OptionsFileRobustnessTest : public ::testing::Test, protected WithTestApp {
protected:
  TempConfigDir dir;
  BoxRecorder boxes;
};

} // namespace

TEST_F(OptionsFileRobustnessTest, StartUpSurvivesAnyFileInPlaceOfTheOptionsFile) {
  const fs::path options = dir.KstuneDir() / "Q417Options.ini";
  const struct {
    const char *name;
    std::function<void()> make;
    Outcome expected;
    bool unreadable = false;
  } rows[] = {
      {"empty", [&] { dir.WriteFile("Q417Options.ini", ""); }, Defaults},
      {"binary", [&] { dir.WriteFile("Q417Options.ini", Binary(1 << 20)); }, Defaults},
      {"50 MB", [&] { dir.WriteFile("Q417Options.ini", Large()); }, {"KS43", 1, "130"}},
      {"sparse, 2 GB",
       [&] {
         dir.WriteFile("Q417Options.ini", "[All]\r\nPoz=KS41\r\n");
         fs::resize_file(options, 2ull << 30);
       },
       Defaults},
      {"a directory", [&] { fs::create_directories(options); }, Defaults},
      {"a FIFO", [&] { fs::create_directories(dir.KstuneDir()), mkfifo(options.c_str(), 0644); }, Defaults},
      {"a dangling link",
       [&] { fs::create_directories(dir.KstuneDir()), fs::create_symlink("gone.ini", options); }, Defaults},
      {"a link to itself",
       [&] { fs::create_directories(dir.KstuneDir()), fs::create_symlink(options, options); }, Defaults},
      {"a device", [&] { fs::create_directories(dir.KstuneDir()), fs::create_symlink("/dev/zero", options); },
       Defaults},
      {"unreadable",
       [&] {
         dir.WriteFile("Q417Options.ini", "[All]\r\nPoz=KS41\r\nPort=1\r\n[KS41]\r\nCORF=41\r\n");
         fs::permissions(options, fs::perms::none);
       },
       Defaults, true},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all(dir.KstuneDir());
    boxes.Errors.clear();
    row.make();
    std::error_code ec; // a link to itself has no status at all
    const bool regular = fs::is_regular_file(options, ec) && fs::file_size(options) < (1u << 30);
    const std::string before = regular ? dir.ReadFile("Q417Options.ini") : "";
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<TForm1> form;
    const auto build = [&] { form = std::make_unique<TForm1>(); };
    row.unreadable ? AsOrdinaryUser(dir.Root(), build) : build();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(form->windowTitle(), Caption + row.expected.model);
    EXPECT_EQ(form->MainState.ComNumber, row.expected.comNumber);
    EXPECT_EQ(form->Edit1->text(), row.expected.corf);
    EXPECT_EQ(MessageLines(*form), QStringList{"Незабудьте Подключиться"});
    EXPECT_TRUE(boxes.Errors.empty());
    form.reset();
    // Nothing was created or changed in its place.
    EXPECT_EQ(regular ? dir.ReadFile("Q417Options.ini") : "", before);
    EXPECT_FALSE(fs::exists(dir.KstuneDir() / "gone.ini"));
  }
}

TEST_F(OptionsFileRobustnessTest, StartUpWhileAnotherProcessRewritesTheFile) {
  // Two whole versions, each with its sections first and 1 MB of notes after them, written over
  // the file in place and through a rename, as fast as the shell can.
  const std::string notes = "; " + std::string(1 << 20, 'n') + "\r\n";
  dir.WriteFile("a.ini", "[All]\r\nPoz=KS41\r\nPort=1\r\n[KS41]\r\nCORF=41\r\n" + notes);
  dir.WriteFile("b.ini", "[All]\r\nPoz=KS47\r\nPort=2\r\n[KS47]\r\nCORF=47\r\n" + notes);
  const std::string script = "cd '" + dir.KstuneDir().string() +
                             "' && while :; do cat a.ini > Q417Options.ini; cp b.ini t.ini; "
                             "mv -f t.ini Q417Options.ini; done";
  const char *argv[] = {"/bin/sh", "-c", script.c_str(), nullptr};
  // A process group of its own, so that the shell and whatever it runs at the end go together.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t rewriter = 0;
  ASSERT_EQ(posix_spawn(&rewriter, "/bin/sh", nullptr, &attributes, const_cast<char **>(argv), environ), 0);
  posix_spawnattr_destroy(&attributes);
  for (int i = 0; i < 20; ++i) {
    const auto start = std::chrono::steady_clock::now();
    TForm1 form;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    // Whichever version (or, caught between truncation and writing, none) it read.
    const QString model = form.windowTitle().mid(Caption.size());
    EXPECT_TRUE(model == "0" || model == "KS41" || model == "KS47") << model.toStdString();
    EXPECT_TRUE(form.MainState.ComNumber == 1 || form.MainState.ComNumber == 2);
    EXPECT_TRUE(QStringList({"0", "41", "47"}).contains(form.Edit1->text()))
        << form.Edit1->text().toStdString();
  }
  kill(-rewriter, SIGKILL);
  waitpid(rewriter, nullptr, 0);
  EXPECT_TRUE(boxes.Errors.empty());
}
