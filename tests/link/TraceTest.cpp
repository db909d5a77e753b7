// The trace a technician reads: one line per exchange with the operation, the bytes each way and
// a missing answer, taken from the real window against the simulated station.
#include "link/Trace.h"
#include "main/CommandLine.h"
#include "params/ParamTable.h"
#include "tests/params/EditingFixture.h"

#include <QFile>

#include <optional>

namespace {

struct TLine {
  std::string operation, sent, received, rest;
};

// "time | operation | > sent | < received | times [| missing]"
std::vector<TLine> ExchangeLines(const std::string &path) {
  QFile file(QString::fromStdString(path));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  std::vector<TLine> lines;
  for (const QByteArray &raw : file.readAll().split('\n')) {
    const QStringList f = QString::fromUtf8(raw).split(QStringLiteral(" | "));
    if (f.size() < 4)
      continue; // the session's opening line
    lines.push_back({f[1].toStdString(), f[2].toStdString(), f[3].toStdString(),
                     f.mid(4).join(QStringLiteral(" | ")).toStdString()});
  }
  return lines;
}

std::string Hex(uint8_t b) {
  return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper().toStdString();
}

} // namespace

class TraceTest : public EditingTest {
protected:
  void SetUp() override {
    EditingTest::SetUp();
    WatchOperations(*form);
  }
  void TearDown() override {
    StopTrace();
    EditingTest::TearDown();
  }
  std::string path = (dir.Root() / "trace.txt").string();
};

TEST_F(TraceTest, EachExchangeIsOneLineWithItsOperationBytesAndMissingAnswer) {
  struct Row {
    const char *operation;
    std::optional<std::size_t> answered;
  };
  // "Параметр +" on CORF from 250 with step 10, and Enter with 77 typed: 55, 0, 67, value.
  const Row rows[] = {{"Параметр +", std::nullopt}, {"Параметр +", 2}, {"Enter", std::nullopt}, {"Enter", 0}};
  for (const auto &r : rows) {
    std::filesystem::remove(path);
    std::string error;
    ASSERT_TRUE(StartTrace(path, error)) << error;
    station.ClearReceived();
    station.StopAnsweringAfter(r.answered);
    Field("Edit1")->setText(std::string(r.operation) == "Enter" ? "77" : "250");
    CollectValues(*form);
    Focus(Field("Edit1"));
    form->RadioButton6->setChecked(true);
    std::string(r.operation) == "Enter" ? Key(Qt::Key_Return) : form->BitBtn7->click();
    StopTrace();

    const std::vector<uint8_t> sent = {55, 0, 67, uint8_t(std::string(r.operation) == "Enter" ? 77 : 4)};
    const std::vector<uint8_t> answers = station.Sent();
    const std::size_t lineCount = r.answered ? *r.answered + 1 : 4;
    const auto lines = ExchangeLines(path);
    ASSERT_GE(lines.size(), lineCount) << r.operation;
    for (std::size_t i = 0; i < lineCount; ++i) {
      const std::string row = std::string(r.operation) + " line " + std::to_string(i);
      EXPECT_EQ(lines[i].operation, r.operation) << row;
      EXPECT_EQ(lines[i].sent, "> " + Hex(sent[i])) << row;
      if (i < answers.size()) {
        EXPECT_EQ(lines[i].received, "< " + Hex(answers[i])) << row;
        EXPECT_TRUE(lines[i].rest.ends_with(" мс")) << row << ": " << lines[i].rest;
      } else {
        EXPECT_EQ(lines[i].received, "< —") << row;
        EXPECT_TRUE(lines[i].rest.starts_with("нет ответа (")) << row << ": " << lines[i].rest;
      }
    }
    if (r.answered) {
      Restart(); // after a lost link, a fresh window and station
      WatchOperations(*form);
    }
  }
}

TEST(TraceStart, AFileThatCannotBeWrittenLeavesTheTraceOffWithAReason) {
  for (const char *path : {"/nonexistent-dir/trace.txt", "/dev/full"}) {
    std::string error;
    EXPECT_FALSE(StartTrace(path, error)) << path;
    EXPECT_FALSE(error.empty()) << path;
    EXPECT_FALSE(TraceOn()) << path;
  }
}

TEST(TraceCommandLine, OnlyTraceWithOneFileIsTaken) {
  struct Row {
    std::vector<const char *> args;
    int status;
    const char *file;
  };
  const Row rows[] = {
      {{"kstune"}, -1, ""},
      {{"kstune", "--trace", "t.txt"}, -1, "t.txt"},
      {{"kstune", "--trace=t.txt"}, -1, "t.txt"},
      {{"kstune", "--trace"}, 2, ""},
      {{"kstune", "--trace", "a", "--trace", "b"}, 2, ""},
      {{"kstune", "--baud", "9600"}, 2, ""},
  };
  for (const auto &r : rows) {
    std::vector<char *> argv;
    for (const char *a : r.args)
      argv.push_back(const_cast<char *>(a));
    std::string file;
    const int status = HandleCommandLine(int(argv.size()), argv.data(), file);
    EXPECT_EQ(status, r.status) << r.args.size();
    if (status < 0) {
      EXPECT_EQ(file, r.file);
    }
  }
}
