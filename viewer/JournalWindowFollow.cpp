// The viewer window following a journal that grows: new records added to what is shown.
#include "viewer/JournalWindow.h"
#include "viewer/JournalWindowRoles.h"

#include "ui_JournalWindow.h"

#include "viewer/Export.h"
#include "viewer/ModelPresetValues.h"
#include "viewer/RecordValues.h"
#include "viewer/StationsModel.h"
#include "viewer/TelemetryView.h"
#include "viewer/VisitList.h"
#include "viewer/VisitModel.h"

#include "journal/StationReplay.h"

#include <QApplication>
#include <QScreen>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>
#include <utility>

namespace viewer {

using namespace window_roles;

void JournalWindow::SetFollow(bool on) {
  if (on && !store_.IsOpen()) {
    const QSignalBlocker block(follow_);
    follow_->setChecked(false);
    return;
  }
  if (on) {
    PollJournal();
    followTimer_.start();
  } else {
    followTimer_.stop();
  }
}

void JournalWindow::PollJournal() {
  ServerReceipts freshReceipts;
  std::vector<TJournalRow> fresh = store_.NewRecords(&freshReceipts);
  // A journal that stops answering is said once, and followed again as soon as it answers.
  if (!store_.PollError().isEmpty()) {
    if (!followLost_)
      Say(store_.PollError(), true);
    followLost_ = true;
    statusBar()->showMessage(QStringLiteral("Слежение: журнал не отвечает, новые записи будут показаны, когда он ответит"));
    return;
  }
  if (followLost_) {
    followLost_ = false;
    Say(QStringLiteral("Журнал снова отвечает, слежение продолжается."));
  }
  if (fresh.empty())
    return;
  // Only what changes the list regathers it: a new session, a serial read, a disconnect. Every
  // other record just moves its station's last time on.
  std::vector<SessionSummary> visits;
  QSet<int> touched;
  for (const TJournalRow &r : fresh) {
    const int known = index_.StationOfSession(r.Session);
    const bool lost = r.Outcome == TJournalOutcome::LinkLost;
    const bool changes = known < 0 || lost || JournalOp::Is(r.Operation, JournalOp::Serial) ||
                         JournalOp::Is(r.Operation, JournalOp::Disconnect) || JournalOp::Is(r.Operation, JournalOp::Model) ||
                         (!r.Serial.isEmpty() && index_.Stations()[static_cast<size_t>(known)].serial != r.Serial);
    if (!changes && index_.Touch(r.Session, r.At))
      touched.insert(known);
    else
      visits.push_back({r.Session, r.Serial, r.At, r.At, r.Bench, r.Operator, r.Model,
                        JournalOp::Is(r.Operation, JournalOp::Disconnect), lost});
  }
  // The station the user chose stays chosen, found again by its sessions after a regathering.
  const QString shownSession = stationSessions_.isEmpty() ? QString() : stationSessions_.front();
  if (!visits.empty()) {
    index_.Add(visits);
    station_ = shownSession.isEmpty() ? station_ : index_.StationOfSession(shownSession);
    ApplyFilter();
    if (station_ >= 0)
      stationSessions_ = index_.SessionIdsOf(station_);
  } else {
    for (int station : touched)
      stationsModel_->StationChanged(station);
  }
  // What is new for the shown station is added to its history and chart, nothing redrawn.
  std::vector<TJournalRow> mine;
  QSet<int> live;
  QStringList liveNames;
  for (TJournalRow &r : fresh) {
    const int station = index_.StationOfSession(r.Session);
    if (station >= 0 && station == station_ && stationSessions_.contains(r.Session)) {
      if (const auto receipt = freshReceipts.constFind(r.Id); receipt != freshReceipts.constEnd())
        receipts_.insert(r.Id, *receipt);
      mine.push_back(std::move(r));
    } else if (station >= 0 && !live.contains(station)) {
      live.insert(station);
      const StationEntry &s = index_.Stations()[static_cast<size_t>(station)];
      liveNames << QStringLiteral("%1 (%2)").arg(s.serial.isEmpty() ? QStringLiteral("без номера") : s.serial, s.bench);
    }
  }
  stationsModel_->SetLive(live);
  if (!mine.empty())
    AppendRecords(std::move(mine));
  statusBar()->showMessage(liveNames.isEmpty()
                               ? QStringLiteral("Новых записей: %1, последняя %2").arg(fresh.size()).arg(TimeText(fresh.back().At))
                               : QStringLiteral("Новых записей: %1; идет запись: %2").arg(fresh.size()).arg(liveNames.join(QStringLiteral(", "))));
}

void JournalWindow::AppendRecords(std::vector<TJournalRow> records) {
  const size_t from = records_.size();
  std::vector<TJournalRow> charted;
  for (TJournalRow &r : records) {
    if (r.Session == chartSession_ || chartSession_.isEmpty())
      charted.push_back(r);
    records_.push_back(std::move(r));
  }
  AddHistoryItems(from);
  if (chartSession_.isEmpty() && !records_.empty()) {
    ShowSessionChart(records_.back().Session);
    return;
  }
  if (charted.empty())
    return;
  const TelemetryData more = TelemetryOf(charted);
  for (size_t i = 0; i < telemetry_.dac.size(); ++i)
    telemetry_.dac[i] += more.dac[i];
  telemetry_.refl += more.refl;
  telemetry_.forw += more.forw;
  telemetry_.marks.insert(telemetry_.marks.end(), more.marks.begin(), more.marks.end());
  telemetry_.panel.insert(telemetry_.panel.end(), more.panel.begin(), more.panel.end());
  // Each redraw costs more than all the rest of following, and a line moves visibly only once a
  // pixel's worth of time has passed: a pixel of a two-hour chart is some nine seconds. So it is
  // redrawn once per pixel of time, every two seconds at the most, every ten at the least.
  if (!chartTimer_.isActive()) {
    const QList<QPointF> &line = telemetry_.dac[0].isEmpty() ? telemetry_.refl : telemetry_.dac[0];
    const double spanMs = line.size() < 2 ? 0 : line.back().x() - line.front().x();
    const double perPixel = spanMs / std::max(1, chart_->chart()->plotArea().toRect().width());
    chartTimer_.start(static_cast<int>(std::clamp(perPixel, double(ChartRedrawMs), double(ChartRedrawMostMs))));
  }
}

} // namespace viewer
