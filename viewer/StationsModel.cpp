#include "viewer/StationsModel.h"

#include "viewer/RecordTexts.h"

#include <QBrush>
#include <QColor>
#include <QFont>

#include <algorithm>
#include <tuple>

namespace viewer {

namespace {

enum Column { Serial, Model, Bench, Last, Sessions, Operator, Ending, ColumnCount };

// How the station's latest visit ended, as the list says it.
QString EndingOf(const StationEntry &s, bool live) {
  if (live)
    return QStringLiteral("идет запись");
  if (!s.lastEnded)
    return QStringLiteral("не завершен");
  return s.lastLinkLost ? QStringLiteral("связь прервалась") : QStringLiteral("завершен");
}

// A visit that ended badly is marked.
bool EndedBadly(const StationEntry &s) { return !s.lastEnded || s.lastLinkLost; }

} // namespace

void StationsModel::Show(std::vector<int> stations) {
  beginResetModel();
  shown_ = std::move(stations);
  Sort();
  endResetModel();
}

void StationsModel::sort(int column, Qt::SortOrder order) {
  sortColumn_ = column;
  sortOrder_ = order;
  emit layoutAboutToBeChanged();
  const QModelIndexList before = persistentIndexList();
  std::vector<int> stations;
  for (const QModelIndex &index : before)
    stations.push_back(StationAt(index.row()));
  Sort();
  for (qsizetype i = 0; i < before.size(); ++i)
    changePersistentIndex(before[i], this->index(RowOf(stations[static_cast<size_t>(i)]), before[i].column()));
  emit layoutChanged();
}

void StationsModel::SetLive(QSet<int> stations) {
  if (stations == live_)
    return;
  live_ = std::move(stations);
  RowsChanged();
}

void StationsModel::RowsChanged() {
  if (!shown_.empty())
    emit dataChanged(index(0, 0), index(static_cast<int>(shown_.size()) - 1, ColumnCount - 1));
}

void StationsModel::StationChanged(int station) {
  if (const int row = RowOf(station); row >= 0)
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void StationsModel::Sort() {
  if (sortColumn_ < 0 || sortColumn_ >= ColumnCount)
    return;
  const auto &all = index_.Stations();
  auto key = [&](int station) -> const StationEntry & { return all[static_cast<size_t>(station)]; };
  auto less = [&](int a, int b) {
    const StationEntry &x = key(a), &y = key(b);
    switch (sortColumn_) {
    case Model:
      return x.model < y.model;
    case Bench:
      return x.bench < y.bench;
    case Last:
      return x.last < y.last;
    case Sessions:
      return x.sessions.size() < y.sessions.size();
    case Operator:
      return x.operatorName < y.operatorName;
    case Ending:
      return std::make_tuple(x.lastEnded, !x.lastLinkLost) < std::make_tuple(y.lastEnded, !y.lastLinkLost);
    default: {
      // Stations without a serial after the read ones, newer days first, as in the index's own
      // order. A read station has no day (an invalid date), so days are compared, never negated.
      const auto head = [](const StationEntry &s) { return std::tuple<bool, const QString &>(s.serial.isEmpty(), s.serial); };
      if (head(x) != head(y))
        return head(x) < head(y);
      return y.date < x.date;
    }
    }
  };
  if (sortOrder_ == Qt::AscendingOrder)
    std::stable_sort(shown_.begin(), shown_.end(), less);
  else
    std::stable_sort(shown_.begin(), shown_.end(), [&](int a, int b) { return less(b, a); });
}

int StationsModel::StationAt(int row) const {
  return row >= 0 && row < static_cast<int>(shown_.size()) ? shown_[static_cast<size_t>(row)] : -1;
}

int StationsModel::RowOf(int station) const {
  const auto it = std::find(shown_.begin(), shown_.end(), station);
  return it == shown_.end() ? -1 : static_cast<int>(it - shown_.begin());
}

int StationsModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int StationsModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant StationsModel::data(const QModelIndex &index, int role) const {
  const int station = StationAt(index.row());
  if (station < 0)
    return {};
  const StationEntry &s = index_.Stations()[static_cast<size_t>(station)];
  const bool live = live_.contains(station);
  if (role == Qt::ForegroundRole && index.column() == Ending)
    return live ? QBrush(QColor(0x1a, 0x7f, 0x37)) : !EndedBadly(s) ? QVariant() : QBrush(QColor(0xb0, 0x20, 0x20));
  if (role == Qt::ForegroundRole && s.serial.isEmpty())
    return QBrush(QColor(0x70, 0x70, 0x70));
  if (role == Qt::FontRole && (live || (index.column() == Ending && EndedBadly(s)))) {
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  if (role != Qt::DisplayRole)
    return {};
  switch (index.column()) {
  case 0:
    return s.serial.isEmpty() ? QStringLiteral("не считан, %1").arg(s.date.toString(QStringLiteral("dd.MM.yyyy")))
                              : s.serial;
  case 1:
    return s.model;
  case 2:
    return s.bench;
  case 3:
    return TimeText(s.last);
  case 4:
    return static_cast<int>(s.sessions.size());
  case 5:
    return s.operatorName;
  case 6:
    return EndingOf(s, live);
  }
  return {};
}

QVariant StationsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return {};
  static const char *const titles[] = {"Серийный номер", "Модель", "Стенд", "Последний раз", "Сеансов", "Оператор", "Итог"};
  return section >= 0 && section < ColumnCount ? QString::fromUtf8(titles[section]) : QVariant();
}

} // namespace viewer
