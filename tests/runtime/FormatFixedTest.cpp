// "%3.2f" with the user's decimal separator, as the voltage display shows it.
#include "runtime/FormatFixed.h"
#include "tests/support/UnderLocale.h"

#include <gtest/gtest.h>

TEST(FormatFixed, FollowsTheDecimalSeparatorOfTheLocale) {
  const std::pair<const char *, const char *> locales[] = {{"C", "."}, {"ru_RU.UTF-8", ","}};
  for (const auto &[locale, separator] : locales)
    EXPECT_TRUE(PassesUnderLocale("FormatFixed.DISABLED_InLocale", locale, separator)) << locale;
}

TEST(FormatFixed, DISABLED_InLocale) {
  EXPECTED_SEPARATOR_OR_SKIP(sep);
  struct Row {
    double value;
    int width, decimals;
    std::string text; // '.' stands for the separator
  };
  // The volts of DAC bytes 0, 255, 128, 51, 1 and 254, then other values.
  const Row rows[] = {
      {0.0, 3, 2, "0.00"},  {5.0, 3, 2, "5.00"},           {2.5098039216, 3, 2, "2.51"},
      {1.0, 3, 2, "1.00"},  {0.0196078431, 3, 2, "0.02"}, {4.9803921569, 3, 2, "4.98"},
      {1.5, 7, 2, "   1.50"},         {12.345, 3, 1, "12.3"},          {7, 3, 0, "  7"},
      {-0.5, 6, 2, " -0.50"},
  };
  for (const auto &row : rows) {
    std::string expected = row.text;
    if (const auto point = expected.find('.'); point != std::string::npos)
      expected.replace(point, 1, sep);
    EXPECT_EQ(FormatFixed(row.value, row.width, row.decimals), expected) << row.text;
  }
}
