#include "main/GridDelegate.h"

#include "main/UnitMain.h"
#include "params/ChoiceColours.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPersistentModelIndex>

void TGridDelegate::PaintHeader(QPainter *painter, const QRect &r, const QString &text) const {
  painter->fillRect(r, QColor(0xC0, 0xC0, 0xC0));
  painter->setPen(Qt::white);
  painter->drawLine(r.topLeft(), r.topRight());
  painter->drawLine(r.topLeft(), r.bottomLeft());
  painter->setPen(QColor(0x80, 0x80, 0x80));
  painter->drawLine(r.bottomLeft(), r.bottomRight());
  painter->drawLine(r.topRight(), r.bottomRight());
  painter->setPen(form_.StringGrid1->palette().color(QPalette::Active, QPalette::Text));
  painter->drawText(r.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
}

void TGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const {
  const int column = index.column(), row = index.row();
  const QString text = index.data().toString();
  painter->save();
  painter->setFont(form_.StringGrid1->font());
  if (row == 0 || column == 0) {
    PaintHeader(painter, option.rect, text);
  } else {
    const auto &state = form_.MainState;
    const bool focusedCurrent = option.state.testFlag(QStyle::State_HasFocus);
    const bool chosen = column == state.SelectedColumn && row == state.SelectedRow;
    const bool marked = focusedCurrent || chosen;
    painter->fillRect(option.rect, marked ? ChoiceColours::ChosenBack : ChoiceColours::CellBack);
    painter->setPen(marked ? ChoiceColours::ChosenText : ChoiceColours::Text);
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
  }
  painter->restore();
}

QWidget *TGridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                     const QModelIndex &index) const {
  auto *editor = new QLineEdit(parent);
  editor->setFrame(false);
  auto *model = const_cast<QAbstractItemModel *>(index.model());
  const QPersistentModelIndex cell(index);
  connect(editor, &QLineEdit::textChanged, editor, [model, cell](const QString &text) {
    if (cell.isValid() && model->data(cell).toString() != text)
      model->setData(cell, text);
  });
  return editor;
}

void TGridDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const {
  // The cell took the editor's own text: setting it back would only move the cursor.
  auto *line = static_cast<QLineEdit *>(editor);
  const QString text = index.data().toString();
  if (line->text() != text)
    line->setText(text);
}

bool TGridDelegate::eventFilter(QObject *object, QEvent *event) {
  if (event->type() == QEvent::KeyPress) {
    auto *key = static_cast<QKeyEvent *>(event);
    auto *editor = qobject_cast<QWidget *>(object);
    if (editor && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
      emit commitData(editor);
      emit closeEditor(editor, QAbstractItemDelegate::NoHint);
      // The grid has the focus again; the same key now moves it on to the next control.
      QKeyEvent again(QEvent::KeyPress, key->key(), key->modifiers(), key->text());
      QCoreApplication::sendEvent(form_.StringGrid1, &again);
      return true;
    }
  }
  return QStyledItemDelegate::eventFilter(object, event);
}

namespace {

class TGridKeys : public QObject {
public:
  explicit TGridKeys(QTableWidget &grid) : QObject(&grid), grid_(grid) {}

protected:
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() != QEvent::KeyPress || grid_.currentIndex().isValid())
      return false;
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
      grid_.setCurrentCell(1, 1);
      return true;
    default:
      return false;
    }
  }

private:
  QTableWidget &grid_;
};

} // namespace

void InstallGridKeys(QTableWidget &grid) { grid.installEventFilter(new TGridKeys(grid)); }
