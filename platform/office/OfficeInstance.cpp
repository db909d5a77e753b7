#include "platform/office/OfficeInstance.h"

#include "platform/office/FileUrl.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/string.hxx>

#include <csignal>
#include <cstdlib>
#include <iterator>
#include <thread>

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

const char *const NotAnswering = "приложение электронных таблиц не отвечало и было остановлено";
const char *const Gone = "приложение электронных таблиц завершило работу";

std::filesystem::path ProgramDir(const TOfficeOptions &options) {
  return options.ProgramDir.empty() ? std::filesystem::path(KSTUNE_OFFICE_PROGRAM) : options.ProgramDir;
}

// The UNO environment of this process, made once: only the bridge to the office runs in it.
Reference<css::uno::XComponentContext> LocalContext(const std::filesystem::path &programDir) {
  static Reference<css::uno::XComponentContext> context;
  if (context.is())
    return context;
  // Without it the bridge finds no type library and the first remote call crashes.
  setenv("URE_BOOTSTRAP", ("vnd.sun.star.pathname:" + (programDir / "fundamentalrc").string()).c_str(), 1);
  // The bridge writes to a pipe whose far end may die at any moment: that must be an error
  // on the call, never a signal that ends the program.
  std::signal(SIGPIPE, SIG_IGN);
  try {
    context = cppu::defaultBootstrap_InitialComponentContext();
  } catch (const css::uno::Exception &e) {
    throw Exception("Не удалось подготовить связь с приложением электронных таблиц: " + ToUtf8(e.Message));
  } catch (const cppu::BootstrapException &e) {
    throw Exception("Не удалось подготовить связь с приложением электронных таблиц: " +
                    ToUtf8(e.getMessage()));
  }
  return context;
}

} // namespace

css::beans::PropertyValue Property(const char *name, const css::uno::Any &value) {
  css::beans::PropertyValue property;
  property.Name = rtl::OUString::createFromAscii(name);
  property.Value = value;
  return property;
}

std::string ToUtf8(const rtl::OUString &text) {
  const rtl::OString bytes = rtl::OUStringToOString(text, RTL_TEXTENCODING_UTF8);
  return std::string(bytes.getStr(), static_cast<size_t>(bytes.getLength()));
}

rtl::OUString FromUtf8(const std::string &text) {
  return rtl::OUString(text.data(), static_cast<sal_Int32>(text.size()), RTL_TEXTENCODING_UTF8);
}

TOfficeInstance::TOfficeInstance(const TOfficeOptions &options)
    : options_(options), process_(ProgramDir(options), options.Launcher),
      watchdog_([this] { process_.Kill(); }) {
  try {
    Connect();
  } catch (...) {
    End();
    throw;
  }
}

TOfficeInstance::~TOfficeInstance() { End(); }

void TOfficeInstance::Connect() {
  const std::string what = "Не удалось запустить приложение электронных таблиц";
  const auto local = LocalContext(ProgramDir(options_));
  const rtl::OUString url =
      "uno:pipe,name=" + FromUtf8(process_.PipeName()) + ";urp;StarOffice.ComponentContext";
  const auto deadline = std::chrono::steady_clock::now() + options_.StartTimeout;
  for (;;) {
    if (!process_.Running())
      throw Exception(what + ": " + Gone);
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      throw Exception(what + ": нет ответа за " + std::to_string(options_.StartTimeout.count() / 1000) +
                      " с");
    try {
      TWatchdog::TGuard guard(watchdog_, left);
      const auto resolver = css::bridge::UnoUrlResolver::create(local);
      context_.set(resolver->resolve(url), UNO_QUERY_THROW);
      desktop_ = css::frame::Desktop::create(context_);
      return;
    } catch (const css::connection::NoConnectException &) {
      // Not listening yet: the launcher is still starting, or restarting on the fresh profile.
    } catch (const css::uno::Exception &e) {
      if (watchdog_.Expired())
        throw Exception(what + ": нет ответа за " + std::to_string(options_.StartTimeout.count() / 1000) +
                        " с");
      // A connection that broke while the office restarted: try again while there is time.
      context_.clear();
      desktop_.clear();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool TOfficeInstance::Alive() const { return !ended_ && !lost_ && process_.Running(); }

void TOfficeInstance::CheckAlive(const std::string &what) const {
  if (ended_)
    throw Exception(what + ": приложение электронных таблиц уже закрыто");
  if (lost_)
    throw Exception(what + ": " + NotAnswering);
  if (!process_.Running())
    throw Exception(what + ": " + Gone);
}

void TOfficeInstance::Fail(const std::string &what, const rtl::OUString &message) {
  if (watchdog_.Expired()) {
    lost_ = true;
    throw Exception(what + ": " + NotAnswering);
  }
  if (!process_.Running()) {
    lost_ = true;
    throw Exception(what + ": " + Gone);
  }
  const std::string text = ToUtf8(message);
  throw Exception(text.empty() ? what : what + ": " + text);
}

Reference<css::lang::XComponent> TOfficeInstance::Load(const std::string &path) {
  const std::string what = "Не удалось открыть файл \"" + path + "\"";
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec))
    throw Exception(what + ": файл не найден");
  const std::string url = FileUrl(path);
  return Call(what, options_.LoadTimeout, [&] {
    const css::beans::PropertyValue properties[] = {
        Property("Hidden", css::uno::Any(true)),
        Property("ReadOnly", css::uno::Any(false)),
        Property("MacroExecutionMode", css::uno::Any(css::document::MacroExecMode::NEVER_EXECUTE)),
        Property("UpdateDocMode", css::uno::Any(css::document::UpdateDocMode::NO_UPDATE)),
    };
    const css::uno::Sequence<css::beans::PropertyValue> args(properties, std::size(properties));
    Reference<css::frame::XComponentLoader> loader(desktop_, UNO_QUERY_THROW);
    Reference<css::lang::XComponent> document =
        loader->loadComponentFromURL(FromUtf8(url), "_blank", 0, args);
    if (!document.is())
      throw Exception(what + ": файл не удалось прочитать");
    return document;
  });
}

void TOfficeInstance::End() {
  if (ended_)
    return;
  // Only an instance that was told to terminate is given time to do so; one that never
  // answered (a stuck start) or stopped answering is killed at once.
  bool told = false;
  if (!lost_ && desktop_.is() && process_.Running()) {
    try {
      TWatchdog::TGuard guard(watchdog_, options_.CallTimeout);
      desktop_->terminate();
      told = true;
    } catch (const css::uno::Exception &) {
      // The connection goes down with the office; a late answer is no error.
      told = !watchdog_.Expired();
    }
  }
  ended_ = true;
  desktop_.clear();
  context_.clear();
  process_.End(told ? options_.CallTimeout : std::chrono::milliseconds(0));
}
