#include "main/GridDelegate.h"

#include "main/UnitMain.h"

#include <QPainter>

void TGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const {
  if (index.row() != 0 && index.column() != 0) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  const QRect r = option.rect;
  painter->save();
  painter->fillRect(r, QColor(0xC0, 0xC0, 0xC0));
  painter->setPen(Qt::white);
  painter->drawLine(r.topLeft(), r.topRight());
  painter->drawLine(r.topLeft(), r.bottomLeft());
  painter->setPen(QColor(0x80, 0x80, 0x80));
  painter->drawLine(r.bottomLeft(), r.bottomRight());
  painter->drawLine(r.topRight(), r.bottomRight());
  painter->setFont(form_.StringGrid1->font());
  painter->setPen(form_.StringGrid1->palette().color(QPalette::Active, QPalette::Text));
  painter->drawText(r.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, index.data().toString());
  painter->restore();
}
