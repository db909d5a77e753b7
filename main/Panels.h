#pragma once
#include <QWidget>

class TForm1;

// Switch the working panels, the remote controls and the two transfer buttons together.
void EnablePanels(TForm1 &form);
void DisablePanels(TForm1 &form);

// Enables or disables a control. When the control (or one inside it) holds the focus, the focus
// goes to the window itself instead of wandering into the next control: entering a parameter
// field chooses that parameter, which must only ever be the technician's act.
void SetControlEnabled(TForm1 &form, QWidget *control, bool enabled);
