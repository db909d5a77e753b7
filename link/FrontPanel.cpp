#include "link/FrontPanel.h"

#include "journal/Journal.h"
#include "link/CommandSet.h"
#include "link/Exchange.h"
#include "link/Telemetry.h"
#include "main/UnitMain.h"
#include "runtime/Sleep.h"
#include "serial/AdPort.h"

namespace {

// The button that sends each command: its caption names the press in the journal.
QString CaptionOf(TForm1 &form, uint8_t command) {
  const std::pair<uint8_t, QPushButton *> buttons[] = {
      {Command::ChannelUp, form.BitBtn3},         {Command::ChannelDown, form.BitBtn4},
      {Command::ReceiveMode, form.BitBtn6},       {Command::VolumeUp, form.BitBtn14},
      {Command::VolumeDown, form.BitBtn16},       {Command::TransmitMinPower, form.BitBtn17},
      {Command::TransmitMaxPower, form.BitBtn18}, {Command::Squelch, form.BitBtn19},
      {Command::Scrambler, form.BitBtn20},
  };
  for (const auto &[byte, button] : buttons)
    if (byte == command)
      return button->text();
  return {};
}

} // namespace

void PressFrontPanel(TForm1 &form, uint8_t command) {
  // Queued, never awaited: a byte the station might send back waits in the input until the next
  // command drops it.
  PurgeStaleInput(form);
  SendToStation(form, command);
  Sleep(Pause::AfterPanelKey);
  ArmRefresh(form);
  JournalFrontPanel(command, CaptionOf(form, command));
}

void PressScramblerKey(TForm1 &form) {
  PurgeStaleInput(form);
  SendToStation(form, Command::Scrambler);
  Sleep(Pause::AfterScramblerKey);
  JournalFrontPanel(Command::Scrambler, QStringLiteral("M"));
}
