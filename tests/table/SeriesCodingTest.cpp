// The number series on its own, without Qt: three digits a value in parameter order, and the
// strict reading of a stored series.
#include "table/NumberSeries.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct SeriesRow {
  const char *name;
  int parameter; // this one holds value, every other one base
  int value;
  int base;
  const char *series;
};

class SeriesCodingTest : public testing::TestWithParam<SeriesRow> {};

TEST_P(SeriesCodingTest, ValuesAndSeriesGiveEachOther) {
  const SeriesRow &row = GetParam();
  params::SeriesValues values;
  values.fill(static_cast<uint8_t>(row.base));
  values[static_cast<size_t>(row.parameter - 1)] = static_cast<uint8_t>(row.value);
  EXPECT_EQ(params::NumberSeries(values), row.series);
  EXPECT_EQ(params::NumberSeriesOf([&](int number) { return values[static_cast<size_t>(number - 1)]; }), row.series);
  EXPECT_EQ(params::StrictSeriesValues(row.series), values);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SeriesCodingTest,
    testing::Values(
        SeriesRow{"FirstIs255", 1, 255, 0,
                  "255000000000000000000000000000000000000000000000000"
                  "000000000000000000000000000000000000000000000000000"},
        SeriesRow{"EighteenIs7", 18, 7, 0,
                  "000000000000000000000000000000000000000000000000000"
                  "007000000000000000000000000000000000000000000000000"},
        SeriesRow{"LastIs1OverTwelves", 34, 1, 12,
                  "012012012012012012012012012012012012012012012012012"
                  "012012012012012012012012012012012012012012012012001"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(StrictSeries, RefusesAnythingButThirtyFourGroupsUpTo255) {
  const std::string zeros(102, '0');
  const std::string bad[] = {
      zeros.substr(1),          // 101 digits
      zeros + "0",              // 103
      "256" + zeros.substr(3),  // a group over 255
      zeros.substr(3) + "3 0",  // a blank in the last group
      "-01" + zeros.substr(3),  // a sign
      "",
  };
  for (const std::string &series : bad)
    EXPECT_FALSE(params::StrictSeriesValues(series)) << '"' << series << '"';
  EXPECT_TRUE(params::StrictSeriesValues(zeros));
}

} // namespace
