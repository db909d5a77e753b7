#pragma once
#include <QPointer>
#include <QWidget>

#include <initializer_list>
#include <utility>
#include <vector>

class TForm1;

// Switch the working panels, the remote controls and the two transfer buttons together.
void EnablePanels(TForm1 &form);
void DisablePanels(TForm1 &form);

// Enables or disables a control. When the control (or one inside it) holds the focus, the focus
// goes to the window itself instead of wandering into the next control: entering a parameter
// field chooses that parameter, which must only ever be the technician's act.
void SetControlEnabled(TForm1 &form, QWidget *control, bool enabled);

// Controls held disabled while an operation works, with what to give back afterwards.
struct THeldControls {
  std::vector<std::pair<QPointer<QWidget>, bool>> Enabled; // each control and its state before
  QPointer<QWidget> Focus; // the control inside them that had the focus, if any
};

// Disables the controls for the length of an operation (the focus as SetControlEnabled leaves it).
THeldControls HoldDisabled(TForm1 &form, std::initializer_list<QWidget *> controls);
// Gives each control back the enabled state it had, so that an operation running while not
// connected never enables what disconnect disabled, and the focus back to where it was.
void ReleaseHeld(TForm1 &form, const THeldControls &held);
