#include "tests/support/QtApp.h"

#include "main/Application.h"
#include "runtime/Dialogs.h"
#include "tests/support/TestApplication.h"

TApplication &TestApp() { return TestApplication<TApplication>(); }

namespace {
MessageBoxHandler previousMessage;
ErrorBoxHandler previousError;
NoticeHandler previousNotice;
} // namespace

BoxRecorder::BoxRecorder() {
  previousMessage = SetMessageBoxHandler([this](const std::string &text, const std::string &, int) {
    Messages.push_back(text);
    return static_cast<int>(mbOK);
  });
  previousError = SetErrorBoxHandler([this](const std::string &message) { Errors.push_back(message); });
  previousNotice = SetNoticeHandler([this](const std::string &text) { Notices.push_back(text); });
}

BoxRecorder::~BoxRecorder() {
  SetMessageBoxHandler(previousMessage);
  SetErrorBoxHandler(previousError);
  SetNoticeHandler(previousNotice);
}
