#include "link/Connection.h"

#include "link/CommandSet.h"
#include "journal/Journal.h"
#include "link/Exchange.h"
#include "link/Telemetry.h"
#include "link/Trace.h"
#include "main/BenchJournal.h"
#include "main/MessageWindow.h"
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "platform/CommDevice.h"
#include "platform/PortHolder.h"
#include "runtime/Exception.h"
#include "runtime/Sleep.h"
#include "serial/AdExcept.h"
#include "serial/AdPort.h"

#include <chrono>
#include <filesystem>

namespace {

// The device COM<n> opens, as the technician would look for it: the path and, for a link, where
// it leads.
std::string DeviceTried(int number) {
  const std::string path = ComPortPath(number);
  std::error_code ec;
  if (std::filesystem::is_symlink(path, ec)) {
    const auto target = std::filesystem::read_symlink(path, ec);
    if (!ec)
      return path + " → " + target.string();
  }
  return path;
}

std::string LineSettings(const TApdComPort &port) {
  const char parity[] = {'N', 'O', 'E', 'M', 'S'};
  return std::to_string(port.Baud()) + " " + std::to_string(port.DataBits()) +
         parity[static_cast<int>(port.Parity())] + std::to_string(port.StopBits());
}

// The error box says the port is in use; the message window says by whom, so that the
// technician knows which program to close.
void NameThePortHolder(TForm1 &form) {
  const int number = form.MainState.ComNumber;
  const auto holder = FindPortHolder(ComPortPath(number));
  if (!holder)
    return;
  ClearMessages(form);
  AddMessage(form, QStringLiteral("Порт COM%1 занят: %2 (процесс %3)")
                       .arg(number)
                       .arg(QString::fromStdString(holder->Program))
                       .arg(holder->Pid));
}

} // namespace

std::optional<QString> OpenFailureLine(const std::exception &error, int comNumber, const std::string &device) {
  const QString port = QStringLiteral("Порт COM%1").arg(comNumber);
  const QString tried = QString::fromStdString(device);
  if (dynamic_cast<const EBadId *>(&error))
    return port + QStringLiteral(": нет устройства %1. Проверьте, что адаптер подключён и ссылка %2 ведёт на него.")
                      .arg(tried, QString::fromStdString(ComLinkPath(comNumber)));
  if (const auto *io = dynamic_cast<const EInOutError *>(&error); io && io->ErrorCode == ErrorInvalidAccess)
    return port + QStringLiteral(": нет прав на %1. Добавьте себя в группу dialout (sudo usermod -aG dialout "
                                 "$USER) и войдите в систему заново.")
                      .arg(tried);
  return std::nullopt;
}

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
  const int number = form.MainState.ComNumber;
  try {
    ReopenPort(form);
  } catch (const std::exception &e) {
    // The serial layer's error box names the failure; the message window says what to do.
    const std::string device = DeviceTried(number);
    TracePortOpenFailed(number, device, e.what());
    if (dynamic_cast<const EAlreadyOpen *>(&e)) {
      NameThePortHolder(form);
    } else if (const auto line = OpenFailureLine(e, number, device)) {
      ClearMessages(form);
      AddMessage(form, *line);
    }
    throw;
  }
  // Whether this adapter echoes is found anew: it may be another one than last time.
  form.MainState.AdapterEchoes = false;
  form.MainState.EchoesDue = 0;
  PurgeStaleInput(form);
  TracePortOpened(number, DeviceTried(number), LineSettings(*form.MainState.ComPort));
  TJournalNote note = Journal().Connecting(BenchPortName(form.MainState.ComNumber), form.MainState.ModelCode);
  const auto sentAt = std::chrono::steady_clock::now();
  SendToStation(form, Command::Connect);
  uint8_t answer = 0;
  bool answered = ReceiveBlock(form, {&answer, 1}, Budget::Connect);
  bool echoOnly = false;
  if (answered &&
      LooksLikeEcho(Command::Connect, answer, std::chrono::steady_clock::now() - sentAt, Line::Baud)) {
    // That was the adapter giving the byte back; the station's answer, if any, follows it.
    form.MainState.AdapterEchoes = true;
    answered = ReceiveBlock(form, {&answer, 1}, Budget::Connect);
    echoOnly = !answered;
  }
  if (!answered) {
    // The port stays open; the next connect closes and reopens it.
    form.MainState.AdapterEchoes = false;
    ClearMessages(form);
    AddMessage(form, QStringLiteral("Нет соединения со станцией..."));
    if (echoOnly)
      AddMessage(form, QString::fromUtf8(EchoOnlyMessage));
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
  if (form.MainState.AdapterEchoes)
    AddMessage(form, QString::fromUtf8(EchoDroppedMessage));
  EnablePanels(form);
  // A column overwrite or a serial number read that stopped early left its button disabled; a
  // new link is the point where the technician can use them again.
  SetControlEnabled(form, form.BitBtn15, true);
  SetControlEnabled(form, form.BitBtn13, true);
  form.MainState.PollMode = pmDue;
  note.Done();
}

void DisconnectStation(TForm1 &form) {
  DisablePanels(form);
  PurgeStaleInput(form);
  SendToStation(form, Command::Disconnect);
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
