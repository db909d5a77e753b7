#include "main/OperationWatcher.h"

#include "link/Trace.h"
#include "main/UnitMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>

namespace {

void SetOperation(const QString &name) { SetTraceOperation(name.toStdString()); }

QString KeyName(int key) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter)
    return QStringLiteral("Enter");
  if (key == Qt::Key_M || key == 0x042C) // M on the Latin and the Cyrillic layout
    return QStringLiteral("M");
  return QKeySequence(key).toString();
}

// The caption of the control, without its mnemonic mark; its hint or its name when it has none.
QString ControlName(QWidget *widget) {
  for (QWidget *w = widget; w; w = w->parentWidget()) {
    if (auto *button = qobject_cast<QAbstractButton *>(w); button && !button->text().isEmpty())
      return button->text().remove(QLatin1Char('&'));
    if (!w->toolTip().isEmpty())
      return w->toolTip();
  }
  return widget->objectName().isEmpty() ? QStringLiteral("—") : widget->objectName();
}

// Sees every event before the window does: the latest click, key or timer tick names the
// exchanges that follow it.
class TOperationWatcher : public QObject {
public:
  explicit TOperationWatcher(TForm1 &form) : QObject(&form), form_(form) {}

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    switch (event->type()) {
    case QEvent::Timer:
      if (watched->parent() == form_.Timer1)
        SetOperation(QStringLiteral("опрос ЦАП"));
      break;
    case QEvent::KeyPress:
      SetOperation(KeyName(static_cast<QKeyEvent *>(event)->key()));
      break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
      if (watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        if (event->type() != QEvent::KeyRelease || qobject_cast<QAbstractButton *>(widget))
          SetOperation(ControlName(widget));
      }
      break;
    default:
      break;
    }
    return false;
  }

private:
  TForm1 &form_;
};

} // namespace

void WatchOperations(TForm1 &form) {
  qApp->installEventFilter(new TOperationWatcher(form));
  // A click from code (or the keyboard's space bar) presses the button before it clicks.
  for (auto *button : form.findChildren<QAbstractButton *>())
    QObject::connect(button, &QAbstractButton::pressed, button, [button] { SetOperation(ControlName(button)); });
}
