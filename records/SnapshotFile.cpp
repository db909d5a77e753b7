#include "records/SnapshotFile.h"

#include "main/MainState.h"
#include "platform/WindowsDirectory.h"
#include "runtime/Exception.h"
#include "runtime/StrToInt.h"
#include "runtime/TextFile.h"
#include "runtime/TextLines.h"

namespace {

constexpr size_t MaxTokenLength = 32;

bool IsSeparator(char c) { return static_cast<unsigned char>(c) < 33; }


} // namespace

std::string SnapshotPath() { return WindowsDirectory() + "/Opros.txt"; }

void WriteSnapshot(const std::string &path, const TParamValues &values) {
  TextFile file(path);
  file.Rewrite();
  for (int number = 1; number <= ParamCount; ++number)
    file.WriteLn(std::to_string(values[number]));
  file.Close();
}

void ParseSnapshot(std::string_view bytes, TParamValues &values, const std::string &fileName) {
  size_t pos = 0;
  for (int number = 1; number <= ParamCount; ++number) {
    while (pos < bytes.size() && IsSeparator(bytes[pos]))
      ++pos;
    if (pos >= bytes.size()) {
      values[number] = 0;
      continue;
    }
    const size_t start = pos;
    while (pos < bytes.size() && !IsSeparator(bytes[pos]) && pos - start < MaxTokenLength)
      ++pos;
    const std::string token(bytes.substr(start, pos - start));
    int32_t value = 0;
    if (!TryStrToInt(token, value))
      throw EInOutError("Invalid numeric input '" + token + "' in file \"" + fileName + "\"",
                        ioInvalidNumericInput);
    values[number] = static_cast<uint8_t>(value & 0xFF);
    pos = LineAt(bytes, pos).Next;
  }
}

void ReadSnapshot(const std::string &path, TParamValues &values) {
  TextFile file(path);
  file.Reset();
  const std::string bytes = file.ReadToEnd();
  file.Close();
  ParseSnapshot(bytes, values, path);
}
