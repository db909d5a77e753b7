#pragma once
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
