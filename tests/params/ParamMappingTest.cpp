// Which control shows which parameter, under which preset key and label, and where it goes in
// the station: checked by control name against the layout's own tables.
#include "tests/params/EditingFixture.h"

#include <QLabel>

namespace {

struct Place {
  const char *control; // a field's name, or "c,r" for a grid cell
  const char *label;
  int number;
  const char *key;
  uint8_t address;
};

const Place Places[] = {
    {"1,1", nullptr, 1, "UNCH_ON140_146", 27},   {"1,2", nullptr, 2, "UNCH_ON146_148", 28},
    {"1,3", nullptr, 3, "UNCH_ON148_154", 29},   {"1,4", nullptr, 4, "UNCH_ON154_162", 30},
    {"1,5", nullptr, 5, "UNCH_ON162_170", 31},   {"1,6", nullptr, 6, "UNCH_ON170_174", 32},
    {"2,1", nullptr, 7, "UNCH_OFF140_146", 33},  {"2,2", nullptr, 8, "UNCH_OFF146_148", 34},
    {"2,3", nullptr, 9, "UNCH_OFF148_154", 35},  {"2,4", nullptr, 10, "UNCH_OFF154_162", 36},
    {"2,5", nullptr, 11, "UNCH_OFF162_170", 37}, {"2,6", nullptr, 12, "UNCH_OFF170_174", 38},
    {"Edit19", "Label10", 18, "DEV", 66},        {"Edit1", "Label1", 19, "CORF", 67},
    {"Edit2", "Label2", 20, "AF1", 68},          {"Edit3", "Label3", 21, "MOD2", 69},
    {"Edit4", "Label5", 22, "D_ON", 70},         {"Edit5", "Label6", 23, "D_OFF", 71},
    {"Edit6", "Label7", 24, "TUNE", 75},         {"Edit9", "Label8", 25, "POW_5", 76},
    {"Edit10", "Label9", 26, "P1_5", 77},        {"Edit11", "Label12", 27, "POW_10", 78},
    {"Edit12", "Label13", 28, "P1_10", 79},      {"Edit13", "Label16", 29, "POW_25", 80},
    {"Edit14", "Label17", 30, "P1_25", 81},      {"Edit15", "Label14", 31, "POW_40", 82},
    {"Edit16", "Label15", 32, "P1_40", 83},      {"Edit17", "Label18", 33, "G_ON", 84},
    {"Edit18", "Label19", 34, "G_OFF", 85},
};

} // namespace

TEST_F(EditingTest, EveryControlShowsChoosesAndSendsItsOwnParameter) {
  std::string ini = "[All]\r\nPoz=KS47\r\n[KS47]\r\n";
  for (const auto &p : Places)
    ini += std::string(p.key) + "=" + std::to_string(100 + p.number) + "\r\n";
  dir.WriteFile("Q417Options.ini", ini);
  Restart();
  for (const auto &p : Places) {
    const QString value = QString::number(100 + p.number);
    if (p.label) {
      EXPECT_EQ(form->findChild<QLabel *>(p.label)->text(), p.key);
      EXPECT_EQ(Field(p.control)->text(), value) << p.key;
    } else {
      EXPECT_EQ(form->Cells(p.control[0] - '0', p.control[2] - '0'), value) << p.key;
    }
  }
  // Enter sends the chosen parameter as the window shows it; a leader moves its follower after.
  for (const auto &p : Places) {
    station.ClearReceived();
    p.label ? Focus(Field(p.control)) : ChooseCell(p.control[0] - '0', p.control[2] - '0');
    EXPECT_EQ(form->MainState.SelectedParam, p.number) << p.control;
    Key(Qt::Key_Return);
    const QString shown =
        p.label ? Field(p.control)->text() : form->Cells(p.control[0] - '0', p.control[2] - '0');
    EXPECT_EQ(station.Received(), SetValue(p.address, uint8_t(shown.toInt()))) << p.control;
  }
}

TEST_F(EditingTest, GridHeadingsStandInTheirCells) {
  const std::tuple<int, int, const char *> headings[] = {
      {0, 0, "    МГц"}, {0, 1, "140-146"}, {0, 2, "146-148"},  {0, 3, "148-154"},   {0, 4, "154-162"},
      {0, 5, "162-170"}, {0, 6, "170-174"}, {1, 0, "УНЧ Вкл."}, {2, 0, "УНЧ Выкл."},
  };
  for (const auto &[column, row, text] : headings)
    EXPECT_EQ(form->Cells(column, row), text) << column << "," << row;
}
