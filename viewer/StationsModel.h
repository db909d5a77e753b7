#pragma once
// The station list as the table shows it: the stations that pass the filter, by serial number.
#include "viewer/StationIndex.h"

#include <QAbstractTableModel>

namespace viewer {

class StationsModel : public QAbstractTableModel {
public:
  explicit StationsModel(const StationIndex &index, QObject *parent = nullptr) : QAbstractTableModel(parent), index_(index) {}

  void Show(std::vector<int> stations);
  // The station index of a row, -1 outside.
  int StationAt(int row) const;
  int RowOf(int station) const;

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
  const StationIndex &index_;
  std::vector<int> shown_;
};

} // namespace viewer
