// The viewer window's files: the visits list, the shown records as CSV, the history as PDF.
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

bool JournalWindow::SaveVisitList(const QString &path) {
  // The visits of the stations the list shows, and of those only the visits the filter lets
  // through: what the person sees is what goes into the file.
  const StationFilter filter = CurrentFilter();
  std::vector<SessionSummary> shown;
  for (int row = 0; row < stationsModel_->rowCount(); ++row) {
    const int station = stationsModel_->StationAt(row);
    for (int session : index_.Stations()[static_cast<size_t>(station)].sessions)
      if (index_.SessionMatches(index_.Sessions()[static_cast<size_t>(session)], filter))
        shown.push_back(index_.Sessions()[static_cast<size_t>(session)]);
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::vector<VisitRow> rows = VisitRows(store_, shown, {});
  QString error;
  const bool saved = SaveVisits(path, rows, &error);
  QApplication::restoreOverrideCursor();
  if (!saved) {
    Say(error, true);
    return false;
  }
  Say(QStringLiteral("Визитов в %1: %2.").arg(path).arg(rows.size()));
  return true;
}

bool JournalWindow::SaveCsv(const QString &path) {
  QString error;
  if (!SaveFile(path, CsvOf(records_), &error)) {
    Say(error, true);
    return false;
  }
  Say(QStringLiteral("Записей в %1: %2.").arg(path).arg(records_.size()));
  return true;
}

bool JournalWindow::SavePdf(const QString &path) {
  if (station_ < 0) {
    Say(QStringLiteral("Выберите радиостанцию в списке."), true);
    return false;
  }
  const StationEntry &s = index_.Stations()[static_cast<size_t>(station_)];
  HistoryPage page;
  page.title = stationTitle_->text();
  page.lines << QStringLiteral("Последний раз: %1, стенд %2, оператор %3").arg(TimeText(s.last), s.bench, s.operatorName);
  page.lines << QStringLiteral("Сеансов: %1").arg(s.sessions.size());
  for (int index : s.sessions) {
    const SessionSummary &session = index_.Sessions()[static_cast<size_t>(index)];
    const auto count = std::count_if(records_.begin(), records_.end(),
                                     [&](const TJournalRow &r) { return r.Session == session.session; });
    page.lines << QStringLiteral("  %1 — %2, стенд %3, оператор %4, записей %5")
                      .arg(TimeText(session.start), TimeText(session.last), session.bench, session.operatorName)
                      .arg(count);
  }
  if (const TReplayedStation state = ReplayStation(records_); state.Known()) {
    page.valuesSummary = LeftWithSummary(state);
    Values values{};
    std::copy(state.Values.begin(), state.Values.end(), values.begin());
    const std::vector<ValueRow> rows = ValueRows(values, std::nullopt, &state.Uncertain);
    for (size_t i = 0; i < rows.size(); i += 3) {
      QString line;
      for (size_t j = i; j < std::min(rows.size(), i + 3); ++j)
        line += QStringLiteral("%1 %2 %3%4").arg(rows[j].number, 2).arg(rows[j].name, -16).arg(rows[j].first, 3)
                    .arg(rows[j].uncertain ? QStringLiteral("?") : QStringLiteral(" ")) +
                QStringLiteral("    ");
      page.valueLines << line;
    }
    page.series = SeriesFromValues(values);
  }
  page.telemetry = telemetry_;
  page.chartTitle = chart_->chart()->title();
  QString error;
  if (!SaveHistoryPdf(path, page, &error)) {
    Say(error, true);
    return false;
  }
  Say(QStringLiteral("История записана в %1.").arg(path));
  return true;
}

} // namespace viewer
