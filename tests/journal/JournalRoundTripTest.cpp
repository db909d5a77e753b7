// Every operation written through kstune's real routines against the simulated station, then
// read back through the viewer's own reading: each record gives back the values the station
// sent or received. Then the viewer's "Значения на выходе" after steps that followed the last
// "Запись", against the station's memory, and sessions that ended without "Отключиться".
#include "journal/JournalDetail.h"
#include "journal/StationReplay.h"
#include "tests/journal/JournalSessionFixture.h"
#include "viewer/JournalReader.h"
#include "viewer/JournalWindow.h"
#include "viewer/StrictSeries.h"
#include "viewer/TelemetryChart.h"
#include "viewer/VisitModel.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTreeWidget>

#include <fstream>
#include <functional>
#include <thread>

namespace {

// What one operation must give back when read.
struct Expect {
  const char *operation;
  TJournalOutcome outcome = TJournalOutcome::Ok;
  std::optional<int> parameter = std::nullopt;
  std::optional<int> value = std::nullopt;
  std::optional<params::SeriesValues> series = std::nullopt; // the station's values
  QString own = {};                                          // the operation's own words
  std::optional<TDacBytes> dac = std::nullopt;
  std::optional<std::pair<int, int>> reflForw = std::nullopt;
  std::optional<int> missingAnswer = std::nullopt;
  std::optional<int> valuesReceived = std::nullopt;
  int stale = 0;
};

class JournalRoundTripTest : public JournalSessionFixture {
protected:
  std::vector<TJournalRow> ReadBack() {
    EXPECT_TRUE(Journal().WaitWritten(10s));
    viewer::JournalReader reader;
    viewer::JournalSource source;
    source.path = file;
    EXPECT_TRUE(reader.Open(source)) << reader.Error().toStdString();
    QStringList sessions;
    for (const auto &s : reader.LoadSessions())
      sessions << s.session;
    std::vector<TJournalRow> records = reader.RecordsOfSessions(sessions);
    std::stable_sort(records.begin(), records.end(),
                     [](const TJournalRow &a, const TJournalRow &b) { return a.At < b.At || (a.At == b.At && a.Seq < b.Seq); });
    return records;
  }

  params::SeriesValues StationValues() const { return station.ParamValues(); }

  // Stray bytes on the line, arrived before the next command looks for them.
  void Stray(const std::vector<uint8_t> &bytes) {
    station.SendStray(bytes);
    std::this_thread::sleep_for(300ms);
  }

  viewer::JournalWindow &Viewer() {
    viewer_ = std::make_unique<viewer::JournalWindow>();
    viewer::JournalSource source;
    source.path = file;
    EXPECT_TRUE(viewer_->OpenJournal(source)) << viewer_->Message().toStdString();
    viewer_->ShowStationRow(0);
    return *viewer_;
  }

