// libFuzzer target for the string-table reader: any bytes given as a table must either be
// refused with EKvsStringResourceError or read without leaving the buffer. Run by fuzz/run.sh.
#include "serial/AdSrMgr.h"

#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
  // A heap copy of exactly the input's size, so that the address sanitizer sees any overrun.
  std::unique_ptr<unsigned char[]> bytes(new unsigned char[size ? size : 1]);
  if (size)
    std::memcpy(bytes.get(), data, size);
  const TResourceEntry entry{"FUZZ", rtRcData, bytes.get(), size};
  const TResourceModule module({&entry, 1});
  try {
    TAdStringResource reader(&module, "FUZZ");
    for (uint32_t id = 0; id < 8; ++id)
      reader.GetString(id);
    // Ids taken from the input reach the entries the table really has.
    for (std::size_t at = 8; at + 4 <= size && at < 8 + 12 * 16; at += 12) {
      uint32_t id;
      std::memcpy(&id, data + at, 4);
      reader.GetString(id);
    }
    TAdStringResource insisting(&module, "FUZZ", true);
    insisting.GetString(0);
  } catch (const EKvsStringResourceError &) {
  }
  return 0;
}
