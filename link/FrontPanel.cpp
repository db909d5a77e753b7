#include "link/FrontPanel.h"

#include "link/CommandSet.h"
#include "link/Exchange.h"
#include "link/Telemetry.h"
#include "main/UnitMain.h"
#include "runtime/Sleep.h"
#include "serial/AdPort.h"

void PressFrontPanel(TForm1 &form, uint8_t command) {
  // Queued, never awaited: a byte the station might send back waits in the input until the next
  // command drops it.
  PurgeStaleInput(form);
  form.MainState.ComPort->SendByte(command);
  Sleep(Pause::AfterPanelKey);
  ArmRefresh(form);
}

void PressScramblerKey(TForm1 &form) {
  PurgeStaleInput(form);
  form.MainState.ComPort->SendByte(Command::Scrambler);
  Sleep(Pause::AfterScramblerKey);
}
