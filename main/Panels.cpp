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

THeldControls HoldDisabled(TForm1 &form, std::initializer_list<QWidget *> controls) {
  THeldControls held;
  QWidget *focused = form.focusWidget();
  for (QWidget *control : controls) {
    held.Enabled.emplace_back(control, control->isEnabledTo(&form));
    if (focused && (focused == control || control->isAncestorOf(focused)))
      held.Focus = focused;
  }
  for (QWidget *control : controls)
    SetControlEnabled(form, control, false);
  return held;
}

void ReleaseHeld(TForm1 &form, const THeldControls &held) {
  for (const auto &[control, enabled] : held.Enabled)
    if (control)
      control->setEnabled(enabled);
  // Only a focus that the hold took away is given back, and only to a control that can take it.
  if (held.Focus && held.Focus->isEnabled() && form.focusWidget() != held.Focus)
    held.Focus->setFocus(Qt::OtherFocusReason);
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