  std::unique_ptr<viewer::JournalWindow> viewer_;
};

using Step = std::pair<const char *, std::function<Expect()>>;

TEST_F(JournalRoundTripTest, EveryOperationReadsBackAsTheStationSawIt) {
  station.SetSerialNumber({0x12, 0x0A, 0xFF});
  station.SetProcessorDate({5, 11, 20, 7});
  station.SetModelIndex(3);
  report = QString::fromStdString((dir.Root() / "r.xls").string());
  std::ofstream(report.toStdString()) << "";
  const std::vector<Step> steps = {
      {"Подключиться", [this] { Click("BitBtn9Click"); return Expect{"connect"}; }},
      {"Считать", [this] { Click("BitBtn13Click"); return Expect{"serial", TJournalOutcome::Ok, {}, {}, {}, "120AFF"}; }},
      {"Чтение", [this] {
         Click("BitBtn2Click");
         return Expect{"read_all", TJournalOutcome::Ok, {}, {}, StationValues(), "3"};
       }},
      {"Параметр +", [this] {
         form->Edit19Enter();
         Click("BitBtn7Click");
         return Expect{"set_value", TJournalOutcome::Ok, 18, StationValues()[17]};
       }},
      {"Enter", [this] {
         form->Edit19->setText(QStringLiteral("42"));
         Key(Qt::Key_Return);
         return Expect{"set_value", TJournalOutcome::Ok, 18, 42};
       }},
      {"Переписать", [this] {
         form->Edit7->setText(QStringLiteral("300"));
         Click("BitBtn11Click");
         return Expect{"set_value", TJournalOutcome::Ok, 18, 44};
       }},
      {"ЦАП", [this] {
         form->CheckBox1->setChecked(true);
         form->Timer1->SetEnabled(false);
         Expect e{"dac"};
         e.dac = station.DacValues();
         return e;
       }},
      {"ЦАП после лишних байт", [this] {
         form->CheckBox1->setChecked(false);
         form->Timer1->SetEnabled(false);
         Stray({0x11, 0x22});
         form->CheckBox1->setChecked(true);
         form->Timer1->SetEnabled(false);
         Expect e{"dac"};
         e.dac = station.DacValues();
         e.stale = 2;
         return e;
       }},
      {"REFL-FORV", [this] {
         form->CheckBox1->setChecked(false);
         form->Timer1->SetEnabled(false);
         Click("BitBtn5Click");
         form->Timer1->SetEnabled(false);
         Expect e{"refl_forw"};
         e.reflForw = std::pair<int, int>{station.Refl(), station.Forw()};
         return e;
       }},
      {"Канал +", [this] {
         Click("BitBtn3Click");
         form->Timer1->SetEnabled(false);
         return Expect{"front_panel", TJournalOutcome::Ok, {}, 90, {}, "Канал +"};
       }},
      {"Запись", [this] {
         Click("BitBtn1Click");
         return Expect{"write_all", TJournalOutcome::Ok, {}, {}, StationValues()};
       }},
      {"Переписать ряд", [this] {
         form->StringGrid1SelectCell(2, 3);
         form->Edit7->setText(QStringLiteral("7"));
         Click("BitBtn15Click");
         form->Timer1->SetEnabled(false);
         return Expect{"overwrite_column", TJournalOutcome::Ok, {}, {}, StationValues()};
       }},
      {"Ok", [this] {
         form->ComboBox1->setCurrentIndex(2);
         Click("BitBtn22Click");
         return Expect{"model", TJournalOutcome::Ok, {}, 2};
       }},
      {"Дата Процессора", [this] {
         Click("Button1Click");
         return Expect{"processor_date", TJournalOutcome::Ok, {}, {}, {}, "Дата: 05.11.2007"};
       }},
      {"Запись отчета", [this] {
         Click("SpeedButton1Click");
         Click("BitBtn24Click");
         return Expect{"report", TJournalOutcome::Ok, {}, {}, {}, report + ", строка 6"};
       }},
      {"Параметр + без ответа на адрес", [this] {
         LetTheStationResync();
         station.StopAnsweringAfter(2);
         Click("BitBtn7Click");
         Expect e{"set_value", TJournalOutcome::LinkLost, 9, 8};
         e.missingAnswer = 3;
         return e;
       }},
      {"Чтение, 20 значений", [this] {
         LetTheStationResync();
         station.CutBlocksTo(20);
         Click("BitBtn2Click");
         Expect e{"read_all", TJournalOutcome::NoRead};
         e.valuesReceived = 20;
         return e;
       }},
      {"Отключиться", [this] {
         LetTheStationResync();
         Click("BitBtn10Click");
         return Expect{"disconnect"};
       }},
  };
  std::vector<Expect> expected;
  for (const auto &[name, act] : steps) {
    SCOPED_TRACE(name);
    expected.push_back(act());
  }
  EXPECT_TRUE(boxes.Errors.empty());

  const std::vector<TJournalRow> records = ReadBack();
  ASSERT_EQ(records.size(), expected.size());
  for (size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(steps[i].first);
    const TJournalRow &r = records[i];
    const Expect &e = expected[i];
    EXPECT_EQ(r.Operation, QLatin1String(e.operation));
    EXPECT_EQ(r.Seq, static_cast<qint64>(i + 1));
    EXPECT_EQ(r.Outcome, e.outcome);
    EXPECT_EQ(r.Parameter, e.parameter);
    EXPECT_EQ(r.Value, e.value);
    EXPECT_EQ(viewer::ValuesFromSeries(r.Series), e.series) << r.Series.toStdString();
    EXPECT_TRUE(r.At.isValid());
    const TJournalDetail detail = JournalDetailOf(r.Detail);
    if (!e.dac && !e.reflForw) {
      EXPECT_EQ(detail.Own, e.own);
    }
    EXPECT_EQ(detail.MissingAnswer, e.missingAnswer);
    EXPECT_EQ(detail.ValuesReceived, e.valuesReceived);
    EXPECT_EQ(detail.StaleBytes, e.stale);
    // The viewer's chart reads the telemetry from the same detail.
    if (e.dac) {
      EXPECT_EQ(viewer::DacBytes(r.Detail), e.dac) << r.Detail.toStdString();
    }
    if (e.reflForw) {
      EXPECT_EQ(viewer::ReflForw(r.Detail), e.reflForw) << r.Detail.toStdString();
    }
    // The serial number is in every record once it was read.
    EXPECT_EQ(r.Serial, i >= 1 ? QStringLiteral("120AFF") : QString());
  }
  const viewer::TelemetryData chart = viewer::TelemetryOf(records);
  EXPECT_EQ(chart.dac[0].size(), 2);
  EXPECT_EQ(chart.refl.size(), 1);

  // The model of the visit: the index the station stores, as "Ok" left it.
  const TReplayedStation state = ReplayStation(records);
  EXPECT_EQ(state.StoredModelIndex, static_cast<int>(station.ModelIndex()));
  EXPECT_TRUE(viewer::VisitModelText(records).startsWith("KS43 (\"KS - 43  10250кГц\", индекс 2 в станции)"))
      << viewer::VisitModelText(records).toStdString();
}

// The done-when of the journal: steps after the last "Запись" are in what the viewer copies.
TEST_F(JournalRoundTripTest, ValuesOnLeavingAreTheStationsMemory) {
  station.SetSerialNumber({0x00, 0xA3, 0xF1});
  Click("BitBtn9Click");
  ASSERT_TRUE(Connected());
  Click("BitBtn13Click");
  Click("BitBtn2Click");
  form->Edit19Enter(); // DEV
  form->Edit19->setText(QStringLiteral("120"));
  Click("BitBtn1Click"); // "Запись"
  Click("BitBtn7Click"); // DEV + 1
  Click("BitBtn7Click"); // DEV + 1
  form->Edit1Enter();   // CORF
  form->Edit1->setText(QStringLiteral("33"));
  Key(Qt::Key_Return);
  form->StringGrid1SelectCell(1, 2);
  form->Edit7->setText(QStringLiteral("201"));
  Click("BitBtn11Click");
  form->Timer1->SetEnabled(false);
  Click("BitBtn10Click");
  ASSERT_TRUE(boxes.Messages.empty());
  const auto memory = station.ParamValues();
  ASSERT_EQ(memory[17], 122);

  viewer::JournalWindow &window = Viewer();
  QApplication::clipboard()->setText(QStringLiteral("before"));
  window.ShowLeftWith();
  const QString said = window.Message();
  window.CopySeries();
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), params::NumberSeries(memory));
  EXPECT_TRUE(said.contains("установленные после нее значения (4)")) << said.toStdString();
  EXPECT_FALSE(said.contains("Под вопросом")) << said.toStdString();
}

