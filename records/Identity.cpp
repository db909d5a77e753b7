#include "records/Identity.h"

#include "journal/Journal.h"
#include "link/CommandSet.h"
#include "link/Exchange.h"
#include "main/MessageWindow.h"
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "runtime/Sleep.h"
#include "serial/AdPort.h"

void ReadSerialNumber(TForm1 &form) {
  auto &state = form.MainState;
  SetControlEnabled(form, form.BitBtn13, false);
  TJournalNote note(JournalOp::Serial);
  for (uint8_t n = 1; n <= state.SerialNumber.size(); ++n) {
    PurgeStaleInput(form);
    if (!SendAnswered(form, Command::ReadSerial) || !SendAnswered(form, Command::ZeroOperand))
      return;
    SendToStation(form, n);
    Sleep(Pause::SerialByte);
    WaitAnswer(form);
    if (!state.LinkAck)
      return;
    state.SerialNumber[n - 1] = state.LastReply;
  }
  SetControlEnabled(form, form.BitBtn13, true);
  static const char Digits[] = "0123456789ABCDEF";
  QString text;
  for (const uint8_t byte : state.SerialNumber)
    text.append(QChar(Digits[byte >> 4])).append(QChar(Digits[byte & 0x0F]));
  form.Edit8->setText(text);
  note.Done(text);
}

void ReadProcessorDate(TForm1 &form) {
  auto &state = form.MainState;
  PurgeStaleInput(form);
  TJournalNote note(JournalOp::ProcessorDate);
  SendToStation(form, Command::ReadDate);
  // Bytes land in ProcessorDate as they arrive; a cut block leaves those it brought.
  for (uint8_t &byte : state.ProcessorDate) {
    if (!ReceiveBlock(form, {&byte, 1}, Budget::Block)) {
      ClearMessages(form);
      AddMessage(form, QStringLiteral("Нет соединения с радиостанцией..."));
      return;
    }
  }
  QString text = QStringLiteral("Дата: ");
  for (size_t j = 0; j < state.ProcessorDate.size(); ++j) {
    const int value = state.ProcessorDate[j];
    text += (value < 10 ? QStringLiteral("0") : QString()) + QString::number(value);
    if (j < 2) // the year's two halves run together
      text += QStringLiteral(".");
  }
  form.Button1->setText(text);
  note.Done(text);
}
