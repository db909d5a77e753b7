// The window's key handler: it sees every key-down of the window before the focused control.
#include "params/Editing.h"

#include "journal/Journal.h"
#include "link/CommandSet.h"
#include "main/MessageWindow.h"
#include "main/UnitMain.h"
#include "runtime/Sleep.h"
#include "serial/AdPort.h"

namespace {

// The M key whatever the keyboard layout: on a Russian layout the same key gives the soft sign.
bool IsKeyM(int key) { return key == Qt::Key_M || key == 0x042C; }

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

} // namespace

bool HandleKeyDown(TForm1 &form, int key, int) {
  if (form.BitBtn9->isEnabled()) {
    ClearMessages(form);
    AddMessage(form, QStringLiteral("Вы не подключились к радиостанции!!!"));
    return true;
  }
  if (IsEnter(key)) {
    SendTypedValue(form);
    return true;
  }
  if (IsKeyM(key)) {
    form.MainState.ComPort->SendByte(Command::Scrambler);
    Sleep(Pause::AfterScramblerKey);
    JournalFrontPanel(Command::Scrambler, QStringLiteral("M"));
    return true;
  }
  return false;
}
