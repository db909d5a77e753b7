#pragma once
// The viewer's window: the station list with its filters on the left, the chosen station's
// history, its values and the session's telemetry chart on the right.
#include "journal/StationReplay.h"
#include "viewer/JournalReader.h"
#include "viewer/StrictSeries.h"
#include "viewer/StationIndex.h"
#include "viewer/TelemetryChart.h"

#include <QMainWindow>
#include <QTimer>

#include <memory>

class QChartView;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace Ui {
class JournalWindow;
}

namespace viewer {

class StationsModel;
class TelemetryView;

class JournalWindow : public QMainWindow {
public:
  explicit JournalWindow(QWidget *parent = nullptr);
  ~JournalWindow() override;

  // Opens a journal and shows its stations; false when it cannot be read (the message is shown).
  bool OpenJournal(const JournalSource &source);
  // The text of the message line above the list: errors, warnings, what was done.
  QString Message() const;

  // Shows a station of the list by its row; the history, values and chart follow.
  void ShowStationRow(int row);
  // Chooses records of the shown history by their position in it (history order).
  void ChooseRecords(const std::vector<int> &positions);
  const std::vector<TJournalRow> &History() const { return records_; }
  const TelemetryData &Telemetry() const { return telemetry_; }
  // Who sent a shown record and when the factory server had it; empty where the journal does not say.
  QString ReceiptText(const QString &id) const;

  void ShowLeftWith();
  void CopySeries();
  // "Что изменилось": the chosen visit's values on exit against the station's previous visit's,
  // with the model's presets beside them when the options file gives them.
  void CompareVisits();
  bool SaveCsv(const QString &path);
  bool SavePdf(const QString &path);
  // "Экспорт списка…": the visits the list and its filter show, as .xlsx or .csv.
  bool SaveVisitList(const QString &path);
  // One look for new records, as Follow does twice a second.
  void PollJournal();

private:
  void BuildUi();
  StationFilter CurrentFilter() const;
  void ApplyFilter();
  void ShowStation(int station);
  void FillHistory();
  // Items for records_[from…], after those already shown.
  void AddHistoryItems(size_t from);
  void ShowChangedOnly();
  void UnfoldTelemetry(QTreeWidgetItem *group);
  void ResetCompare();
  // Records of the shown station that came while following.
  void AppendRecords(std::vector<TJournalRow> records);
  void HistorySelectionChanged();
  void ShowSessionChart(const QString &session);
  void DrawChart(const QString &title);
  void ShowValues(const std::vector<int> &chosen);
  void FillValueTable(const Values &first, const std::optional<Values> &second, const std::array<bool, 34> *uncertain,
                      const QString &firstHeader, const QString &secondHeader);
  QString LeftWithSummary(const TReplayedStation &state) const;
  void Say(const QString &text, bool problem = false);
  void SetFollow(bool on);
  std::vector<int> ChosenRecords() const;

  std::unique_ptr<Ui::JournalWindow> ui_; // the layout, resources/JournalWindow.ui
  JournalReader store_;
  StationIndex index_;
  StationsModel *stationsModel_ = nullptr;
  int station_ = -1;
  bool messageAboutStation_ = false; // the message line speaks of station_
  bool followLost_ = false;          // following, and the journal stopped answering
  QString stationSerial_;
  QStringList stationSessions_;
  std::vector<TJournalRow> records_;
  ServerReceipts receipts_; // of records_, on a factory server
  std::vector<QTreeWidgetItem *> recordItems_;
  QString chartSession_;
  TelemetryData telemetry_;
  // The values the values tab shows, which "Копировать числовой ряд" copies; or why none.
  std::optional<Values> shownValues_;
  QString shownCaption_;
  QString shownProblem_;
  QTimer followTimer_;
  QTimer chartTimer_; // the chart's redraw while following

  QLabel *message_ = nullptr;
  QLineEdit *serialFilter_ = nullptr;
  QComboBox *modelFilter_ = nullptr;
  QLineEdit *benchFilter_ = nullptr;
  QLineEdit *operatorFilter_ = nullptr;
  QCheckBox *period_ = nullptr;
  QDateEdit *from_ = nullptr;
  QDateEdit *to_ = nullptr;
  QTableView *stations_ = nullptr;
  QLabel *stationTitle_ = nullptr;
  QTreeWidget *history_ = nullptr;
  QTableWidget *values_ = nullptr;
  QLabel *valuesTitle_ = nullptr;
  TelemetryView *chart_ = nullptr;
  QPushButton *leftWith_ = nullptr;
  QPushButton *copySeries_ = nullptr;
  QCheckBox *follow_ = nullptr;
};

} // namespace viewer
