// Start-up of the real window against options files in a private stand-in directory.
#include "main/MessageWindow.h"
#include "main/UnitMain.h"
#include "tests/table/ParamPlaces.h"
#include "tests/support/QtApp.h"
#include "tests/support/TempConfigDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

const QString Caption = QStringLiteral("Ручная настройка радиостанции ");

// Every field and cell the presets fill, as text, in parameter order (1..12 grid, 18..34 fields).
std::vector<QString> PresetTexts(TForm1 &form) {
  std::vector<QString> texts;
  for (const Place &place : Places)
    texts.push_back(place.label ? form.findChild<QLineEdit *>(place.control)->text()
                                : form.Cells(place.control[0] - '0', place.control[2] - '0'));
  return texts;
}

class StartUpTest : public ::testing::Test, protected WithTestApp {
protected:
  TempConfigDir dir;
  BoxRecorder boxes;
};

} // namespace

TEST_F(StartUpTest, WithoutOptionsFileEverythingIsDefaultAndNothingIsCreated) {
  TForm1 form;
  EXPECT_EQ(form.windowTitle(), Caption + "0");
  EXPECT_TRUE(form.RadioButton2->isChecked());
  EXPECT_FALSE(form.RadioButton1->isChecked());
  EXPECT_EQ(form.MainState.ComNumber, 2);
  for (const QString &text : PresetTexts(form))
    EXPECT_EQ(text, "0");
  EXPECT_EQ(form.MainState.ParamValues, TParamValues{});
  EXPECT_EQ(MessageLines(form), QStringList{"Незабудьте Подключиться"});
  EXPECT_EQ(form.MainState.SelectedParam, 0);
  EXPECT_FALSE(form.Timer1->Enabled());
  EXPECT_EQ(form.Timer1->Interval(), 800);
  EXPECT_EQ(form.MainState.PollMode, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.KstuneDir()));
  EXPECT_TRUE(boxes.Errors.empty());
  // The grid headings.
  EXPECT_EQ(form.Cells(0, 0), "    МГц");
  EXPECT_EQ(form.Cells(0, 1), "140-146");
  EXPECT_EQ(form.Cells(0, 6), "170-174");
  EXPECT_EQ(form.Cells(1, 0), "УНЧ Вкл.");
  EXPECT_EQ(form.Cells(2, 0), "УНЧ Выкл.");
}

TEST_F(StartUpTest, PortKeyChoosesTheRadioButton) {
  const std::pair<const char *, int> cases[] = {{"1", 1},    {"2", 2},   {"7", 1},   {"abc", 2},
                                                {"0x02", 2}, {"$2", 2},  {"258", 2}, {"0", 1}};
  for (const auto &[port, expected] : cases) {
    dir.WriteFile("Q417Options.ini", std::string("[All]\r\nPoz=KS41\r\nPort=") + port + "\r\n");
    TForm1 form;
    EXPECT_EQ(form.MainState.ComNumber, expected) << port;
    EXPECT_EQ(form.RadioButton1->isChecked(), expected == 1) << port;
    EXPECT_EQ(form.RadioButton2->isChecked(), expected == 2) << port;
    EXPECT_EQ(form.windowTitle(), Caption + "KS41");
  }
}

TEST_F(StartUpTest, PresetSectionFillsFieldsAndValues) {
  dir.WriteFile("Q417Options.ini", "[All]\r\nPoz=KS45\r\n[KS45]\r\nCORF=130\r\n");
  TForm1 form;
  EXPECT_EQ(form.windowTitle(), Caption + "KS45");
  EXPECT_EQ(form.Edit1->text(), "130");
  EXPECT_EQ(form.MainState.ParamValues[19], 130);
  const auto texts = PresetTexts(form);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), QString("0")), static_cast<long>(texts.size()) - 1);
}

