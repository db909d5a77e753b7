#include "viewer/StationsModel.h"

#include "viewer/RecordTexts.h"

#include <QBrush>
#include <QColor>

#include <algorithm>

namespace viewer {

void StationsModel::Show(std::vector<int> stations) {
  beginResetModel();
  shown_ = std::move(stations);
  endResetModel();
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

int StationsModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 5; }

QVariant StationsModel::data(const QModelIndex &index, int role) const {
  const int station = StationAt(index.row());
  if (station < 0)
    return {};
  const StationEntry &s = index_.Stations()[static_cast<size_t>(station)];
  if (role == Qt::ForegroundRole && s.serial.isEmpty())
    return QBrush(QColor(0x70, 0x70, 0x70));
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
  }
  return {};
}

QVariant StationsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return {};
  static const char *const titles[] = {"Серийный номер", "Модель", "Стенд", "Последний раз", "Сеансов"};
  return section >= 0 && section < 5 ? QString::fromUtf8(titles[section]) : QVariant();
}

} // namespace viewer
