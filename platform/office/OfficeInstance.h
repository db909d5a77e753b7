#pragma once
// A headless office instance of our own and the UNO connection to it. Every group of remote
// calls runs through Call, which guards it with the watchdog and turns the office's errors into
// Exception with a message.
#include "platform/office/OfficeOptions.h"
#include "platform/office/OfficeProcess.h"
#include "platform/office/Watchdog.h"
#include "runtime/Exception.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <rtl/ustring.hxx>

#include <string>

namespace css = com::sun::star;

std::string ToUtf8(const rtl::OUString &text);
// One named argument of an office call.
css::beans::PropertyValue Property(const char *name, const css::uno::Any &value);
rtl::OUString FromUtf8(const std::string &text);

class TOfficeInstance {
public:
  // Starts the office and connects to it; throws Exception when either fails in time.
  explicit TOfficeInstance(const TOfficeOptions &options = {});
  ~TOfficeInstance();
  TOfficeInstance(const TOfficeInstance &) = delete;
  TOfficeInstance &operator=(const TOfficeInstance &) = delete;

  // Runs f, a group of remote calls, with limit as its time; an error of the office becomes an
  // Exception "<what>: <the office's text>". Once the office has stopped answering or is gone,
  // every call fails at once.
  template <class F>
  auto Call(const std::string &what, std::chrono::milliseconds limit, F f) -> decltype(f());
  template <class F> auto Call(const std::string &what, F f) -> decltype(f()) {
    return Call(what, options_.CallTimeout, f);
  }

  // Loads a document hidden, with macros off; throws Exception when it cannot be loaded.
  css::uno::Reference<css::lang::XComponent> Load(const std::string &path);

  const css::uno::Reference<css::uno::XComponentContext> &Context() const { return context_; }
  const css::uno::Reference<css::frame::XDesktop2> &Desktop() const { return desktop_; }
  const TOfficeOptions &Options() const { return options_; }
  pid_t ProcessGroup() const { return process_.ProcessGroup(); }
  const std::filesystem::path &Profile() const { return process_.Profile(); }
  // False once ended, gone or stopped by the watchdog.
  bool Alive() const;

  // Terminates the office, waits for it with a deadline and kills whatever is left; the profile
  // is removed. Safe to call again.
  void End();

private:
  void Connect();
  [[noreturn]] void Fail(const std::string &what, const rtl::OUString &message);
  void CheckAlive(const std::string &what) const;

  TOfficeOptions options_;
  TOfficeProcess process_;
  TWatchdog watchdog_;
  css::uno::Reference<css::uno::XComponentContext> context_;
  css::uno::Reference<css::frame::XDesktop2> desktop_;
  bool lost_ = false;
  bool ended_ = false;
};

template <class F>
auto TOfficeInstance::Call(const std::string &what, std::chrono::milliseconds limit, F f) -> decltype(f()) {
  CheckAlive(what);
  try {
    TWatchdog::TGuard guard(watchdog_, limit);
    return f();
  } catch (const css::uno::Exception &e) {
    Fail(what, e.Message);
  }
}
