#include "platform/OsErrorText.h"

#include <cerrno>
#include <cstring>

std::string OsErrorText(uint32_t osError) {
  int err = ErrnoForOsError(osError);
  if (err == 0)
    return {};
  char buffer[256];
  // The GNU strerror_r may return a static text instead of filling the buffer.
  const char *text = strerror_r(err, buffer, sizeof buffer);
  return text ? std::string(text) : std::string();
}
