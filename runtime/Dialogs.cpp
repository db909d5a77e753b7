#include "runtime/Dialogs.h"

#include <cstdio>
#include <utility>

namespace {

// Until the program installs its boxes, speak on the standard error stream so nothing is lost.
MessageBoxHandler &MessageHandler() {
  static MessageBoxHandler handler = [](const std::string &text, const std::string &, int) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return static_cast<int>(mbOK);
  };
  return handler;
}

ErrorBoxHandler &ErrorHandler() {
  static ErrorBoxHandler handler = [](const std::string &message) { std::fprintf(stderr, "%s\n", message.c_str()); };
  return handler;
}

NoticeHandler &NoticeHandlerSlot() {
  static NoticeHandler handler = [](const std::string &text) { std::fprintf(stderr, "%s\n", text.c_str()); };
  return handler;
}

} // namespace

int ShowMessageBox(const std::string &text, const std::string &caption, int buttons) {
  return MessageHandler()(text, caption, buttons);
}

void ShowErrorBox(const std::string &message) { ErrorHandler()(message); }

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) { return std::exchange(MessageHandler(), std::move(handler)); }

ErrorBoxHandler SetErrorBoxHandler(ErrorBoxHandler handler) { return std::exchange(ErrorHandler(), std::move(handler)); }

void ShowNotice(const std::string &text) { NoticeHandlerSlot()(text); }

NoticeHandler SetNoticeHandler(NoticeHandler handler) { return std::exchange(NoticeHandlerSlot(), std::move(handler)); }
