// The number series both ways, the DAC bytes of a telemetry record and their volts.
#include "tests/table/SeriesRows.h"
#include "viewer/StrictSeries.h"
#include "viewer/TelemetryChart.h"

#include <gtest/gtest.h>

using namespace viewer;

namespace {

// The viewer reads and copies exactly the rows of the series alone.
class SeriesTest : public testing::TestWithParam<SeriesRow> {};

TEST_P(SeriesTest, ReadsBackOnlySoundSeries) {
  const SeriesRow &row = GetParam();
  const QString series = QString::fromLatin1(row.series.data(), qsizetype(row.series.size()));
  EXPECT_EQ(ValuesFromSeries(series), row.Values());
  if (const auto values = row.Values()) {
    EXPECT_EQ(SeriesFromValues(*values), series);
  }
}

INSTANTIATE_TEST_SUITE_P(Series, SeriesTest, testing::ValuesIn(SeriesRows()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Series, ALetterBeyondLatin1IsNoDigit) {
  EXPECT_FALSE(ValuesFromSeries(QStringLiteral("1я2") + QString(99, QLatin1Char('0'))));
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
