#include "main/MessageWindow.h"

#include "main/UnitMain.h"

void ClearMessages(TForm1 &form) { form.Memo1->clear(); }

void AddMessage(TForm1 &form, const QString &line) { form.Memo1->append(line); }

QStringList MessageLines(const TForm1 &form) {
  const QString text = form.Memo1->toPlainText();
  return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}
