// libFuzzer target for the snapshot reader: any bytes either fill all 34 values or stop with
// the runtime's I/O error, the same way every time; values read in full, written out as a
// snapshot file is written, read back unchanged. Run by fuzz/run.sh.
#include "main/MainState.h"
#include "records/SnapshotFile.h"
#include "runtime/Exception.h"

#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char *>(data), size);
  TParamValues first, second;
  bool stopped = false;
  try {
    ParseSnapshot(bytes, first, "fuzz");
  } catch (const EInOutError &) {
    stopped = true;
  }
  // The reader is a function of the bytes alone.
  try {
    ParseSnapshot(bytes, second, "fuzz");
    if (stopped)
      std::abort();
  } catch (const EInOutError &) {
    if (!stopped)
      std::abort();
  }
  if (!(first == second))
    std::abort();
  if (!stopped) {
    std::string written;
    for (int number = 1; number <= ParamCount; ++number)
      written += std::to_string(first[number]) + "\r\n";
    TParamValues again;
    ParseSnapshot(written, again, "fuzz");
    if (!(again == first))
      std::abort();
  }
  return 0;
}
