#pragma once
// Draws the audio-level grid's cells: header cells silver and raised, with their text in the
// grid's own font even though they take no input; the other cells as the style draws them.
#include <QStyledItemDelegate>

class TForm1;

class TGridDelegate : public QStyledItemDelegate {
public:
  TGridDelegate(TForm1 &form, QObject *parent) : QStyledItemDelegate(parent), form_(form) {}
  void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
  TForm1 &form_;
};
