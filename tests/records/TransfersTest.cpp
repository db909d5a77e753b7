// "Запись", "Чтение" and "Восстановить" in the window against the simulated station.
#include "link/Exchange.h"
#include "main/MessageWindow.h"
#include "tests/records/RecordsFixture.h"

#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace {

std::string SnapshotOf(const Values &v) {
  std::string bytes;
  for (uint8_t b : v)
    bytes += std::to_string(b) + "\r\n";
  return bytes;
}

Values WithHiddenZero(Values v) {
  for (int n = 13; n <= 17; ++n)
    v[n - 1] = 0;
  return v;
}

} // namespace

TEST_F(RecordsTest, WriteSendsSixtyAndTheValuesThenReadGivesThemBack) {
  Connect();
  const Values written = WithHiddenZero(Pattern(3));
  TypeAll(written);
  Type(19, "300"); // stored, sent and kept as its low eight bits
  Type(20, "-1");
  Values sent = written;
  sent[18] = 44;
  sent[19] = 255;
  Click("BitBtn1Click");
  ASSERT_TRUE(boxes.Errors.empty()) << boxes.Errors.front();
  EXPECT_TRUE(boxes.Messages.empty());
  EXPECT_EQ(station.Received(), Concat({60}, sent));
  EXPECT_EQ(station.ParamValues(), sent);
  EXPECT_TRUE(form->BitBtn1->isEnabled());
  EXPECT_EQ(SnapshotBytes(), SnapshotOf(sent));
  EXPECT_EQ(SnapshotBytes().substr(0, 3), "0\r\n") << "0 is written as \"0\"";
  EXPECT_EQ(SnapshotBytes().substr(SnapshotBytes().size() - 5), "255\r\n");

  TypeAll(Pattern(100));
  station.SetModelIndex(3);
  station.ClearReceived();
  Click("BitBtn2Click");
  ASSERT_TRUE(boxes.Errors.empty()) << boxes.Errors.front();
  EXPECT_EQ(station.Received(), (std::vector<uint8_t>{70, 170, 20, 97}));
  EXPECT_EQ(Stored(), sent) << "13..17 come back as 0";
  EXPECT_EQ(ShownValues(), sent);
  EXPECT_EQ(form->ComboBox1->currentIndex(), 3);
  EXPECT_TRUE(form->BitBtn2->isEnabled());
  EXPECT_EQ(form->BitBtn2->text(), "Чтение");

  // A value read for a hidden parameter lives only until the next write collects the window.
  Values withSeven = sent;
  withSeven[14] = 7;
  station.SetParamValues(withSeven);
  Click("BitBtn2Click");
  EXPECT_EQ(form->MainState.ParamValues[15], 7);
  station.ClearReceived();
  Click("BitBtn1Click");
  EXPECT_EQ(station.Received(), Concat({60}, sent));
  EXPECT_TRUE(station.ProtocolErrors().empty());
}

TEST_F(RecordsTest, ReadSelectsTheStoredModelEntryOrNone) {
  const struct {
    uint8_t stored;
    int selected;
  } cases[] = {{2, 2}, {5, 5}, {9, -1}, {0, 0}};
  Connect();
  for (const auto &c : cases) {
    form->ComboBox1->setCurrentIndex(1);
    station.SetModelIndex(c.stored);
    Click("BitBtn2Click");
    EXPECT_EQ(form->ComboBox1->currentIndex(), c.selected) << int(c.stored);
    EXPECT_TRUE(form->BitBtn2->isEnabled());
  }
  EXPECT_EQ(form->windowTitle(), "Ручная настройка радиостанции 0") << "only the list changes";
  EXPECT_TRUE(boxes.Errors.empty() && boxes.Messages.empty());
}

TEST_F(RecordsTest, ACutReadBlockKeepsWhatArrivedAndSaysNothingButItsCaption) {
  Connect();
  const Values before = Stored();
  const Values fields = ShownValues();
  const Values station34 = Pattern(50);
  station.SetParamValues(station34);
  station.CutBlocksTo(20);
  Click("BitBtn2Click");
  EXPECT_EQ(form->BitBtn2->text(), "Нет чтения");
  EXPECT_FALSE(form->BitBtn2->isEnabled());
  Values expected = before;
  std::copy(station34.begin(), station34.begin() + 20, expected.begin());
  EXPECT_EQ(Stored(), expected);
  EXPECT_EQ(ShownValues(), fields) << "the fields still show the old values";
  EXPECT_EQ(station.Received(), std::vector<uint8_t>{70});
  EXPECT_TRUE(boxes.Messages.empty() && boxes.Errors.empty());
  Click("BitBtn10Click");
  EXPECT_EQ(form->BitBtn2->text(), "Чтение");
}

TEST_F(RecordsTest, WriteStopsAtTheFirstMissingAnswerAndKeepsTheOldSnapshot) {
  dir.WriteFile("Opros.txt", "old\r\n");
  Connect();
  TypeAll(Pattern(9));
  station.StopAnsweringAfter(11); // 60 and ten values answered
  Click("BitBtn1Click");
  EXPECT_EQ(boxes.Messages, std::vector<std::string>{LinkLostMessage});
  EXPECT_EQ(station.Received().size(), 12u);
  EXPECT_FALSE(form->BitBtn1->isEnabled());
  EXPECT_EQ(SnapshotBytes(), "old\r\n");
}