struct EndingCase {
  const char *name;
  std::optional<TSessionEnd> how; // none: the process died with the session open
  QString detail;
  bool interrupted;
};

class SessionEndingTest : public JournalRoundTripTest, public testing::WithParamInterface<EndingCase> {};

TEST_P(SessionEndingTest, TheViewerSaysHowTheSessionEnded) {
  station.SetSerialNumber({0x00, 0xA3, 0xF2});
  Click("BitBtn9Click");
  ASSERT_TRUE(Connected());
  Click("BitBtn13Click");
  Click("BitBtn1Click");
  form->Edit19Enter();
  Click("BitBtn7Click");
  form->Timer1->SetEnabled(false);
  const size_t received = station.Received().size();
  if (GetParam().how)
    Journal().SessionEnded(*GetParam().how);
  ASSERT_TRUE(Journal().WaitWritten(10s));
  // Ending the session in the journal sends nothing to the station.
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(station.Received().size(), received);

  const std::vector<TJournalRow> records = ReadBack();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back().Operation == QLatin1String("disconnect"), GetParam().how.has_value());
  if (GetParam().how) {
    EXPECT_EQ(records.back().Detail, GetParam().detail);
  }

  viewer::JournalWindow &window = Viewer();
  auto *history = window.findChild<QTreeWidget *>(QStringLiteral("History"));
  ASSERT_EQ(history->topLevelItemCount(), 1);
  EXPECT_EQ(history->topLevelItem(0)->text(0).contains("прерван"), GetParam().interrupted)
      << history->topLevelItem(0)->text(0).toStdString();
  window.ShowLeftWith();
  EXPECT_EQ(window.Message().contains("Последний сеанс прерван"), GetParam().interrupted)
      << window.Message().toStdString();
  // A second ending of the same session adds nothing.
  if (GetParam().how) {
    Journal().SessionEnded(TSessionEnd::WindowClosed);
    EXPECT_EQ(ReadBack().size(), records.size());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Endings, SessionEndingTest,
    testing::Values(EndingCase{"WindowClosed", TSessionEnd::WindowClosed, "окно kstune закрыто при подключенной станции", false},
                    EndingCase{"Sigterm", TSessionEnd::Sigterm, "kstune остановлен сигналом SIGTERM", false},
                    EndingCase{"Sighup", TSessionEnd::Sighup, "kstune остановлен сигналом SIGHUP", false},
                    EndingCase{"Killed", std::nullopt, {}, true}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
