#pragma once
// The station list as the table shows it: the stations that pass the filter, by serial number
// or by the column the user clicked.
#include "viewer/StationIndex.h"

#include <QAbstractTableModel>
#include <QSet>

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
  // By a column's text (serials as text, times and counts as what they are); kept through Show().
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
  // Stations being written to by a bench now, other than the one shown: marked in the list.
  void SetLive(QSet<int> stations);
  // The shown rows' texts changed (a later time), not the rows themselves.
  void RowsChanged();
  // One station's last time changed: only its row is redrawn.
  void StationChanged(int station);

private:
  void Sort();

  const StationIndex &index_;
  std::vector<int> shown_;
  QSet<int> live_;
  int sortColumn_ = -1; // -1: the index's own order
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

} // namespace viewer
