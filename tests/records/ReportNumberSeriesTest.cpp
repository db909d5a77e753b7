// "Обновить": the number series into the parameters, and the record lines it comes from.
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "params/ParamTable.h"
#include "records/Report.h"
#include "records/ReportRecord.h"
#include "runtime/Exception.h"
#include "tests/support/QtApp.h"
#include "tests/support/TempConfigDir.h"

#include <gtest/gtest.h>

namespace {

class NumberSeriesTest : public ::testing::Test, protected WithTestApp {
protected:
  NumberSeriesTest() { EnablePanels(form); }

  // The series that gives parameter k the value base + k.
  static std::string Series(int base) {
    std::string series;
    for (int k = 1; k <= ParamCount; ++k)
      series += ValueGroup(static_cast<uint8_t>(base + k));
    return series;
  }

  void Type(const std::string &text) { form.Edit20->setText(QString::fromStdString(text)); }

  TempConfigDir dir;
  BoxRecorder boxes;
  TForm1 form;
};

} // namespace

// The groups themselves: tests/table/SeriesCodingTest.cpp.
TEST_F(NumberSeriesTest, ValuesBecomeThreeDigitGroupsInTwoRecordLines) {
  TParamValues values;
  const auto [zeroFirst, zeroSecond] = RecordLines(values);
  EXPECT_EQ(zeroFirst, "K" + std::string(51, '0'));
  EXPECT_EQ(zeroSecond, "K" + std::string(51, '0'));

  values[17] = 255;
  values[18] = 7;
  values[34] = 1;
  const auto [first, second] = RecordLines(values);
  EXPECT_EQ(first, "K" + std::string(48, '0') + "255");
  EXPECT_EQ(second.substr(0, 4), "K007");
  EXPECT_EQ(second.substr(49), "001");
}

TEST_F(NumberSeriesTest, TakesAllThirtyFourGroupsAndShowsThem) {
  Type(Series(100));
  ApplyNumberSeries(form);
  for (int k = 1; k <= ParamCount; ++k)
    EXPECT_EQ(form.MainState.ParamValues[k], 100 + k) << k;
  EXPECT_EQ(form.Edit19->text(), "118"); // parameter 18
  EXPECT_EQ(form.Edit18->text(), "134"); // parameter 34
  EXPECT_EQ(form.Cells(1, 1), "101");    // parameter 1
  EXPECT_TRUE(boxes.Messages.empty());
}

TEST_F(NumberSeriesTest, AGroupAbove255KeepsItsLowEightBits) {
  std::string series = Series(0);
  series.replace(3 * 4, 3, "300"); // parameter 5
  Type(series);
  ApplyNumberSeries(form);
  EXPECT_EQ(form.MainState.ParamValues[5], 44);
  EXPECT_EQ(form.MainState.ParamValues[6], 6);
}

TEST_F(NumberSeriesTest, ASeriesOfAnyOtherLengthChangesNothing) {
  ShowValues(form);
  const TParamValues before = form.MainState.ParamValues;
  const QString fieldBefore = form.Edit19->text();
  for (const std::string &text :
       {Series(0).substr(1), Series(0) + "1", std::string(), std::string("Файл открыт")}) {
    boxes.Messages.clear();
    Type(text);
    ApplyNumberSeries(form);
    ASSERT_EQ(boxes.Messages.size(), 1u) << text;
    EXPECT_EQ(boxes.Messages[0], "Вы ввели не все цифры");
    EXPECT_EQ(form.MainState.ParamValues, before);
    EXPECT_EQ(form.Edit19->text(), fieldBefore);
  }
}

// A group that is no number stops the series there: the parameters before it are replaced, the
// rest and the window stay as they were.
TEST_F(NumberSeriesTest, AGroupThatIsNoNumberStopsWithTheConversionError) {
  ShowValues(form);
  const TParamValues before = form.MainState.ParamValues;
  const QString fieldBefore = form.Edit19->text();
  std::string series = Series(50);
  series.replace(3 * 19, 3, "1a2"); // parameter 20
  Type(series);
  try {
    ApplyNumberSeries(form);
    FAIL() << "no conversion error";
  } catch (const EConvertError &e) {
    EXPECT_EQ(e.Message, "'1a2' is not a valid integer value");
  }
  for (int k = 1; k <= 19; ++k)
    EXPECT_EQ(form.MainState.ParamValues[k], 50 + k) << k;
  for (int k = 20; k <= ParamCount; ++k)
    EXPECT_EQ(form.MainState.ParamValues[k], before[k]) << k;
  EXPECT_EQ(form.Edit19->text(), fieldBefore);
}
