#include "main/Panels.h"

#include "main/UnitMain.h"

#include <QApplication>

void SetControlEnabled(TForm1 &form, QWidget *control, bool enabled) {
  if (!enabled) {
    QWidget *focused = form.focusWidget();
    if (focused && (focused == control || control->isAncestorOf(focused))) {
      focused->clearFocus();
      form.setFocus(Qt::OtherFocusReason);
    }
  }
  control->setEnabled(enabled);
}

static void SetPanels(TForm1 &form, bool enabled) {
  for (QWidget *control : {static_cast<QWidget *>(form.Panel1), static_cast<QWidget *>(form.Panel3),
                           static_cast<QWidget *>(form.Panel4), static_cast<QWidget *>(form.Panel5),
                           static_cast<QWidget *>(form.GroupBox1), static_cast<QWidget *>(form.BitBtn1),
                           static_cast<QWidget *>(form.BitBtn2)})
    SetControlEnabled(form, control, enabled);
}

void EnablePanels(TForm1 &form) { SetPanels(form, true); }

void DisablePanels(TForm1 &form) { SetPanels(form, false); }
