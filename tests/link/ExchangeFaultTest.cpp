// Every exchange of the table against a station that falls silent after any byte, or cuts its
// block reply at any length.
#include "tests/link/ExchangeTable.h"

using SilentAtByte = FaultAtByte;

TEST_P(SilentAtByte, LeavesWhatTheStopLeavesAndTheNextUseWorks) {
  const std::size_t k = GetParam().K, n = Row().Bytes.size();
  Row().Prepare(*this);
  station.ClearReceived();
  station.StopAnsweringAfter(k);
  Row().Start(*this);
  EXPECT_TRUE(station.WaitReceived(k + 1, 2s));
  EXPECT_TRUE(Prefix(k + 1, Row().Bytes)) << "nothing is sent after the first missing answer";
  ExpectLoss(k);
  // Each recovery costs the station's second of forgetting: the ends and the short rows.
  if (k == 0 || k + 1 == n || n <= 6)
    ExpectNextUseWorks(Row().ReconnectAfterLoss || Row().Loss[k] == TLossReport::NoLinkLine);
}
INSTANTIATE_TEST_SUITE_P(Table, SilentAtByte, ::testing::ValuesIn(EveryByte()), CaseName);

using BlockCutTo = FaultAtByte;

TEST_P(BlockCutTo, ReportsTheCutAndKeepsWhatArrived) {
  const std::size_t length = GetParam().K;
  Row().Prepare(*this);
  const Values before = Stored();
  station.ClearReceived();
  station.CutBlocksTo(length);
  Row().Start(*this);
  EXPECT_EQ(station.Received(), std::vector<uint8_t>{Row().Bytes[0]});
  ExpectLoss(0);
  if (Row().Bytes[0] == 70) { // values land as they arrive, the rest stay
    Values expected = before;
    std::copy_n(Pattern(11).begin(), length, expected.begin());
    EXPECT_EQ(Stored(), expected);
  }
  if (length == 0 || length + 1 == Row().Block)
    ExpectNextUseWorks(Row().ReconnectAfterLoss || Row().Loss[0] == TLossReport::NoLinkLine);
}
INSTANTIATE_TEST_SUITE_P(Table, BlockCutTo, ::testing::ValuesIn(EveryBlockLength()), CaseName);
