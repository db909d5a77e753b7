#pragma once
// Draws the audio-level grid's cells and edits them in place. Header cells are silver and raised;
// a data cell is aqua on purple when it is the chosen cell or the focused current one, navy on
// white otherwise, its text at the top-left corner without a margin. While a cell is edited its
// text follows the editor keystroke by keystroke, so that whatever reads the grid meanwhile (the
// key preview's Enter, a transfer) gets what is on the screen.
#include <QStyledItemDelegate>

class TForm1;

class TGridDelegate : public QStyledItemDelegate {
public:
  TGridDelegate(TForm1 &form, QObject *parent) : QStyledItemDelegate(parent), form_(form) {}
  void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
  QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                        const QModelIndex &index) const override;
  void setEditorData(QWidget *editor, const QModelIndex &index) const override;

protected:
  // Tab and Shift+Tab in a cell editor keep the typed text and leave the grid, as they leave
  // the grid itself; Qt's default would open the next cell and choose its parameter.
  bool eventFilter(QObject *object, QEvent *event) override;

private:
  void PaintHeader(QPainter *painter, const QRect &r, const QString &text) const;

  TForm1 &form_;
};

class QTableWidget;

// The grid's own keys while connected: an arrow key with no current cell (at start-up, after a
// field was chosen) makes cell (1, 1) current, which chooses its parameter. Qt's default would
// move to the header cell (0, 0), which cannot be current, and so do nothing.
void InstallGridKeys(QTableWidget &grid);
