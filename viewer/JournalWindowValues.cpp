// The viewer window's values: a record's 34 values, two records' difference, the values on exit,
// what changed since the previous visit, and the series copied for kstune.
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

void JournalWindow::ShowValues(const std::vector<int> &chosen) {
  values_->setRowCount(0);
  ResetCompare();
  shownValues_.reset();
  shownProblem_.clear();
  if (chosen.empty()) {
    valuesTitle_->setText(QStringLiteral("Выберите запись \"Запись\", \"Переписать ряд\" или \"Чтение\"; две записи — их разница."));
    return;
  }
  const TJournalRow &first = records_[static_cast<size_t>(chosen.front())];
  const TJournalRow *second = chosen.size() >= 2 ? &records_[static_cast<size_t>(chosen.back())] : nullptr;
  const auto a = ValuesFromSeries(first.Series);
  const auto b = second ? ValuesFromSeries(second->Series) : std::nullopt;
  auto label = [](const TJournalRow &r) { return QStringLiteral("%1 %2").arg(OperationText(r.Operation), TimeText(r.At)); };
  if (!a || (second && !b)) {
    shownProblem_ = QStringLiteral("Числовой ряд этой записи поврежден, он не скопирован.");
    valuesTitle_->setText(QStringLiteral("Числовой ряд записи поврежден: %1").arg(!a ? first.Series : second->Series));
    return;
  }
  if (second) {
    shownProblem_ = QStringLiteral("Показана разница двух записей: выберите одну запись или \"Значения на выходе\".");
    FillValueTable(*a, b, nullptr, label(first), label(*second));
    valuesTitle_->setText(QStringLiteral("Разница: %1 → %2; измененные значения выделены.").arg(label(first), label(*second)));
    return;
  }
  shownValues_ = *a;
  shownCaption_ = label(first);
  FillValueTable(*a, std::nullopt, nullptr, QStringLiteral("Значение"), QString());
  valuesTitle_->setText(QStringLiteral("%1 (%2)").arg(label(first), OutcomeText(first.Outcome)));
}

void JournalWindow::FillValueTable(const Values &first, const std::optional<Values> &second,
                                   const std::array<bool, 34> *uncertain, const QString &firstHeader,
                                   const QString &secondHeader) {
  values_->setHorizontalHeaderItem(3, new QTableWidgetItem(firstHeader));
  values_->setHorizontalHeaderItem(4, new QTableWidgetItem(secondHeader));
  const std::vector<ValueRow> rows = ValueRows(first, second, uncertain);
  values_->setRowCount(static_cast<int>(rows.size()));
  const QBrush changedBrush(QColor(0xff, 0xd8, 0x8c));
  const QBrush uncertainBrush(QColor(0xfd, 0xe2, 0xe1));
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const ValueRow &row = rows[static_cast<size_t>(i)];
    const QString value = row.uncertain ? QStringLiteral("%1 (?)").arg(row.first) : QString::number(row.first);
    const QStringList cells{QString::number(row.number), row.name, row.field, value,
                            row.second ? (row.changed ? QStringLiteral("%1 (%2%3)").arg(*row.second).arg(*row.second > row.first ? "+" : "").arg(*row.second - row.first)
                                                      : QString::number(*row.second))
                                       : row.uncertain ? QStringLiteral("под вопросом") : QString()};
    for (int c = 0; c < cells.size(); ++c) {
      auto *item = new QTableWidgetItem(cells[c]);
      if (row.changed || row.uncertain) {
        item->setBackground(row.uncertain ? uncertainBrush : changedBrush);
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
      }
      item->setData(Qt::UserRole, row.changed || row.uncertain);
      values_->setItem(i, c, item);
    }
  }
  for (int i = 0; i < static_cast<int>(rows.size()); ++i)
    if (rows[static_cast<size_t>(i)].changed || rows[static_cast<size_t>(i)].uncertain) {
      values_->scrollToItem(values_->item(i, 0), QAbstractItemView::PositionAtCenter);
      break;
    }
  if (auto *tabs = findChild<QTabWidget *>(QStringLiteral("Tabs")))
    tabs->setCurrentIndex(1);
}

QString JournalWindow::LeftWithSummary(const TReplayedStation &state) const {
  const TJournalRow &base = records_[static_cast<size_t>(state.FullSet)];
  const bool lastSession = !stationSessions_.isEmpty() && base.Session == stationSessions_.back();
  QString text = QStringLiteral("Значения на выходе: %1 %2").arg(OperationText(base.Operation), TimeText(base.At));
  if (state.ChangesAfter > 0)
    text += QStringLiteral(" и установленные после нее значения (%1)").arg(state.ChangesAfter);
  text += QLatin1Char('.');
  if (!lastSession)
    text += QStringLiteral(" Полный набор значений — из более раннего сеанса.");
  if (state.Interrupted)
    text += QStringLiteral(" Последний сеанс прерван: в журнале нет его окончания.");
  if (state.AnyUncertain())
    text += QStringLiteral(" Под вопросом %1: станция могла их не принять; проверьте чтением.")
                .arg(UncertainNumbers(state.Uncertain));
  return text;
}

void JournalWindow::ShowLeftWith() {
  const TReplayedStation state = ReplayStation(records_);
  if (!state.Known()) {
    Say(station_ < 0 ? QStringLiteral("Выберите радиостанцию в списке.")
                     : QStringLiteral("У этой радиостанции в журнале нет завершенной записи или чтения всех значений."),
        true);
    return;
  }
  {
    const QSignalBlocker block(history_);
    history_->clearSelection();
  }
  Values values{};
  std::copy(state.Values.begin(), state.Values.end(), values.begin());
  values_->setRowCount(0);
  ResetCompare();
  FillValueTable(values, std::nullopt, &state.Uncertain, QStringLiteral("Значение"), QString());
  shownValues_ = values;
  shownProblem_.clear();
  shownCaption_ = QStringLiteral("Значения на выходе");
  const QString summary = LeftWithSummary(state);
  valuesTitle_->setText(summary);
  Say(summary, state.AnyUncertain());
}