// A bench set up by its administrator: the system file's presets and port under the user's
// own file, which wins key by key; starting writes neither.
TEST_F(StartUpTest, TheAdministratorsFileLiesUnderTheUsersOwn) {
  const std::string system = "[All]\r\nPoz=KS47\r\nPort=1\r\n[KS45]\r\nCORF=130\r\nDEV=90\r\n[KS47]\r\nCORF=7\r\n";
  const std::string user = "[All]\r\nPoz=KS45\r\n[KS45]\r\nCORF=140\r\n";
  dir.WriteSystemFile("Q417Options.ini", system);
  dir.WriteFile("Q417Options.ini", user);
  TForm1 form;
  EXPECT_EQ(form.windowTitle(), Caption + "KS45");        // the user's model
  EXPECT_EQ(form.MainState.ComNumber, 1);                 // the system's port
  EXPECT_TRUE(form.RadioButton1->isChecked());
  EXPECT_EQ(form.Edit1->text(), "140");                   // the user's CORF
  EXPECT_EQ(form.Edit19->text(), "90");                   // the system's DEV of the same model
  EXPECT_EQ(form.MainState.ParamValues[18], 90);
  EXPECT_EQ(dir.ReadFile("Q417Options.ini"), user);
  std::ifstream in(dir.SystemKstuneDir() / "Q417Options.ini", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), system);
}

TEST_F(StartUpTest, HandEditedFileIsReadLikeTheWindowsService) {
  // Blanks, quotes, a comment, mixed case, a duplicate key, LF-only lines and a byte-order mark.
  dir.WriteFile("Q417Options.ini", "\xEF\xBB\xBF ; technician's notes\n[ all ]\n  poz =  \"KS43\"  \nPORT=1\n"
                                   "[ks43]\ncorf = 17\nCORF=99\n  DEV='84'\nUNCH_OFF170_174=\t201\n");
  TForm1 form;
  EXPECT_EQ(form.windowTitle(), Caption + "KS43");
  EXPECT_EQ(form.MainState.ComNumber, 1);
  EXPECT_EQ(form.Edit1->text(), "17");
  EXPECT_EQ(form.Edit19->text(), "84");
  EXPECT_EQ(form.Cells(2, 6), "201");
  EXPECT_EQ(form.MainState.ParamValues[18], 84);
  EXPECT_EQ(form.MainState.ParamValues[12], 201);
}

TEST_F(StartUpTest, PresetThatIsNoNumberStopsCollectingButTheWindowOpens) {
  // TUNE (24) is read after CORF (19) and before POW_5 (25).
  dir.WriteFile("Q417Options.ini", "[All]\r\nPoz=KS47\r\n[KS47]\r\nCORF=5\r\nTUNE=12a\r\nPOW_5=7\r\nUNCH_ON140_146=9\r\n");
  TForm1 form;
  ASSERT_EQ(boxes.Errors, std::vector<std::string>{"'12a' is not a valid integer value"});
  EXPECT_EQ(form.Edit6->text(), "12a");
  EXPECT_EQ(form.MainState.ParamValues[1], 9);
  EXPECT_EQ(form.MainState.ParamValues[19], 5);
  EXPECT_EQ(form.MainState.ParamValues[25], 0);
  EXPECT_EQ(form.Edit9->text(), "7");
  // The action ended where it failed: no prompt yet.
  EXPECT_TRUE(MessageLines(form).isEmpty());
}

TEST_F(StartUpTest, ClosingTheWindowWritesNothing) {
  const std::string original = "[All]\nPoz=KS41\nPort=1\n";
  dir.WriteFile("Q417Options.ini", original);
  { TForm1 form; }
  EXPECT_EQ(dir.ReadFile("Q417Options.ini"), original);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.KstuneDir()), {}), 1);
}

TEST_F(StartUpTest, PortButtonsOnlyChangeTheNextPortNumber) {
  TForm1 form;
  form.RadioButton1->click();
  EXPECT_EQ(form.MainState.ComNumber, 1);
  form.RadioButton2->click();
  EXPECT_EQ(form.MainState.ComNumber, 2);
  EXPECT_FALSE(std::filesystem::exists(dir.KstuneDir()));
}