TEST_F(RecordsTest, AFieldThatIsNoNumberStopsTheWriteBeforeAnyByte) {
  Connect();
  Type(22, "12a");
  Click("BitBtn1Click");
  EXPECT_EQ(boxes.Errors, std::vector<std::string>{"'12a' is not a valid integer value"});
  EXPECT_TRUE(station.Received().empty());
  EXPECT_FALSE(form->BitBtn1->isEnabled());
  EXPECT_FALSE(fs::exists(dir.KstuneDir() / "Opros.txt"));
}

// The values reach the station; the snapshot that cannot be replaced keeps its bytes, and the
// error box names it and says why.
TEST_F(RecordsTest, ASnapshotThatCannotBeWrittenKeepsItsBytesAndIsReported) {
  const struct {
    const char *what;
    std::function<void(const fs::path &)> arrange;
    const char *reason;
  } cases[] = {
      {"read-only snapshot",
       [](const fs::path &p) {
         std::ofstream(p, std::ios::binary) << "1\r\n";
         fs::permissions(p, fs::perms(0444));
       },
       "Permission denied"},
      {"a directory in its place", [](const fs::path &p) { fs::create_directories(p / "x"); }, "Is a directory"},
  };
  Connect();
  TypeAll(Pattern(1));
  for (const auto &c : cases) {
    const fs::path path = dir.KstuneDir() / "Opros.txt";
    fs::remove_all(path);
    c.arrange(path);
    const std::string before = fs::is_regular_file(path) ? SnapshotBytes() : "";
    boxes.Errors.clear();
    station.ClearReceived();
    Click("BitBtn1Click");
    EXPECT_EQ(station.Received().size(), 35u) << c.what;
    EXPECT_TRUE(form->BitBtn1->isEnabled()) << c.what;
    ASSERT_EQ(boxes.Errors.size(), 1u) << c.what;
    EXPECT_NE(boxes.Errors[0].find('"' + path.string() + '"'), std::string::npos) << boxes.Errors[0];
    EXPECT_NE(boxes.Errors[0].find(c.reason), std::string::npos) << boxes.Errors[0];
    if (fs::is_regular_file(path))
      EXPECT_EQ(SnapshotBytes(), before) << c.what;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.KstuneDir()), {}), 2) << c.what << ": com2 and Opros.txt only";
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
  }
}

TEST_F(RecordsTest, RestoreReadsTheSnapshotTokenByToken) {
  const std::string z32(32, '0');
  const struct {
    std::string bytes;
    std::vector<uint8_t> first; // parameters 1.., the rest 0
  } cases[] = {
      {"0\r\n255\r\n7\r\n", {0, 255, 7}},
      {"5\r\n\r\n6\r\n", {5, 6}},             // an empty line is skipped
      {"1 2\r\n3\r\n", {1, 3}},               // a second number on a line is ignored
      {"300\r\n-1\r\n$10\r\n", {44, 255, 16}}, // low eight bits, signed, hexadecimal
      {" \t 9\n\n\t10\r11", {9, 10, 11}},      // blanks and tabs before; LF and CR end lines
      {z32 + "12\r\n4\r\n", {0, 4}},           // a token stops after 32 characters
      {"", {}},
  };
  Connect();
  for (const auto &c : cases) {
    dir.WriteFile("Opros.txt", c.bytes);
    TypeAll(Pattern(77));
    Click("BitBtn21Click");
    Values expected{};
    std::copy(c.first.begin(), c.first.end(), expected.begin());
    EXPECT_EQ(Stored(), expected) << testing::PrintToString(c.bytes);
    EXPECT_EQ(ShownValues(), WithHiddenZero(expected)) << testing::PrintToString(c.bytes);
  }
  dir.WriteFile("Opros.txt", SnapshotOf(Pattern(2)));
  Click("BitBtn21Click");
  EXPECT_EQ(Stored(), Pattern(2)) << "13..17 take the file's values";
  EXPECT_TRUE(boxes.Errors.empty());
  EXPECT_TRUE(station.Received().empty()) << "nothing is sent";
}

TEST_F(RecordsTest, RestoreFailuresShowTheFileErrorAndKeepTheWindow) {
  Connect();
  const Values fields = ShownValues();
  const Values before = Stored();
  Click("BitBtn21Click");
  ASSERT_EQ(boxes.Errors.size(), 1u);
  EXPECT_NE(boxes.Errors[0].find("Opros.txt\": No such file or directory"), std::string::npos) << boxes.Errors[0];
  EXPECT_EQ(Stored(), before);

  dir.WriteFile("Opros.txt", "11\r\n22\r\n1x2\r\n44\r\n");
  Click("BitBtn21Click");
  ASSERT_EQ(boxes.Errors.size(), 2u);
  EXPECT_NE(boxes.Errors[1].find("'1x2'"), std::string::npos) << boxes.Errors[1];
  Values expected = before;
  expected[0] = 11;
  expected[1] = 22;
  EXPECT_EQ(Stored(), expected) << "the values before the bad token stay";
  EXPECT_EQ(ShownValues(), fields) << "the window is not refreshed";
}