void JournalWindow::CompareVisits() {
  if (station_ < 0 || stationSessions_.isEmpty()) {
    Say(QStringLiteral("Выберите радиостанцию в списке."), true);
    return;
  }
  // The visit of the chosen record, else the station's last visit.
  QString session = stationSessions_.back();
  if (QTreeWidgetItem *current = history_->currentItem(); current && current->isSelected())
    session = current->data(0, SessionRole).toString();
  const qsizetype at = stationSessions_.indexOf(session);
  if (at <= 0) {
    Say(QStringLiteral("У этого визита нет предыдущего визита этой радиостанции в журнале."), true);
    return;
  }
  // What the station held when each visit ended: its records replayed up to that visit's end.
  auto upTo = [&](qsizetype visit) {
    const QSet<QString> visits(stationSessions_.begin(), stationSessions_.begin() + visit + 1);
    std::vector<TJournalRow> records;
    for (const TJournalRow &r : records_)
      if (visits.contains(r.Session))
        records.push_back(r);
    return ReplayStation(records);
  };
  const TReplayedStation before = upTo(at - 1), after = upTo(at);
  if (!before.Known() || !after.Known()) {
    Say(QStringLiteral("Значения на выходе %1 визита неизвестны: в журнале нет полного набора значений до его конца.")
            .arg(before.Known() ? QStringLiteral("этого") : QStringLiteral("предыдущего")),
        true);
    return;
  }
  Values a{}, b{};
  std::copy(before.Values.begin(), before.Values.end(), a.begin());
  std::copy(after.Values.begin(), after.Values.end(), b.begin());
  std::array<bool, 34> uncertain{};
  for (size_t k = 0; k < uncertain.size(); ++k)
    uncertain[k] = before.Uncertain[k] || after.Uncertain[k];
  auto visitText = [&](qsizetype visit) {
    const SessionSummary *s = nullptr;
    for (int index : index_.Stations()[static_cast<size_t>(station_)].sessions)
      if (index_.Sessions()[static_cast<size_t>(index)].session == stationSessions_[visit])
        s = &index_.Sessions()[static_cast<size_t>(index)];
    return s ? QStringLiteral("визит %1, %2").arg(TimeText(s->start), s->bench) : QStringLiteral("визит");
  };
  {
    const QSignalBlocker block(history_);
    history_->clearSelection();
  }
  values_->setRowCount(0);
  FillValueTable(a, b, &uncertain, visitText(at - 1), visitText(at));
  // Uncertain is what a visit left behind: the mark goes beside the value it may not hold.
  for (int row = 0; row < values_->rowCount(); ++row) {
    const size_t k = static_cast<size_t>(row);
    if (!uncertain[k])
      continue;
    values_->item(row, 3)->setText(QString::number(a[k]) + (before.Uncertain[k] ? QStringLiteral(" (?)") : QString()));
    if (after.Uncertain[k])
      values_->item(row, 4)->setText(values_->item(row, 4)->text() + QStringLiteral(" (?)"));
  }
  // The model's presets beside them, where the options file is at hand.
  const QString model = index_.Stations()[static_cast<size_t>(station_)].model;
  const std::optional<PresetValues> presets = ModelPresets(model);
  values_->setColumnHidden(5, !presets);
  if (presets) {
    values_->setHorizontalHeaderItem(5, new QTableWidgetItem(QStringLiteral("Предустановка %1").arg(model)));
    for (int row = 0; row < values_->rowCount(); ++row) {
      const std::optional<int> preset = (*presets)[static_cast<size_t>(row)];
      values_->setItem(row, 5, new QTableWidgetItem(preset ? QString::number(*preset) : QString()));
    }
  }
  shownValues_ = b;
  shownProblem_.clear();
  shownCaption_ = QStringLiteral("значения на выходе, %1").arg(visitText(at));
  int changed = 0;
  for (size_t k = 0; k < 34; ++k)
    changed += a[k] != b[k];
  valuesTitle_->setText(QStringLiteral("Что изменилось: %1 → %2; изменено значений: %3.")
                            .arg(visitText(at - 1), visitText(at))
                            .arg(changed));
  ui_->ChangedOnly->setEnabled(true);
  ShowChangedOnly();
}

void JournalWindow::ResetCompare() {
  values_->setColumnHidden(5, true);
  ui_->ChangedOnly->setEnabled(false);
  for (int row = 0; row < values_->rowCount(); ++row)
    values_->setRowHidden(row, false);
}

void JournalWindow::ShowChangedOnly() {
  const bool only = ui_->ChangedOnly->isChecked() && ui_->ChangedOnly->isEnabled();
  for (int row = 0; row < values_->rowCount(); ++row) {
    const QTableWidgetItem *item = values_->item(row, 4);
    values_->setRowHidden(row, only && !(item && item->data(Qt::UserRole).toBool()));
  }
}

void JournalWindow::CopySeries() {
  if (!shownValues_) {
    Say(shownProblem_.isEmpty()
            ? QStringLiteral("Выберите одну запись \"Запись\", \"Переписать ряд\" или \"Чтение\" или нажмите \"Значения на выходе\".")
            : shownProblem_,
        true);
    return;
  }
  QApplication::clipboard()->setText(SeriesFromValues(*shownValues_));
  Say(QStringLiteral("Числовой ряд (%1) скопирован: вставьте его в поле \"Обновить\" kstune.").arg(shownCaption_));
}

} // namespace viewer
