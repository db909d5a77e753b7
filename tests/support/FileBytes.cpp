#include "tests/support/FileBytes.h"

#include <fstream>
#include <sstream>

std::string FileBytes(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}
