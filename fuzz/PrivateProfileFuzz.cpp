// libFuzzer target for the private-profile reader: any bytes as an options file. Every lookup
// gives the default or a value of at most the longest value's length; asking again gives the same
// answer; and a key written into the file is read back at once, so a changed file is never
// answered from an earlier reading. Run by fuzz/run.sh.
#include "platform/PrivateProfile.h"
#include "runtime/Exception.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string &FileName() {
  static const std::string name = [] {
    // In memory where possible: the writer syncs every file it replaces.
    const char *tmp = std::getenv("TMPDIR");
    const std::string dir = tmp && *tmp ? tmp : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return dir + "/kstune-fuzz-" + std::to_string(getpid()) + ".ini";
  }();
  static const bool removedAtExit = std::atexit([] { unlink(name.c_str()); }) == 0;
  (void)removedAtExit;
  return name;
}

size_t Characters(const std::string &text) {
  size_t n = 0;
  for (unsigned char c : text)
    n += (c & 0xC0) != 0x80;
  return n;
}

// Names to look up: what the file's own lines would call a section or a key, and a few fixed ones.
std::vector<std::pair<std::string, std::string>> Lookups(const std::string &bytes) {
  std::vector<std::string> sections{"All"}, keys{"Poz", "Port"};
  size_t begin = 0;
  while (begin < bytes.size() && sections.size() + keys.size() < 12) {
    size_t end = bytes.find_first_of("\r\n", begin);
    if (end == std::string::npos)
      end = bytes.size();
    const std::string line = bytes.substr(begin, end - begin);
    if (!line.empty() && line[0] == '[')
      sections.push_back(
          line.substr(1, line.find(']') == std::string::npos ? std::string::npos : line.find(']') - 1));
    else if (line.find('=') != std::string::npos)
      keys.push_back(line.substr(0, line.find('=')));
    begin = end + 1;
  }
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const auto &s : sections)
    for (const auto &k : keys)
      pairs.emplace_back(s, k);
  return pairs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  std::ofstream(FileName(), std::ios::binary | std::ios::trunc) << bytes;
  const char *const none = "\x01none";
  for (const auto &[section, key] : Lookups(bytes)) {
    const std::string value = GetPrivateProfileString(section, key, none, FileName());
    if (value != none && Characters(value) > kMaxProfileValueLength)
      std::abort();
    if (GetPrivateProfileString(section, key, none, FileName()) != value)
      std::abort();
  }
  // The same size each time, so only the file's identity and times can tell the readings apart.
  static unsigned writes = 0;
  const std::string written = "w" + std::to_string(writes++ % 10);
  try {
    WritePrivateProfileString("Fz", "Key", written, FileName());
  } catch (const EInOutError &) {
    std::abort(); // valid names and value into a writable file
  }
  if (GetPrivateProfileString("fz", "KEY", none, FileName()) != written)
    std::abort();
  return 0;
}
