#pragma once
// The message window (Memo1): an operation that reports clears it and appends its lines, so it
// shows the latest operation's text only.
#include <QString>
#include <QStringList>

class TForm1;

void ClearMessages(TForm1 &form);
void AddMessage(TForm1 &form, const QString &line);
QStringList MessageLines(const TForm1 &form);
