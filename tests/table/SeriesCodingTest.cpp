// The number series on its own, without Qt: three digits a value in parameter order, and the
// strict reading of a stored series.
#include "tests/table/SeriesRows.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class SeriesCodingTest : public testing::TestWithParam<SeriesRow> {};

TEST_P(SeriesCodingTest, SoundSeriesAndValuesGiveEachOtherAndNothingElseIsRead) {
  const SeriesRow &row = GetParam();
  const auto values = row.Values();
  EXPECT_EQ(params::StrictSeriesValues(row.series), values) << '"' << row.series << '"';
  if (values) {
    EXPECT_EQ(params::NumberSeries(*values), row.series);
    EXPECT_EQ(params::NumberSeriesOf([&](int number) { return (*values)[static_cast<size_t>(number - 1)]; }),
              row.series);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, SeriesCodingTest, testing::ValuesIn(SeriesRows()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ValueGroup, IsThreeDigitsWithLeadingZeros) {
  const std::pair<int, const char *> rows[] = {{0, "000"}, {7, "007"}, {42, "042"}, {255, "255"}};
  for (auto [value, group] : rows)
    EXPECT_EQ(params::ValueGroup(static_cast<uint8_t>(value)), group) << value;
}

} // namespace
