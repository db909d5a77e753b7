#include "runtime/TextFile.h"
#include "runtime/Exception.h"
#include "tests/support/TempConfigDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace {

std::vector<std::string> ReadLines(const std::filesystem::path &path) {
  TextFile file(path.string());
  file.Reset();
  std::vector<std::string> lines;
  while (!file.Eof())
    lines.push_back(file.ReadLn());
  file.Close();
  return lines;
}

size_t EntryCount(const std::filesystem::path &dir) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

} // namespace

TEST(TextFile, ReadsLinesWhateverTheirEnds) {
  const std::string longLine(65535, 'a'); // its CR LF straddles the read-ahead boundary
  const struct {
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"x\r\n", {"x"}},
      {"\r\n\n\r", {"", "", ""}},
      {"\r\r\n\n", {"", "", ""}},
      {longLine + "\r\nb", {longLine, "b"}},
      {"\xD0\x94\xD0\xB0\t \r\n", {"\xD0\x94\xD0\xB0\t "}},
  };
  TempConfigDir dir;
  for (const auto &c : cases) {
    EXPECT_EQ(ReadLines(dir.WriteFile("lines.txt", c.bytes)), c.lines) << testing::PrintToString(c.bytes);
    TextFile whole((dir.KstuneDir() / "lines.txt").string());
    whole.Reset();
    EXPECT_EQ(whole.ReadToEnd(), c.bytes) << "ReadToEnd gives every byte";
  }
}

TEST(TextFile, ReadsNumbersTheWaySnapshotsAreRead) {
  const struct {
    std::string bytes;
    std::vector<int32_t> values; // each read with ReadInteger, then the rest of its line skipped
  } cases[] = {
      {"7\r\n120\r\n0\r\n", {7, 120, 0, 0}},
      {"\r\n \t\r\n5\n", {5, 0}},
      {"1 2\n3", {1, 3}},
      {"300\r\n-1\r\n$FF\r\n", {300, -1, 255}},
      {"", {0, 0}},
  };
  TempConfigDir dir;
  for (const auto &c : cases) {
    TextFile file(dir.WriteFile("numbers.txt", c.bytes).string());
    file.Reset();
    for (const int32_t expected : c.values) {
      EXPECT_EQ(file.ReadInteger(), expected) << testing::PrintToString(c.bytes);
      file.ReadLn();
    }
    file.Close();
  }
}

TEST(TextFile, RefusesATokenThatIsNotANumber) {
  TempConfigDir dir;
  const auto path = dir.WriteFile("numbers.txt", "12\r\n1x2\r\n");
  TextFile file(path.string());
  file.Reset();
  EXPECT_EQ(file.ReadInteger(), 12);
  try {
    file.ReadInteger();
    FAIL() << "accepted 1x2";
  } catch (const EInOutError &e) {
    EXPECT_EQ(e.ErrorCode, ioInvalidNumericInput);
    EXPECT_NE(e.Message.find("'1x2'"), std::string::npos) << e.Message;
    EXPECT_NE(e.Message.find(path.string()), std::string::npos) << e.Message;
  }
}

TEST(TextFile, WritesCrLfLinesAndReplacesTheOldFileOnlyOnClose) {
  TempConfigDir dir;
  const auto path = dir.KstuneDir() / "Opros.txt"; // the folder does not exist yet
  {
    TextFile file(path.string());
    file.Rewrite();
    file.WriteLn("7");
    file.Write("12");
    file.WriteLn("0");
    file.Close();
  }
  EXPECT_EQ(dir.ReadFile("Opros.txt"), "7\r\n120\r\n");

  {
    TextFile file(path.string());
    file.Rewrite();
    file.WriteLn("255");
    EXPECT_EQ(dir.ReadFile("Opros.txt"), "7\r\n120\r\n") << "the old file changed before Close";
  } // abandoned without Close
  EXPECT_EQ(dir.ReadFile("Opros.txt"), "7\r\n120\r\n");
  EXPECT_EQ(EntryCount(dir.KstuneDir()), 1u) << "a temporary file was left behind";

  TextFile file(path.string());
  file.Append();
  file.WriteLn("0");
  file.Close();
  EXPECT_EQ(dir.ReadFile("Opros.txt"), "7\r\n120\r\n0\r\n");
  EXPECT_EQ(EntryCount(dir.KstuneDir()), 1u);
}

