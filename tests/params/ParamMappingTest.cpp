// Which control shows which parameter, under which preset key and label, and where it goes in
// the station: checked by control name against the layout's own tables.
#include "tests/params/EditingFixture.h"
#include "tests/table/ParamPlaces.h"

#include <QLabel>

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
