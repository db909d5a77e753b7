#pragma once
#include <QString>

#include <exception>
#include <optional>
#include <string>

class TForm1;

// Creates ComPort on first use and applies the station's line settings.
void ConfigurePort(TForm1 &form);
// Closes ComPort if open, points it at ComNumber and opens it (the serial layer raises when it
// cannot).
void ReopenPort(TForm1 &form);
// "Подключиться": open the line, handshake, and on an answer enable the working panels.
void ConnectStation(TForm1 &form);
// "Отключиться": tell the station, close the line, disable the working panels.
void DisconnectStation(TForm1 &form);

// The message window's line for a port that did not open: the COM port, the device tried and
// what to do (a missing device, a device this user may not open). nullopt for other failures;
// a busy port names its holder instead.
std::optional<QString> OpenFailureLine(const std::exception &error, int comNumber, const std::string &device);
