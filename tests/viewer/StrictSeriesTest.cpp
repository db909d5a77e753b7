// The number series both ways, the DAC bytes of a telemetry record and their volts.
#include "viewer/StrictSeries.h"
#include "viewer/TelemetryChart.h"

#include <gtest/gtest.h>

using namespace viewer;

namespace {

// Parameters 1..12 = 100..111, 13..17 = 0, then the design values of 18..34.
const char *const DesignSeries = "100101102103104105106107108109110111"
                                 "000000000000000"
                                 "083"
                                 "120120200188193055025155044171087203121244065055";

struct SeriesCase {
  const char *name;
  QString series;
  bool sound;
};

class SeriesTest : public testing::TestWithParam<SeriesCase> {};

TEST_P(SeriesTest, ReadsBackOnlySoundSeries) {
  const auto values = ValuesFromSeries(GetParam().series);
  ASSERT_EQ(values.has_value(), GetParam().sound);
  if (values) {
    EXPECT_EQ(SeriesFromValues(*values), GetParam().series);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Series, SeriesTest,
    testing::Values(SeriesCase{"AllZero", QString(102, QLatin1Char('0')), true},
                    SeriesCase{"Design", QString::fromLatin1(DesignSeries), true},
                    SeriesCase{"Short101", QString(101, QLatin1Char('0')), false},
                    SeriesCase{"Long103", QString(103, QLatin1Char('0')), false},
                    SeriesCase{"GroupOver255", QStringLiteral("300") + QString(99, QLatin1Char('0')), false},
                    SeriesCase{"NotDigits", QStringLiteral("12a") + QString(99, QLatin1Char('0')), false},
                    SeriesCase{"Blank", QStringLiteral(" 12") + QString(99, QLatin1Char('0')), false},
                    SeriesCase{"Empty", QString(), false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Series, GroupsFollowParameterNumbers) {
  const auto values = ValuesFromSeries(QString::fromLatin1(DesignSeries));
  ASSERT_TRUE(values);
  const std::vector<std::pair<int, int>> expected{{1, 100}, {12, 111}, {13, 0}, {17, 0}, {18, 83},
                                                  {19, 120}, {25, 25}, {32, 244}, {34, 55}};
  for (auto [parameter, value] : expected)
    EXPECT_EQ((*values)[static_cast<size_t>(parameter - 1)], value) << "parameter " << parameter;
}

TEST(Series, Parameter18At7GivesDigits007AfterTheFirst51) {
  Values values{};
  values[17] = 7;
  EXPECT_EQ(SeriesFromValues(values).mid(51, 3), QStringLiteral("007"));
}

struct DacCase {
  const char *name;
  QString detail;
  std::optional<std::array<uint8_t, 8>> bytes;
};

class DacTest : public testing::TestWithParam<DacCase> {};

TEST_P(DacTest, ReadsTheEightBytes) { EXPECT_EQ(DacBytes(GetParam().detail), GetParam().bytes); }

INSTANTIATE_TEST_SUITE_P(
    Dac, DacTest,
    testing::Values(DacCase{"Spaced", QStringLiteral("33 80 00 FF 0a 01 02 03"), std::array<uint8_t, 8>{0x33, 0x80, 0, 0xFF, 0x0A, 1, 2, 3}},
                    DacCase{"Joined", QStringLiteral("338000FF0A010203"), std::array<uint8_t, 8>{0x33, 0x80, 0, 0xFF, 0x0A, 1, 2, 3}},
                    DacCase{"Seven", QStringLiteral("33 80 00 FF 0A 01 02"), std::nullopt},
                    DacCase{"ThreeDigits", QStringLiteral("333 80 00 FF 0A 01 02 03"), std::nullopt},
                    DacCase{"Empty", QString(), std::nullopt}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Dac, VoltsAreFullScaleAt255) {
  // 0 and 255 are 0.00 and 5.00 V, 128 shows as 2.51 V, 51 as 1.00 V.
  const std::vector<std::pair<int, double>> rows{{0, 0.0}, {255, 5.0}, {128, 2.5098}, {51, 1.0}};
  for (auto [byte, volts] : rows)
    EXPECT_NEAR(DacVolts(byte), volts, 0.0001) << byte;
}

TEST(ReflForwText, ReadsBothReadings) {
  EXPECT_EQ(ReflForw(QStringLiteral("REFL=12 FORW=200")), (std::pair<int, int>{12, 200}));
  EXPECT_EQ(ReflForw(QStringLiteral("REFL= 3     FORW= 40")), (std::pair<int, int>{3, 40}));
  EXPECT_FALSE(ReflForw(QStringLiteral("REFL=12")));
}

} // namespace
