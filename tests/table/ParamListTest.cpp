// The parameter table on its own, as the programs that only name the tuning values see it: no
// window, no Qt. Every expectation comes from the rows copied by hand in ParamPlaces.h.
#include "table/ParamList.h"
#include "tests/table/ParamPlaces.h"

#include <gtest/gtest.h>

namespace {

bool IsCell(const Place &p) { return p.label == nullptr; }
int CellColumn(const Place &p) { return p.control[0] - '0'; }
int CellRow(const Place &p) { return p.control[2] - '0'; }

} // namespace

TEST(ParamList, EveryShownValueHasTheKeyFieldAndDesignValueOfItsRow) {
  for (const Place &place : Places) {
    const auto p = params::ParamByNumber(place.number);
    ASSERT_TRUE(p) << place.number;
    EXPECT_EQ(p->number, place.number);
    EXPECT_EQ(p->key, std::string_view(place.key)) << place.number;
    EXPECT_EQ(p->designValue, place.design) << place.number;
    if (IsCell(place)) {
      EXPECT_EQ(p->field, "") << place.number;
      EXPECT_EQ(p->column, CellColumn(place)) << place.number;
      EXPECT_EQ(p->row, CellRow(place)) << place.number;
    } else {
      EXPECT_EQ(p->field, std::string_view(place.control)) << place.number;
      EXPECT_EQ(p->column, 0) << place.number;
      EXPECT_EQ(p->row, 0) << place.number;
    }
    // Only DEV has a value of its own before its field is read.
    EXPECT_EQ(p->fixedValue, place.number == 18 ? 83 : -1) << place.number;
  }
}

TEST(ParamList, TheFiveHiddenValuesHaveNoKeyNoPlaceAndAFixedZero) {
  for (int n = 13; n <= 17; ++n) {
    const auto p = params::ParamByNumber(n);
    ASSERT_TRUE(p) << n;
    EXPECT_EQ(p->key, "") << n;
    EXPECT_EQ(p->field, "") << n;
    EXPECT_EQ(p->column, 0) << n;
    EXPECT_EQ(p->presetOrder, 0) << n;
    EXPECT_EQ(p->fixedValue, 0) << n;
  }
}

TEST(ParamList, NumbersOutsideOneTo34HaveNoEntry) {
  for (int n : {-1, 0, 35, 256})
    EXPECT_FALSE(params::ParamByNumber(n)) << n;
  EXPECT_EQ(params::ParamCount, 34);
}

TEST(ParamList, EachValueCellShowsItsParameterAndHeadersShowNone) {
  EXPECT_EQ(params::GridColumns, 3);
  EXPECT_EQ(params::GridRows, 7);
  for (int column = -1; column <= 3; ++column)
    for (int row = -1; row <= 7; ++row) {
      int expected = 0;
      for (const Place &place : Places)
        if (IsCell(place) && CellColumn(place) == column && CellRow(place) == row)
          expected = place.number;
      EXPECT_EQ(params::ParamOfCell(column, row), expected) << column << "," << row;
    }
  for (int n : {0, 13, 17, 18, 34, 35}) {
    int column = -7, row = -7;
    EXPECT_FALSE(params::CellOfParam(n, column, row)) << n;
    EXPECT_EQ(column, -7) << n;
    EXPECT_EQ(row, -7) << n;
  }
}

TEST(ParamList, PresetsAreReadInTheirOwnOrder) {
  int order = 0;
  for (const char *key : PresetKeysInReadOrder) {
    ++order;
    const int number = params::ParamOfPresetOrder(order);
    ASSERT_NE(number, 0) << key;
    EXPECT_EQ(params::ParamByNumber(number)->key, std::string_view(key)) << order;
  }
  EXPECT_EQ(order, params::PresetCount);
  EXPECT_EQ(params::ParamOfPresetOrder(0), 0);
  EXPECT_EQ(params::ParamOfPresetOrder(30), 0);
}