TEST(TextFile, EveryFailureRaisesInOutErrorWithItsCode) {
  TempConfigDir dir;
  const std::string existing = dir.WriteFile("old.txt", "1\r\n").string();
  const std::string plainFile = dir.WriteFile("plain", "x").string();
  const std::string missing = (dir.KstuneDir() / "missing.txt").string();
  const std::string readOnly = dir.WriteFile("kept.txt", "2\r\n").string();
  std::filesystem::permissions(readOnly, std::filesystem::perms(0444));
  // A FIFO where Opros.txt belongs, and a link to it: a write would hang on one or turn it
  // into a plain file.
  const std::string fifo = (dir.KstuneDir() / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const std::string linkToFifo = (dir.KstuneDir() / "Opros.txt").string();
  std::filesystem::create_symlink(fifo, linkToFifo);
  const struct {
    const char *what;
    std::string path;
    std::function<void(TextFile &)> action;
    int code;
  } cases[] = {
      {"reset a missing file", missing, [](TextFile &f) { f.Reset(); }, ENOENT},
      {"append to a missing file", missing, [](TextFile &f) { f.Append(); }, ENOENT},
      {"reset a directory", dir.KstuneDir().string(), [](TextFile &f) { f.Reset(); }, EISDIR},
      {"rewrite a directory", dir.KstuneDir().string(), [](TextFile &f) { f.Rewrite(); }, EISDIR},
      {"rewrite below a plain file", plainFile + "/x.txt", [](TextFile &f) { f.Rewrite(); }, ENOTDIR},
      {"rewrite a read-only file", readOnly, [](TextFile &f) { f.Rewrite(); }, EACCES},
      {"append to a read-only file", readOnly, [](TextFile &f) { f.Append(); }, EACCES},
      {"rewrite a FIFO", fifo, [](TextFile &f) { f.Rewrite(); }, EINVAL},
      {"append to a FIFO", fifo, [](TextFile &f) { f.Append(); }, EINVAL},
      {"rewrite a link to a FIFO", linkToFifo, [](TextFile &f) { f.Rewrite(); }, EINVAL},
      {"reset without a name", "", [](TextFile &f) { f.Reset(); }, ioFileNotAssigned},
      {"read a closed file", existing, [](TextFile &f) { f.ReadLn(); }, ioFileNotOpen},
      {"close a closed file", existing, [](TextFile &f) { f.Close(); }, ioFileNotOpen},
      {"read an output file", existing, [](TextFile &f) { f.Rewrite(), f.Eof(); }, ioNotOpenForInput},
      {"write an input file", existing, [](TextFile &f) { f.Reset(), f.WriteLn("2"); }, ioNotOpenForOutput},
  };
  for (const auto &c : cases) {
    TextFile file(c.path);
    try {
      c.action(file);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const EInOutError &e) {
      EXPECT_EQ(e.ErrorCode, c.code) << c.what << ": " << e.Message;
      EXPECT_NE(e.Message.find('"' + c.path + '"'), std::string::npos) << c.what << ": " << e.Message;
    }
  }
  EXPECT_EQ(dir.ReadFile("old.txt"), "1\r\n");
  EXPECT_EQ(dir.ReadFile("kept.txt"), "2\r\n");
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_TRUE(std::filesystem::is_fifo(std::filesystem::symlink_status(fifo)));
  EXPECT_TRUE(std::filesystem::is_symlink(linkToFifo));
  EXPECT_EQ(std::filesystem::read_symlink(linkToFifo), fifo);
}

// The error says what stands in the file's place, through a link too.
TEST(TextFile, ANonRegularTargetIsNamedInTheError) {
  TempConfigDir dir;
  std::filesystem::create_directories(dir.KstuneDir());
  const std::string fifo = (dir.KstuneDir() / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const std::string link = (dir.KstuneDir() / "Q417Options.ini").string();
  std::filesystem::create_symlink(fifo, link);
  TextFile file(link);
  try {
    file.Rewrite();
    FAIL() << "a FIFO behind a link was taken";
  } catch (const EInOutError &e) {
    EXPECT_EQ(e.ErrorCode, EINVAL);
    EXPECT_NE(e.Message.find('"' + fifo + "\" is not a regular file"), std::string::npos) << e.Message;
  }
  EXPECT_EQ(EntryCount(dir.KstuneDir()), 2u) << "a temporary file was left behind";
}
