// A record's series copied by the journal viewer and typed into the number-series field: "Обновить"
// puts the record's 34 values back into the working values and the window.
#include "tests/records/RecordsFixture.h"
#include "tests/table/SeriesRows.h"
#include "tests/viewer/TestJournal.h"
#include "viewer/JournalWindow.h"

#include <QClipboard>

namespace {

struct CopiedSeries {
  const char *name;
  int base; // every parameter but the changed ones
  std::vector<std::pair<int, int>> changes;
};

void PrintTo(const CopiedSeries &row, std::ostream *os) { *os << row.name; }

class ViewerSeriesTest : public RecordsTest, public testing::WithParamInterface<CopiedSeries> {};

TEST_P(ViewerSeriesTest, UpdatePutsTheRecordsValuesBack) {
  const CopiedSeries &row = GetParam();
  Values expected;
  expected.fill(static_cast<uint8_t>(row.base));
  for (auto [parameter, value] : row.changes)
    expected[static_cast<size_t>(parameter - 1)] = static_cast<uint8_t>(value);

  TestJournal journal;
  std::vector<Row> rows{
      {"2026-12-05T10:00:00.000Z", 1, "S", "bench-1", "ivanov", "KS43", "", "connect"},
      {"2026-12-05T10:00:01.000Z", 2, "S", "bench-1", "ivanov", "KS43", "00A3F1", "serial"},
      {"2026-12-05T10:00:02.000Z", 3, "S", "bench-1", "ivanov", "KS43", "00A3F1", "write_all"},
      {"2026-12-05T10:00:03.000Z", 4, "S", "bench-1", "ivanov", "KS43", "00A3F1", "disconnect"}};
  rows[1].detail = "00A3F1";
  rows[2].series = QString::fromStdString(SeriesText(row.base, row.changes));
  journal.Append(rows);

  viewer::JournalWindow viewer;
  viewer::JournalSource source;
  source.path = journal.Path();
  ASSERT_TRUE(viewer.OpenJournal(source)) << viewer.Message().toStdString();
  viewer.ShowStationRow(0);
  ASSERT_EQ(viewer.History().size(), 4u);
  viewer.ChooseRecords({2});
  QApplication::clipboard()->clear();
  viewer.CopySeries();
  const QString copied = QApplication::clipboard()->text();
  ASSERT_EQ(copied, rows[2].series);

  Connect();
  form->Edit20->setText(copied);
  Click("BitBtn23Click"); // "Обновить"
  EXPECT_TRUE(boxes.Messages.empty());
  EXPECT_EQ(Stored(), expected);
  Values shown = expected;
  std::fill(shown.begin() + 12, shown.begin() + 17, 0); // 13..17 are shown nowhere
  EXPECT_EQ(ShownValues(), shown);
  EXPECT_TRUE(station.Received().empty()); // nothing is sent until a write
}

INSTANTIATE_TEST_SUITE_P(
    Series, ViewerSeriesTest,
    testing::Values(CopiedSeries{"AllZero", 0, {}}, CopiedSeries{"All255", 255, {}},
                    CopiedSeries{"EighteenIs7", 100, {{18, 7}}},
                    CopiedSeries{"EveryPlace", 128, {{1, 0}, {12, 9}, {13, 255}, {17, 1}, {18, 83}, {19, 10}, {34, 255}}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
