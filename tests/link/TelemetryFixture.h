#pragma once
// The window connected to the simulated station, with helpers for the refresh and its display.
#include "station/StationProtocol.h"
#include "tests/support/WindowFixture.h"

#include <QTest>

#include <algorithm>
#include <array>
#include <cstddef>

class TelemetryTest : public LinkTest {
protected:
  using Clock = std::chrono::steady_clock;

  // Lets the event loop (and so Timer1) run for a while.
  static void Pass(std::chrono::milliseconds time) { QTest::qWait(static_cast<int>(time.count())); }
  static void PassUntil(Clock::time_point at) {
    while (Clock::now() < at)
      QTest::qWait(5);
  }

  // "ЦАП" as the technician sets it: a click that changes the box runs its action once.
  void SetDacDisplay(bool on) {
    if (form->CheckBox1->isChecked() == on)
      return;
    QMetaObject::invokeMethod(form->CheckBox1, "click", Qt::QueuedConnection);
    QCoreApplication::processEvents();
  }

  // Puts the station in a state whose DAC block is exactly these bytes (P1, TUN, CORF, POW, MOD2,
  // MOD1, AF1, VC): transmitting at maximum power, where each output follows a value of its own.
  void SetDacBlock(const std::array<uint8_t, 8> &dac) {
    namespace sp = StationProtocol;
    ASSERT_EQ(dac[7] % 17, 0) << "VC follows the volume in steps of 17";
    TFrontPanel panel;
    panel.Mode = TRadioMode::rmTransmitMax;
    panel.Volume = dac[7] / 17;
    station.SetPanel(panel);
    const std::pair<uint8_t, uint8_t> at[] = {{sp::AddrBias40, dac[0]},        {sp::AddrTune, dac[1]},
                                              {sp::AddrCarrier, dac[2]},       {sp::AddrPower40, dac[3]},
                                              {sp::AddrRefModulation, dac[4]}, {sp::AddrDeviation, dac[5]},
                                              {sp::AddrAudioLevel, dac[6]}};
    for (const auto &[address, value] : at)
      station.SetValue(address, value);
    ASSERT_EQ(station.DacValues(), dac) << "the station's DAC outputs no longer follow its values this way";
  }

  // Arrival times of every byte of this value the station received.
  std::vector<Clock::time_point> Arrivals(uint8_t byte) const {
    std::vector<Clock::time_point> at;
    for (const auto &r : station.ReceivedWithTimes())
      if (r.Byte == byte)
        at.push_back(r.At);
    return at;
  }
  std::size_t Count(uint8_t byte) const { return Arrivals(byte).size(); }
};

// The three DAC lines with '.' standing for the decimal separator.
inline QStringList WithSeparator(QStringList lines, const std::string &separator) {
  for (QString &line : lines)
    line.replace(QLatin1Char('.'), QString::fromStdString(separator));
  return lines;
}
