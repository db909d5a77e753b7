#include "records/ReportAccess.h"

#include "platform/office/DocumentLock.h"

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Root may write anything, but a file or folder without any write permission was made
// read-only on purpose, and the office itself treats it so.
bool Writable(const fs::path &path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || access(path.c_str(), W_OK) != 0)
    return false;
  return geteuid() != 0 || (st.st_mode & 0222) != 0;
}

} // namespace

std::string ReportRefusal(const std::string &path) {
  const fs::path file = fs::absolute(path);
  const std::string name = "\"" + file.filename().string() + "\"";
  std::error_code ec;
  if (!fs::exists(file, ec))
    return {}; // the open says that it is missing
  if (!Writable(file))
    return "Отчет " + name +
           " доступен только для чтения: записать в него нельзя. Разрешите запись в файл или выберите "
           "другой и нажмите \"...\" снова.";
  // The record is stored into a new file beside the report (where it really is, past symbolic
  // links), which then replaces it.
  const fs::path folder = fs::canonical(file, ec).parent_path();
  if (!Writable(folder))
    return "Папка \"" + folder.string() +
           "\" доступна только для чтения: сохранить в ней отчет нельзя. Разрешите запись в папку или "
           "перенесите отчет и нажмите \"...\" снова.";
  if (const auto lock = ReadDocumentLock(file)) {
    if (IsStaleOwnLock(*lock)) {
      fs::remove(DocumentLockPath(file), ec);
      return {};
    }
    return "Отчет " + name + " сейчас открыт для правки: " + LockHolder(*lock) +
           (lock->Time.empty() ? "" : ", с " + lock->Time) +
           ". Закройте его там и нажмите \"...\" снова. В отчет ничего не записано.";
  }
  return {};
}
