#include "platform/office/OfficeBridge.h"

#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path ExecutableFolder() {
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec).parent_path();
}

// An installed kstune gets the bridge and the office suite with the package kstune-office; a
// program built from source has its bridge beside it and needs only the office suite.
bool Installed() { return ExecutableFolder() == fs::path("/usr/bin"); }

std::string MissingText(const std::string &what) {
  return "Для работы с отчетом нужен LibreOffice Calc, а его на этом компьютере нет (" + what +
         ").\nУстановите его командой\n    sudo apt-get install " +
         (Installed() ? "kstune-office" : "libreoffice-calc-nogui") +
         "\nи нажмите \"...\" снова. Все остальное в программе работает и без него.";
}

// Beside the program (where the build puts it), then in the installed program's library folder;
// only a development build that asks for it looks in its build folder too. Nothing else: a
// module is code run inside kstune, so it comes only from where kstune itself came from.
fs::path ModulePath() {
  const fs::path folder = ExecutableFolder();
  const fs::path installed = folder.parent_path() / "lib" / "kstune" / "office" / KSTUNE_OFFICE_MODULE_NAME;
  std::error_code ec;
  for (const fs::path &candidate : {folder / KSTUNE_OFFICE_MODULE_NAME, installed})
    if (fs::exists(candidate, ec))
      return candidate;
#ifdef KSTUNE_OFFICE_MODULE
  return fs::path(KSTUNE_OFFICE_MODULE);
#else
  return installed;
#endif
}

// The spreadsheet part of the office, packaged apart from the rest: without it the office
// loads no workbook and says only that it could not detect the file's type.
const char *const CalcLibrary = "libsclo.so";

// The office's absence is told by the loader as a library the module needs that is not there.
bool LibraryMissing(const std::string &loaderError) {
  return loaderError.find("cannot open shared object file: No such file or directory") != std::string::npos;
}

TOfficeBridgeEntry LoadBridge(const fs::path &programDir) {
  static std::mutex mutex;
  static TOfficeBridgeEntry entry = nullptr;
  std::lock_guard lock(mutex);
  std::error_code ec;
  const fs::path launcher = programDir / "oosplash";
  if (!fs::exists(launcher, ec))
    throw EOfficeMissing(MissingText("не найден " + launcher.string()));
  if (!fs::exists(programDir / CalcLibrary, ec))
    throw EOfficeMissing(MissingText("LibreOffice установлен без Calc: не найден " +
                                     (programDir / CalcLibrary).string()));
  if (entry)
    return entry;
  const fs::path module = ModulePath();
  if (!fs::exists(module, ec) && Installed())
    throw EOfficeMissing("Для работы с отчетом нужен пакет kstune-office (связь с LibreOffice Calc).\n"
                         "Установите его командой\n    sudo apt-get install kstune-office\n"
                         "и нажмите \"...\" снова. Все остальное в программе работает и без него.");
  entry = LoadBridgeModule(module);
  return entry;
}

} // namespace

TOfficeBridgeEntry LoadBridgeModule(const std::filesystem::path &module) {
  std::error_code ec;
  if (!fs::exists(module, ec))
    throw Exception("Не найден модуль связи с приложением электронных таблиц " + module.string() +
                    ": программа собрана без него. Установите libreoffice-dev (scripts/deps.sh) и "
                    "соберите программу заново");
  // Loaded once and kept: the instances it makes live until the program ends.
  void *handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char *error = dlerror();
    const std::string reason = error ? error : module.string();
    if (LibraryMissing(reason))
      throw EOfficeMissing(MissingText(reason));
    throw Exception("Не удалось загрузить модуль связи с приложением электронных таблиц " + module.string() +
                    ": " + reason);
  }
  const auto entry = reinterpret_cast<TOfficeBridgeEntry>(dlsym(handle, OfficeBridgeEntry));
  if (!entry)
    throw Exception("Модуль " + module.string() + " не подходит к программе: соберите ее заново");
  return entry;
}

std::unique_ptr<TExcelApplication> NewExcelApplication(const TOfficeOptions &options) {
  const auto entry =
      LoadBridge(options.ProgramDir.empty() ? fs::path(KSTUNE_OFFICE_PROGRAM) : options.ProgramDir);
  return std::unique_ptr<TExcelApplication>(entry(options));
}
