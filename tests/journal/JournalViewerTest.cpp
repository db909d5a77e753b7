// A session scripted through kstune's window against the simulated station, read back by the
// viewer's own window from the file the journal wrote: the station appears by the serial read,
// its history is in order, and a "Запись" shows the values the station received.
#include "tests/journal/JournalSessionFixture.h"
#include "viewer/JournalWindow.h"

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QTableView>
#include <QTableWidget>

namespace {

using JournalViewerTest = JournalSessionFixture;

TEST_F(JournalViewerTest, TheViewerShowsTheSessionTheWindowWrote) {
  station.SetSerialNumber({0x00, 0xA3, 0xF1});
  Click("BitBtn9Click");
  ASSERT_TRUE(Connected());
  Click("BitBtn13Click"); // "Считать"
  form->Edit19Enter();    // DEV, parameter 18
  form->Edit19->setText(QStringLiteral("42"));
  Key(Qt::Key_Return);
  Click("BitBtn1Click"); // "Запись"
  Click("BitBtn10Click");
  ASSERT_TRUE(boxes.Messages.empty());
  ASSERT_TRUE(Journal().WaitWritten(10s));
  const auto written = station.ParamValues();
  ASSERT_EQ(written[17], 42);

  viewer::JournalWindow window;
  viewer::JournalSource source;
  source.path = file;
  ASSERT_TRUE(window.OpenJournal(source)) << window.Message().toStdString();

  auto *stations = window.findChild<QTableView *>(QStringLiteral("Stations"));
  ASSERT_NE(stations, nullptr);
  ASSERT_EQ(stations->model()->rowCount(), 1);
  EXPECT_EQ(stations->model()->index(0, 0).data().toString(), QStringLiteral("00A3F1"));
  window.ShowStationRow(0);

  QStringList history;
  for (const TJournalRow &r : window.History())
    history << QString::number(r.Seq) + QLatin1Char(' ') + r.Operation;
  ASSERT_EQ(history.join(QStringLiteral(", ")).toStdString(),
            "1 connect, 2 serial, 3 set_value, 4 write_all, 5 disconnect");

  window.ChooseRecords({3});
  auto *values = window.findChild<QTableWidget *>(QStringLiteral("Values"));
  ASSERT_NE(values, nullptr);
  ASSERT_EQ(values->rowCount(), 34);
  for (int row = 0; row < 34; ++row) {
    EXPECT_EQ(values->item(row, 0)->text(), QString::number(row + 1));
    EXPECT_EQ(values->item(row, 3)->text(), QString::number(written[static_cast<size_t>(row)])) << "parameter " << row + 1;
  }
}

} // namespace
