#include "os/OsErrorReason.h"

#include <cerrno>
#include <cstring>

namespace {

struct TReason {
  int Errno;
  const char *Text;
};

constexpr TReason Reasons[] = {
    {ENOSPC, "нет места на диске"},
    {EDQUOT, "превышена дисковая квота"},
    {EFBIG, "файл слишком велик"},
    {EACCES, "нет прав доступа"},
    {EPERM, "операция не разрешена"},
    {EROFS, "файловая система доступна только для чтения"},
    {ENOENT, "файл или папка не найдены"},
    {ENOTDIR, "часть пути не является папкой"},
    {EISDIR, "это папка"},
    {EIO, "ошибка ввода-вывода"},
    {EBUSY, "файл занят"},
    {EXDEV, "файл на другом диске"},
    {ENAMETOOLONG, "слишком длинное имя файла"},
    {EMFILE, "открыто слишком много файлов"},
    {ENFILE, "открыто слишком много файлов"},
    {ENOMEM, "недостаточно памяти"},
    {ETXTBSY, "файл занят"},
    {ESTALE, "файл на сетевом диске больше недоступен"},
};

} // namespace

std::string OsErrorReason(int err) {
  for (const TReason &reason : Reasons)
    if (reason.Errno == err)
      return reason.Text;
  char buffer[256];
  return strerror_r(err, buffer, sizeof buffer);
}
