// The model choice "Ok" against the simulated station and a hand-made options file.
#include "link/Exchange.h"
#include "main/MessageWindow.h"
#include "tests/records/RecordsFixture.h"

#include <QLineEdit>
#include <QTest>

#include <filesystem>
#include <sys/stat.h>

namespace {

const QString Caption = QStringLiteral("Ручная настройка радиостанции ");

// Comments, other sections and an odd spelling of the section, all to be kept byte for byte.
std::string OptionsFile(const std::string &poz) {
  return "; bench 3\r\n[all]\r\nPort=2\r\nPoz=" + poz +
         "\r\n\r\n[KS41]\r\nCORF=141\r\n; KS43 below\r\n[KS43]\r\nCORF=143\r\nUNCH_OFF170_174=12\r\n"
         "[KS47]\r\nDEV=47\r\n";
}

} // namespace

TEST_F(RecordsTest, OkStoresTheIndexThenPozThenShowsThePresets) {
  const struct {
    int entry; // -1: none selected
    uint8_t sent;
    const char *code; // ModelCode and "Poz" afterwards
    const char *corf, *cell26;
    bool noPresets = false; // the message window then says the fields now hold zeros
  } cases[] = {
      {2, 2, "KS43", "143", "12"}, {0, 0, "KS41", "141", "0"}, {-1, 255, "KS41", "141", "0"},
      {4, 4, "KS47", "0", "0"},    {5, 5, "KS47", "0", "0"},   {1, 1, "KS43", "143", "12"},
      {3, 3, "KS45", "0", "0", true},
  };
  const QString zeros = "Для модели KS45 нет начальных значений в " +
                        QString::fromStdString((dir.KstuneDir() / "Q417Options.ini").string()) +
                        ": все поля теперь 0";
  dir.WriteFile("Q417Options.ini", OptionsFile("KS45"));
  Connect();
  for (const auto &c : cases) {
    form->ComboBox1->setCurrentIndex(c.entry);
    station.ClearReceived();
    Click("BitBtn22Click");
    EXPECT_EQ(station.Received(), (std::vector<uint8_t>{65, 0, 97, c.sent})) << c.entry;
    EXPECT_EQ(station.ModelIndex(), c.sent);
    EXPECT_EQ(form->MainState.ModelCode, c.code);
    EXPECT_EQ(dir.ReadFile("Q417Options.ini"), OptionsFile(c.code)) << c.entry;
    EXPECT_EQ(form->windowTitle(), Caption + c.code);
    EXPECT_EQ(Shown(19), c.corf) << c.entry;
    EXPECT_EQ(form->Cells(2, 6), c.cell26) << c.entry;
    EXPECT_EQ(MessageLines(*form).contains(zeros), c.noPresets) << c.entry;
  }
  EXPECT_EQ(MessageLines(*form), QStringList{zeros});
  EXPECT_TRUE(boxes.Errors.empty() && boxes.Messages.empty());
}

TEST_F(RecordsTest, OkOnASilentStationChangesNeitherFileNorWindow) {
  dir.WriteFile("Q417Options.ini", OptionsFile("KS41"));
  form = std::make_unique<TForm1>(); // starts as KS41
  Connect();
  form->ComboBox1->setCurrentIndex(2);
  station.StopAnsweringAfter(2); // 65 and 0 answered
  Click("BitBtn22Click");
  EXPECT_EQ(boxes.Messages, std::vector<std::string>{LinkLostMessage});
  EXPECT_EQ(station.Received(), (std::vector<uint8_t>{65, 0, 97}));
  EXPECT_EQ(dir.ReadFile("Q417Options.ini"), OptionsFile("KS41"));
  EXPECT_EQ(form->windowTitle(), Caption + "KS41");
  EXPECT_EQ(Shown(19), "141");
}

// A technician who protected the options file keeps it: the station has its index, the error box
// says which file and why, the file keeps its bytes and its mode.
TEST_F(RecordsTest, OkRefusesAReadOnlyOptionsFile) {
  const auto path = dir.WriteFile("Q417Options.ini", OptionsFile("KS41"));
  std::filesystem::permissions(path, std::filesystem::perms(0444));
  Connect();
  form->ComboBox1->setCurrentIndex(3);
  Click("BitBtn22Click");
  EXPECT_EQ(station.Received(), (std::vector<uint8_t>{65, 0, 97, 3}));
  ASSERT_EQ(boxes.Errors.size(), 1u);
  EXPECT_NE(boxes.Errors[0].find('"' + path.string() + "\": Permission denied"), std::string::npos)
      << boxes.Errors[0];
  EXPECT_EQ(dir.ReadFile("Q417Options.ini"), OptionsFile("KS41"));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  EXPECT_EQ(form->windowTitle(), Caption + "0") << "the presets are not applied";
  std::filesystem::permissions(path, std::filesystem::perms(0644));
}

// Typing into the model list leaves no entry chosen: "Ok" stores 255 and the model stays; an
// entry chosen from the list after typing counts again.
TEST_F(RecordsTest, TypingIntoTheModelListDropsTheSelection) {
  const struct {
    int entry;           // chosen before typing, -1: none
    const char *typed;   // "\b": one backspace
    int chosenAfter;     // chosen from the list after typing, -1: none
    uint8_t sent;
    const char *code;
    const char *shown;   // the list's text after "Ok"
  } cases[] = {
      {3, "7", -1, 255, "KS41", "KS - 457"},
      {1, "\b", -1, 255, "KS41", "KS - 43  11150кГ"},
      {-1, "x", -1, 255, "KS41", "Выбор станцииx"},
      {0, "1", 4, 4, "KS47", "KS - 47"},
  };
  dir.WriteFile("Q417Options.ini", OptionsFile("KS41"));
  for (const auto &c : cases) {
    form = std::make_unique<TForm1>();
    Connect();
    form->show();
    if (c.entry >= 0)
      form->ComboBox1->setCurrentIndex(c.entry);
    QLineEdit *edit = form->ComboBox1->lineEdit();
    edit->setFocus();
    edit->end(false);
    if (std::string(c.typed) == "\b")
      QTest::keyClick(edit, Qt::Key_Backspace);
    else
      QTest::keyClicks(edit, c.typed);
    if (c.chosenAfter >= 0)
      form->ComboBox1->setCurrentIndex(c.chosenAfter);
    Click("BitBtn22Click");
    EXPECT_EQ(station.Received(), (std::vector<uint8_t>{65, 0, 97, c.sent})) << c.typed;
    EXPECT_EQ(form->MainState.ModelCode, c.code);
    EXPECT_EQ(form->ComboBox1->currentText(), c.shown);
    EXPECT_EQ(dir.ReadFile("Q417Options.ini"), OptionsFile(c.code));
    dir.WriteFile("Q417Options.ini", OptionsFile("KS41"));
    form.reset();
  }
}
