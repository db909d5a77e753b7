// "Запись", "Чтение" and "Восстановить" in the window against the simulated station.
#include "link/Exchange.h"
#include "tests/records/RecordsFixture.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

namespace fs = std::filesystem;

namespace {

std::string SnapshotOf(const Values &v) {
  std::string bytes;
  for (uint8_t b : v)
    bytes += std::to_string(b) + "\r\n";
  return bytes;
}

} // namespace

TEST_F(RecordsTest, WriteSendsSixtyAndTheValuesThenReadGivesThemBack) {
  Connect();
  Values sent = Pattern(3);
  TypeAll(sent);
  Type(19, "300"); // its low eight bits are sent and kept
  sent[18] = 44;
  Click("BitBtn1Click");
  EXPECT_EQ(station.Received(), Concat({60}, sent));
  EXPECT_TRUE(form->BitBtn1->isEnabled());
  EXPECT_EQ(dir.ReadFile("Opros.txt"), SnapshotOf(sent)); // "0" first, "255" last

  TypeAll(Pattern(100));
  sent[14] = 7; // a hidden value the station holds comes back ...
  station.SetParamValues(sent);
  station.SetModelIndex(3);
  station.ClearReceived();
  Click("BitBtn2Click");
  EXPECT_EQ(station.Received(), (std::vector<uint8_t>{70, 170, 20, 97}));
  EXPECT_EQ(Stored(), sent);
  sent[14] = 0;
  EXPECT_EQ(ShownValues(), sent);
  EXPECT_EQ(form->ComboBox1->currentIndex(), 3);
  EXPECT_TRUE(form->BitBtn2->isEnabled());
  station.ClearReceived();
  Click("BitBtn1Click");
  EXPECT_EQ(station.Received(), Concat({60}, sent)) << "... and goes out as 0 with the next write";
  EXPECT_TRUE(boxes.Errors.empty() && boxes.Messages.empty());
  EXPECT_TRUE(station.ProtocolErrors().empty());
}

TEST_F(RecordsTest, ReadSelectsTheStoredModelEntryOrNone) {
  const std::pair<uint8_t, int> cases[] = {{2, 2}, {5, 5}, {9, -1}, {0, 0}};
  Connect();
  for (const auto &[stored, selected] : cases) {
    form->ComboBox1->setCurrentIndex(1);
    station.SetModelIndex(stored);
    Click("BitBtn2Click");
    EXPECT_EQ(form->ComboBox1->currentIndex(), selected) << int(stored);
  }
  EXPECT_EQ(form->windowTitle(), "Ручная настройка радиостанции 0") << "only the list changes";
}

TEST_F(RecordsTest, ACutReadBlockKeepsWhatArrivedAndSaysNothingButItsCaption) {
  Connect();
  Values expected = Stored();
  const Values fields = ShownValues();
  station.SetParamValues(Pattern(50));
  std::copy_n(Pattern(50).begin(), 20, expected.begin());
  station.CutBlocksTo(20);
  Click("BitBtn2Click");
  EXPECT_EQ(form->BitBtn2->text(), "Нет чтения");
  EXPECT_FALSE(form->BitBtn2->isEnabled());
  EXPECT_EQ(Stored(), expected);
  EXPECT_EQ(ShownValues(), fields);
  EXPECT_EQ(station.Received(), std::vector<uint8_t>{70});
  EXPECT_TRUE(boxes.Messages.empty() && boxes.Errors.empty());
  Click("BitBtn10Click");
  EXPECT_EQ(form->BitBtn2->text(), "Чтение");
}

// The station dies after answering 97: the model index never comes. One box, nothing chosen in the
// list, the window not refreshed; the values of the whole block stay where they landed.
TEST_F(RecordsTest, ReadWithTheModelIndexMissingStopsAfterOneBox) {
  Connect();
  const Values fields = ShownValues();
  station.SetParamValues(Pattern(50));
  station.SetModelIndex(4);
  form->ComboBox1->setCurrentIndex(1);
  station.StopSendingAfter(34 + 3); // the block, then the answers to 170, 20 and 97
  Click("BitBtn2Click");
  EXPECT_EQ(station.Received(), (std::vector<uint8_t>{70, 170, 20, 97}));
  EXPECT_EQ(boxes.Messages, std::vector<std::string>{LinkLostMessage});
  EXPECT_EQ(form->ComboBox1->currentIndex(), 1);
  EXPECT_EQ(ShownValues(), fields);
  EXPECT_EQ(Stored(), Pattern(50));
  EXPECT_FALSE(form->BitBtn2->isEnabled());
  EXPECT_EQ(form->BitBtn2->text(), "Чтение");
}

// An adapter that echoes: the refused read leaves the window's values, so the next "Запись" sends
// those and not the station's values one parameter off.
TEST_F(RecordsTest, AnEchoedReadIsRefusedAndTheNextWriteSendsTheWindowsValues) {
  Connect();
  TypeAll(Pattern(40));
  Click("BitBtn1Click");
  station.SetParamValues(Pattern(50));
  station.SetEcho(true);
  station.ClearReceived();
  Click("BitBtn2Click");
  EXPECT_EQ(station.Received(), std::vector<uint8_t>{70});
  EXPECT_EQ(form->BitBtn2->text(), "Нет чтения");
  EXPECT_EQ(Stored(), Pattern(40));
  EXPECT_EQ(ShownValues(), Pattern(40));
  station.ClearFaults();
  station.ClearReceived();
  Click("BitBtn1Click");
  EXPECT_EQ(station.Received(), Concat({60}, Pattern(40)));
  EXPECT_EQ(station.ParamValues(), Pattern(40));
  EXPECT_EQ(dir.ReadFile("Opros.txt"), SnapshotOf(Pattern(40)));
  EXPECT_TRUE(boxes.Messages.empty() && boxes.Errors.empty());
}

