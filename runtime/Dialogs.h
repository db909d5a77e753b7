#pragma once
// The two modal seams of the runtime, and the one that is not modal. The program installs the
// real boxes at start; a test installs its own handler to answer and record them.
#include <functional>
#include <string>

// Buttons of a message box, combined with |; the result is the one button pressed.
enum TMsgDlgBtn { mbOK = 1, mbCancel = 2, mbYes = 4, mbNo = 8 };

using MessageBoxHandler = std::function<int(const std::string &text, const std::string &caption, int buttons)>;
using ErrorBoxHandler = std::function<void(const std::string &message)>;
using NoticeHandler = std::function<void(const std::string &text)>;

// Shows a modal message box (caption empty: the program's title) and returns the button pressed.
int ShowMessageBox(const std::string &text, const std::string &caption = {}, int buttons = mbOK);

// The standard error box: shows an exception that escaped an event action.
void ShowErrorBox(const std::string &message);

// A notice that takes no click and holds nothing: shown beside the window, never over it, and
// never waited for. For what goes wrong around the work (the journal), not in it.
void ShowNotice(const std::string &text);

// Installs a handler and returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
ErrorBoxHandler SetErrorBoxHandler(ErrorBoxHandler handler);
NoticeHandler SetNoticeHandler(NoticeHandler handler);
