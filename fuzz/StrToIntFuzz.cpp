// libFuzzer target for the integer conversion: any text is either a number that reads back the
// same when written out again, or refused with the runtime's conversion message; the raising and
// the non-raising forms always agree. Run by fuzz/run.sh.
#include "runtime/Exception.h"
#include "runtime/StrToInt.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  int32_t value = 0;
  const bool ok = TryStrToInt(text, value);
  try {
    if (StrToInt(text) != value || !ok)
      std::abort();
    // A number's own decimal and hexadecimal spellings read back as that number.
    int32_t again = 0;
    if (!TryStrToInt(std::to_string(value), again) || again != value)
      std::abort();
    char hex[16];
    std::snprintf(hex, sizeof hex, "$%x", static_cast<unsigned>(value));
    if (value >= 0 && (!TryStrToInt(hex, again) || again != value))
      std::abort();
  } catch (const EConvertError &e) {
    if (ok || e.Message != "'" + text + "' is not a valid integer value")
      std::abort();
  }
  return 0;
}
