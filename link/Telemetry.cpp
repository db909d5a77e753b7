#include "link/Telemetry.h"

#include "main/MessageWindow.h"
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "runtime/Exception.h"

namespace {

constexpr int FirstPeriod = 800; // from arming to the first event
constexpr int NextPeriod = 700;  // every later period of an armed refresh

enum : uint8_t { Armed = 2, Due = 3 };

} // namespace

void ArmRefresh(TForm1 &form) {
  form.MainState.PollMode = Armed;
  form.Timer1->SetEnabled(true);
}

void RefreshTick(TForm1 &form) {
  switch (form.MainState.PollMode) {
  case Armed:
    form.Timer1->SetEnabled(true);
    form.Timer1->SetInterval(NextPeriod);
    form.MainState.PollMode = Due;
    break;
  case Due:
    form.Timer1->SetEnabled(false);
    form.Timer1->SetInterval(FirstPeriod);
    SetControlEnabled(form, form.GroupBox1, false);
    SetControlEnabled(form, form.Panel3, false);
    PollDacValues(form);
    SetControlEnabled(form, form.GroupBox1, true);
    SetControlEnabled(form, form.Panel3, true);
    break;
  default:
    break;
  }
}

// PLACEHOLDER: the display of the values is still to be written.
void PollDacValues(TForm1 &form) {
  ClearMessages(form);
  if (!form.CheckBox1->isChecked())
    return;
  throw Exception("not built yet");
}

void DacDisplayChanged(TForm1 &) { throw Exception("not built yet"); }
void ReadReflForw(TForm1 &) { throw Exception("not built yet"); }