// Whatever stops a write, the previous snapshot keeps its bytes; a snapshot that cannot be
// replaced is named in the error box with the reason.
TEST_F(RecordsTest, AFailedWriteKeepsThePreviousSnapshot) {
  const fs::path snapshot = dir.KstuneDir() / "Opros.txt";
  const struct {
    const char *what;
    std::function<void()> arrange;
    size_t received;
    bool enabled;
    std::string error; // part of the one error box, "" for none
  } cases[] = {
      {"field not a number", [&] { Type(22, "12a"); }, 0, false, "'12a' is not a valid integer value"},
      {"read-only snapshot", [&] { fs::permissions(snapshot, fs::perms(0444)); }, 35, true,
       '"' + snapshot.string() + "\": Permission denied"},
      {"directory in its place", [&] { fs::remove(snapshot), fs::create_directories(snapshot / "x"); }, 35,
       true, '"' + snapshot.string() + "\": Is a directory"},
      {"silent after the tenth value", [&] { station.StopAnsweringAfter(11); }, 12, false, ""},
  };
  Connect();
  for (const auto &c : cases) {
    fs::remove_all(snapshot);
    dir.WriteFile("Opros.txt", "old\r\n");
    TypeAll(Pattern(9));
    c.arrange();
    boxes.Errors.clear();
    station.ClearReceived();
    form->BitBtn1->setEnabled(true);
    Click("BitBtn1Click");
    EXPECT_EQ(station.Received().size(), c.received) << c.what;
    EXPECT_EQ(form->BitBtn1->isEnabled(), c.enabled) << c.what;
    ASSERT_EQ(boxes.Errors.size(), c.error.empty() ? 0u : 1u) << c.what;
    if (!c.error.empty()) {
      EXPECT_NE(boxes.Errors[0].find(c.error), std::string::npos) << boxes.Errors[0];
    }
    if (fs::is_regular_file(snapshot)) {
      EXPECT_EQ(dir.ReadFile("Opros.txt"), "old\r\n") << c.what;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.KstuneDir()), {}), 2) << c.what << ": com2, Opros.txt";
    fs::permissions(snapshot, fs::perms::owner_all, fs::perm_options::add);
  }
  EXPECT_EQ(boxes.Messages, std::vector<std::string>{LinkLostMessage});
}

TEST_F(RecordsTest, RestoreReadsTheSnapshotTokenByToken) {
  Values full = Pattern(2);
  full[14] = 7; // hidden values take the file's
  const struct {
    std::optional<std::string> bytes; // nullopt: no file
    std::vector<uint8_t> first;       // parameters 1.. read; the rest 0, or kept after an error
    const char *error;
  } cases[] = {
      {"0\r\n255\r\n7\r\n", {0, 255, 7}, nullptr},
      {"5\r\n\r\n6 8\r\n9", {5, 6, 9}, nullptr}, // an empty line skipped, a second number ignored
      {"300\r\n-1\r\n$10\r\n", {44, 255, 16}, nullptr},
      {" \t 9\n\n\t10\r11", {9, 10, 11}, nullptr},
      {std::string(32, '0') + "12\r\n4\r\n", {0, 4}, nullptr}, // a token ends after 32 characters
      {"", {}, nullptr},
      {SnapshotOf(full), {full.begin(), full.end()}, nullptr},
      {"11\r\n22\r\n1x2\r\n44\r\n", {11, 22}, "'1x2'"},
      {std::nullopt, {}, "Opros.txt\": No such file or directory"},
  };
  Connect();
  for (const auto &c : cases) {
    const std::string label = testing::PrintToString(c.bytes);
    fs::remove(dir.KstuneDir() / "Opros.txt");
    if (c.bytes)
      dir.WriteFile("Opros.txt", *c.bytes);
    const Values before = Pattern(77);
    TypeAll(before);
    for (int n = 1; n <= 34; ++n)
      form->MainState.ParamValues[n] = before[n - 1];
    boxes.Errors.clear();
    Click("BitBtn21Click");
    Values expected = c.error ? before : Values{};
    std::copy(c.first.begin(), c.first.end(), expected.begin());
    EXPECT_EQ(Stored(), expected) << label;
    if (c.error) {
      ASSERT_EQ(boxes.Errors.size(), 1u) << label;
      EXPECT_NE(boxes.Errors[0].find(c.error), std::string::npos) << boxes.Errors[0];
      EXPECT_EQ(ShownValues(), before) << label << ": the window is not refreshed";
      continue;
    }
    EXPECT_TRUE(boxes.Errors.empty()) << label;
    std::fill_n(expected.begin() + 12, 5, 0);
    EXPECT_EQ(ShownValues(), expected) << label;
  }
  EXPECT_TRUE(station.Received().empty()) << "nothing is sent";
}
