// Moves between the window and ParamValues, on the real window.
#include "main/UnitMain.h"
#include "params/ParamTable.h"
#include "runtime/Exception.h"
#include "tests/table/ParamPlaces.h"
#include "tests/support/QtApp.h"
#include "tests/support/TempConfigDir.h"

#include <gtest/gtest.h>

namespace {

class ParamTableTest : public ::testing::Test, protected WithTestApp {
protected:
  TempConfigDir dir;
  BoxRecorder boxes;
  TForm1 form;
};

} // namespace

TEST_F(ParamTableTest, CollectStoresTheLowByteOfEveryText) {
  const std::pair<const char *, int> cases[] = {{"300", 44}, {"-1", 255}, {"$FF", 255}, {"256", 0},
                                                {"0x10", 16}, {" 7", 7},   {"x1F", 31},  {"-256", 0}};
  for (const auto &[text, stored] : cases) {
    form.SetCells(2, 3, text); // parameter 9
    form.Edit13->setText(text); // parameter 29
    CollectValues(form);
    EXPECT_EQ(form.MainState.ParamValues[9], stored) << text;
    EXPECT_EQ(form.MainState.ParamValues[29], stored) << text;
  }
}

TEST_F(ParamTableTest, FixedValuesAreCopiedAndDevReplacesTheirLast) {
  for (int n = 13; n <= 17; ++n)
    form.MainState.ParamValues[n] = 7; // as a read-all could have left them
  form.Edit19->setText("91");
  CollectValues(form);
  for (int n = 13; n <= 17; ++n)
    EXPECT_EQ(form.MainState.ParamValues[n], 0) << n;
  EXPECT_EQ(form.MainState.ParamValues[18], 91);
}

TEST_F(ParamTableTest, CollectStopsAtTheFirstBadTextKeepingWhatCameBefore) {
  form.SetCells(1, 1, "11");  // 1: read first
  form.Edit2->setText("22");  // 20
  form.Edit3->setText("");    // 21: the empty text is no number either
  form.Edit4->setText("44");  // 22: read after 21
  try {
    CollectValues(form);
    FAIL() << "empty field accepted";
  } catch (const EConvertError &e) {
    EXPECT_EQ(e.Message, "'' is not a valid integer value");
  }
  EXPECT_EQ(form.MainState.ParamValues[1], 11);
  EXPECT_EQ(form.MainState.ParamValues[20], 22);
  EXPECT_NE(form.MainState.ParamValues[22], 44);
}

TEST_F(ParamTableTest, DevIsCollectedLastSoABadDevKeepsEveryOtherValueAndTheFixed83) {
  for (const Place &place : Places) {
    const QString text = QString::number(place.number + 100);
    if (place.label)
      form.findChild<QLineEdit *>(place.control)->setText(text);
    else
      form.SetCells(place.control[0] - '0', place.control[2] - '0', text);
  }
  form.Edit19->setText("12a");
  try {
    CollectValues(form);
    FAIL() << "12a accepted";
  } catch (const EConvertError &e) {
    EXPECT_EQ(e.Message, "'12a' is not a valid integer value");
  }
  for (const Place &place : Places)
    if (place.number != 18) {
      EXPECT_EQ(form.MainState.ParamValues[place.number], place.number + 100) << place.control;
    }
  EXPECT_EQ(form.MainState.ParamValues[18], 83);
}

TEST_F(ParamTableTest, ShowWritesEveryValueToItsPlace) {
  for (int n = 1; n <= 34; ++n)
    form.MainState.ParamValues[n] = static_cast<uint8_t>(n * 7);
  form.Edit1->setText("typed but not collected");
  ShowValues(form);
  for (const Place &place : Places) {
    const int n = place.number;
    if (!place.label) {
      int c = 0, r = 0;
      ASSERT_TRUE(params::CellOfParam(n, c, r));
      EXPECT_EQ(QString("%1,%2").arg(c).arg(r), place.control) << n;
      EXPECT_EQ(params::ParamOfCell(c, r), n);
      EXPECT_EQ(form.Cells(c, r), QString::number(n * 7));
      continue;
    }
    EXPECT_EQ(FieldOfParam(form, n)->objectName(), place.control) << n;
    EXPECT_EQ(FieldOfParam(form, n)->text(), QString::number(n * 7 % 256)) << n;
    EXPECT_EQ(ParamOfField(form, FieldOfParam(form, n)), n);
  }
  for (int n = 13; n <= 17; ++n)
    EXPECT_EQ(FieldOfParam(form, n), nullptr);
  // Round trip: what is shown collects back to the same table, apart from the fixed 13..17.
  const TParamValues shown = form.MainState.ParamValues;
  CollectValues(form);
  for (int n = 1; n <= 34; ++n)
    if (n < 13 || n > 17) {
      EXPECT_EQ(form.MainState.ParamValues[n], shown[n]) << n;
    }
}

TEST_F(ParamTableTest, LinkedValuesFollowTheirLeaderUnwrappedInTheField) {
  struct Case {
    int leader;
    int value;
    int follower;
    const char *shown;
    int stored;
  };
  const Case cases[] = {
      {25, 250, 27, "269", 13},  // POW_5 -> POW_10
      {31, 20, 29, "-14", 242},  // POW_40 -> POW_25
      {26, 100, 28, "116", 116}, // P1_5 -> P1_10
      {32, 30, 30, "-11", 245},  // P1_40 -> P1_25
  };
  for (const auto &c : cases) {
    form.MainState.ParamValues[c.leader] = static_cast<uint8_t>(c.value);
    ShowValues(form);
    form.MainState.SelectedParam = static_cast<uint8_t>(c.leader);
    ApplyLinkedValues(form);
    EXPECT_EQ(FieldOfParam(form, c.follower)->text(), c.shown) << c.leader;
    EXPECT_EQ(form.MainState.ParamValues[c.follower], c.stored) << c.leader;
    ShowValues(form);
    EXPECT_EQ(FieldOfParam(form, c.follower)->text(), QString::number(c.stored));
  }
}

TEST_F(ParamTableTest, AFollowerNeverMovesItsLeader) {
  ShowValues(form);
  const TParamValues before = form.MainState.ParamValues;
  for (int follower : {27, 29, 28, 30, 19, 0}) {
    form.MainState.SelectedParam = static_cast<uint8_t>(follower);
    ApplyLinkedValues(form);
  }
  EXPECT_EQ(form.MainState.ParamValues, before);
}

TEST(ParamAddressTable, EveryParameterGoesToTheAddressOfItsRow) {
  uint8_t expectedOf[35] = {};
  for (const Place &place : Places)
    expectedOf[place.number] = place.address;
  for (int n = 13; n <= 17; ++n)
    expectedOf[n] = HiddenAddresses[n - 13];
  for (int n = 1; n <= 34; ++n) {
    const int expected = expectedOf[n];
    EXPECT_EQ(params::ParamByNumber(n)->address, expected) << n;
  }
}
