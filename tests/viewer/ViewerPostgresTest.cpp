// The viewer over a factory journal on a PostgreSQL server of the test's own: the station list,
// a history with its chart, following by a short poll, and a server that refuses the user.
#include "tests/journal/PostgresServer.h"
#include "tests/viewer/TestJournal.h"
#include "viewer/JournalWindow.h"

#include <QAbstractItemModel>
#include <QTableView>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace viewer;

namespace {

const std::string Columns =
    "CREATE TABLE journal (id text PRIMARY KEY, at timestamptz NOT NULL, seq integer NOT NULL, session text NOT NULL, "
    "bench text NOT NULL, operator text NOT NULL, port text, model text, serial text, operation text NOT NULL, "
    "parameter integer, value integer, series text, outcome text NOT NULL, detail text)";

std::string Record(const std::string &id, const std::string &at, int seq, const std::string &serial,
                   const std::string &operation, const std::string &series, const std::string &detail) {
  auto text = [](const std::string &s) { return s.empty() ? std::string("NULL") : "'" + s + "'"; };
  return "('" + id + "', " + at + ", " + std::to_string(seq) + ", 'S', 'bench-1', 'ivanov', 'COM2', 'KS43', " +
         text(serial) + ", '" + operation + "', NULL, NULL, " + text(series) + ", 'ok', " + text(detail) + ")";
}

TEST(ViewerPostgres, StationsHistoryFollowAndRefusal) {
  ViewerTestApp();
  TPostgresServer server;
  server.Psql(Columns);
  server.Psql("INSERT INTO journal VALUES " + Record("1", "'2026-12-05T10:00:00.000Z'", 1, "", "connect", "", "") + ", " +
              Record("2", "'2026-12-05T10:00:01.000Z'", 2, "00A3F1", "serial", "", "00A3F1") + ", " +
              Record("3", "'2026-12-05T10:00:02.000Z'", 3, "00A3F1", "dac", "", "33 80 00 FF 0A 01 02 03") + ", " +
              Record("4", "'2026-12-05T10:00:03.000Z'", 4, "00A3F1", "read_all", std::string(102, '1'), "1"));
  JournalWindow window;
  JournalSource source;
  source.server = true;
  source.uri = QString::fromStdString(server.Uri("admin"));
  ASSERT_TRUE(window.OpenJournal(source)) << window.Message().toStdString();
  auto *model = window.findChild<QTableView *>("Stations")->model();
  ASSERT_EQ(model->rowCount(), 1);
  EXPECT_EQ(model->index(0, 0).data().toString(), "00A3F1");
  EXPECT_EQ(model->index(0, 1).data().toString(), "KS43");
  window.ShowStationRow(0);
  ASSERT_EQ(window.History().size(), 4u);
  // A table without the server's own columns cannot say who sent a record: no such column.
  EXPECT_TRUE(window.findChild<QTreeWidget *>("History")->isColumnHidden(6));
  EXPECT_EQ(window.ReceiptText("4"), "");
  EXPECT_EQ(window.History()[3].Series, QString(102, '1'));
  ASSERT_EQ(window.Telemetry().dac[0].size(), 1);
  EXPECT_DOUBLE_EQ(window.Telemetry().dac[0][0].y(), 1.0); // 0x33 = 51 is 1.00 V

  // Nothing new is nothing new, also for the rows near the newest time.
  window.PollJournal();
  EXPECT_EQ(window.History().size(), 4u);
  server.Psql("INSERT INTO journal VALUES " + Record("5", "now()", 5, "00A3F1", "disconnect", "", ""));
  window.PollJournal();
  EXPECT_EQ(window.History().size(), 5u);
  window.PollJournal();
  EXPECT_EQ(window.History().size(), 5u);

  source.uri = QString::fromStdString(server.Uri("stranger"));
  EXPECT_FALSE(window.OpenJournal(source));
  EXPECT_TRUE(window.Message().contains("отказал в подключении")) << window.Message().toStdString();
}

// The factory table as the server keeps it: who inserted each row and when the server had it,
// filled by the server's defaults alone.
const std::string ColumnsWithReceipts =
    Columns.substr(0, Columns.size() - 1) +
    ", received_by text NOT NULL DEFAULT current_user, received_at timestamptz NOT NULL DEFAULT now())";

TEST(ViewerPostgres, ReceiptsShownAndFollowedInTheServersOrder) {
  ViewerTestApp();
  TPostgresServer server;
  server.Psql(ColumnsWithReceipts);
  server.Psql("CREATE ROLE bench07 LOGIN PASSWORD 'pw07'; GRANT INSERT, SELECT ON journal TO bench07");
  server.Psql("INSERT INTO journal VALUES " + Record("1", "now()", 1, "", "connect", "", "") + ", " +
              Record("2", "now()", 2, "00A3F1", "serial", "", "00A3F1"));
  JournalWindow window;
  JournalSource source;
  source.server = true;
  source.uri = QString::fromStdString(server.Uri("admin"));
  ASSERT_TRUE(window.OpenJournal(source)) << window.Message().toStdString();
  // The server's own columns are no newer kstune's.
  EXPECT_FALSE(window.Message().contains("более новой")) << window.Message().toStdString();
  window.ShowStationRow(0);
  ASSERT_EQ(window.History().size(), 2u);
  auto *history = window.findChild<QTreeWidget *>("History");
  EXPECT_FALSE(history->isColumnHidden(6));
  EXPECT_EQ(history->headerItem()->text(6), "Получено сервером");
  EXPECT_TRUE(window.ReceiptText("2").startsWith("admin, ")) << window.ReceiptText("2").toStdString();

  // A bench whose clock is two minutes behind: its record is new to the server all the same.
  const auto sent = server.PsqlAs("bench07", "pw07",
                                  {"-c", "INSERT INTO journal VALUES " +
                                             Record("3", "now() - interval '2 minutes'", 3, "00A3F1", "set_value", "", "")});
  ASSERT_TRUE(sent.Ok) << sent.Err;
  window.PollJournal();
  ASSERT_EQ(window.History().size(), 3u);
  EXPECT_EQ(window.History()[2].Id, "3");
  EXPECT_TRUE(window.ReceiptText("3").startsWith("bench07, ")) << window.ReceiptText("3").toStdString();
  const QTreeWidgetItem *session = history->topLevelItem(0);
  EXPECT_EQ(session->child(session->childCount() - 1)->text(6), window.ReceiptText("3"));
  window.PollJournal();
  EXPECT_EQ(window.History().size(), 3u);
  // A transaction that began before the newest row seen and committed after it: its row is older
  // than the newest, and still shown, once.
  server.Psql("BEGIN; INSERT INTO journal VALUES " + Record("4", "now()", 4, "00A3F1", "dac", "", "33 80 00 FF 0A 01 02 03") +
              "; UPDATE journal SET received_at = now() - interval '30 seconds' WHERE id = '4'; COMMIT");
  window.PollJournal();
  ASSERT_EQ(window.History().size(), 4u);
  EXPECT_EQ(window.History()[3].Id, "4");
  window.PollJournal();
  EXPECT_EQ(window.History().size(), 4u);
}

} // namespace
