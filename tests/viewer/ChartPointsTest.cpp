// Samples drawn as steps, and a long session summarised without losing a jump or a peak.
#include "viewer/ChartPoints.h"

#include <gtest/gtest.h>

using namespace viewer;

namespace {

struct StepCase {
  const char *name;
  QList<QPointF> samples;
  QList<QPointF> drawn;
};

class StepTest : public testing::TestWithParam<StepCase> {};

TEST_P(StepTest, HoldsEachValueUntilTheNextPoll) { EXPECT_EQ(StepPoints(GetParam().samples), GetParam().drawn); }

INSTANTIATE_TEST_SUITE_P(
    Steps, StepTest,
    testing::Values(StepCase{"Empty", {}, {}}, StepCase{"One", {{1, 2}}, {{1, 2}}},
                    // FORW jumps at "Pmax": no ramp between the polls 9 s apart.
                    StepCase{"Jump", {{0, 10}, {9, 200}}, {{0, 10}, {9, 10}, {9, 200}}},
                    StepCase{"SameValueNoExtraPoint", {{0, 1}, {1, 1}, {2, 3}}, {{0, 1}, {1, 1}, {2, 1}, {2, 3}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Summary, TwoHoursOfPollsKeepTheirPeakAndJump) {
  QList<QPointF> samples;
  for (int s = 0; s < 7200; ++s)
    samples.append({double(s) * 1000, s == 1234 ? 5.0 : (s < 4000 ? 1.0 : 2.0)});
  const QList<QPointF> drawn = StepPoints(samples, 500);
  EXPECT_LT(drawn.size(), 500 * 8);
  const auto peak = std::find(drawn.begin(), drawn.end(), QPointF(1234000, 5.0));
  EXPECT_NE(peak, drawn.end()) << "the one-second peak is kept";
  EXPECT_NE(std::find(drawn.begin(), drawn.end(), QPointF(4000000, 2.0)), drawn.end()) << "the jump is kept";
  EXPECT_EQ(drawn.front(), samples.front());
  EXPECT_EQ(drawn.back(), samples.back());
  for (qsizetype i = 1; i < drawn.size(); ++i)
    ASSERT_LE(drawn[i - 1].x(), drawn[i].x()) << i;
}

} // namespace
