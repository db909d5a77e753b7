#include "link/Connection.h"

#include "link/CommandSet.h"
#include "journal/Journal.h"
#include "link/Exchange.h"
#include "main/MessageWindow.h"
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "platform/CommDevice.h"
#include "platform/PortHolder.h"
#include "runtime/Sleep.h"
#include "serial/AdExcept.h"
#include "serial/AdPort.h"

namespace {

// The error box says the port is in use; the message window says by whom, so that the
// technician knows which program to close.
void NameThePortHolder(TForm1 &form) {
  const int number = form.MainState.ComNumber;
  const auto holder = FindPortHolder(CommDevicePath("\\\\.\\COM" + std::to_string(number)));
  if (!holder)
    return;
  ClearMessages(form);
  AddMessage(form, QStringLiteral("Порт COM%1 занят: %2 (процесс %3)")
                       .arg(number)
                       .arg(QString::fromStdString(holder->Program))
                       .arg(holder->Pid));
}

} // namespace

void ConfigurePort(TForm1 &form) {
  auto &state = form.MainState;
  if (!state.ComPort)
    state.ComPort = std::make_unique<TApdComPort>(nullptr);
  TApdComPort &port = *state.ComPort;
  port.SetInSize(Line::BufferSize);
  port.SetOutSize(Line::BufferSize);
  // Open only between connect and disconnect: a byte operation on a closed port must fail.
  port.SetAutoOpen(false);
  port.SetLogHex(false);
  port.SetDataBits(Line::DataBits);
  port.SetParity(pNone);
  port.SetStopBits(Line::StopBits);
  port.SetBaud(Line::Baud);
}

void ReopenPort(TForm1 &form) {
  TApdComPort &port = *form.MainState.ComPort;
  if (port.Open())
    port.SetOpen(false);
  port.SetComNumber(form.MainState.ComNumber);
  port.SetOpen(true);
}

void ConnectStation(TForm1 &form) {
  ConfigurePort(form);
  try {
    ReopenPort(form);
  } catch (const EAlreadyOpen &) {
    NameThePortHolder(form);
    throw;
  }
  TJournalNote note = Journal().Connecting(form.MainState.ComNumber, form.MainState.ModelCode);
  form.MainState.ComPort->SendByte(Command::Connect);
  uint8_t answer = 0;
  if (!ReceiveBlock(form, {&answer, 1}, Budget::Connect)) {
    // The port stays open; the next connect closes and reopens it.
    ClearMessages(form);
    AddMessage(form, QStringLiteral("Нет соединения со станцией..."));
    SetControlEnabled(form, form.BitBtn9, true);
    SetControlEnabled(form, form.BitBtn10, false);
    return;
  }
  SetControlEnabled(form, form.BitBtn9, false);
  SetControlEnabled(form, form.BitBtn10, true);
  ClearMessages(form);
  AddMessage(form, QStringLiteral("Связь установлена"));
  AddMessage(form, QStringLiteral("Не забудьте выбрать Параметр"));
  AddMessage(form, QStringLiteral("Диапазон всех вводимых значений: 0...255"));
  EnablePanels(form);
  // A column overwrite or a serial number read that stopped early left its button disabled; a
  // new link is the point where the technician can use them again.
  SetControlEnabled(form, form.BitBtn15, true);
  SetControlEnabled(form, form.BitBtn13, true);
  form.MainState.PollMode = 3;
  note.Done();
}

void DisconnectStation(TForm1 &form) {
  DisablePanels(form);
  form.MainState.ComPort->SendByte(Command::Disconnect);
  Sleep(Pause::AfterDisconnect);
  form.Button1->setText(QStringLiteral("Дата Процессора"));
  ClearMessages(form);
  AddMessage(form, QStringLiteral("Связь со станцией разорвана..."));
  AddMessage(form, QStringLiteral("Если хотите продолжить работу со станцией незабудьте Подключиться"));
  if (form.MainState.ComPort->Open())
    form.MainState.ComPort->SetOpen(false);
  SetControlEnabled(form, form.BitBtn9, true);
  SetControlEnabled(form, form.BitBtn10, false);
  SetControlEnabled(form, form.BitBtn2, false);
  form.BitBtn2->setText(QStringLiteral("Чтение"));
  Journal().Disconnected();
}
