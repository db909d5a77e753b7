#include "records/ReportAccess.h"

#include "platform/office/DocumentLock.h"
#include "platform/office/StoreFiles.h"
#include "os/FileAccess.h"

#include <filesystem>

namespace fs = std::filesystem;

std::string ReportRefusal(const std::string &path) {
  const fs::path file = fs::absolute(path);
  const std::string name = "\"" + file.filename().string() + "\"";
  std::error_code ec;
  if (!fs::exists(file, ec))
    return {}; // the open says that it is missing
  if (!MayWrite(file))
    return "Отчет " + name +
           " доступен только для чтения: записать в него нельзя. Разрешите запись в файл или выберите "
           "другой и нажмите \"...\" снова.";
  // The record is stored into a new file beside the report (where it really is, past symbolic
  // links), which then replaces it.
  const fs::path real = fs::canonical(file, ec);
  const fs::path folder = real.parent_path();
  if (!MayWrite(folder))
    return "Папка \"" + folder.string() +
           "\" доступна только для чтения: сохранить в ней отчет нельзя. Разрешите запись в папку или "
           "перенесите отчет и нажмите \"...\" снова.";
  if (!MayReplaceInFolder(real, folder))
    return "Отчет " + name + " в папке \"" + folder.string() +
           "\" может заменить только его владелец: в этой папке чужие файлы не заменяются. Перенесите "
           "отчет в другую папку и нажмите \"...\" снова.";
  RemoveDeadStoreFiles(real);
  if (const auto lock = HeldDocumentLock(real))
    return "Отчет " + name + " сейчас открыт для правки: " + LockHolder(*lock) +
           (lock->Time.empty() ? "" : ", с " + lock->Time) +
           ". Закройте его там и нажмите \"...\" снова. В отчет ничего не записано.";
  return {};
}
