#include "platform/office/FileUrl.h"

std::string FileUrl(const std::filesystem::path &path) {
  static const char hex[] = "0123456789ABCDEF";
  const std::string text = std::filesystem::absolute(path).lexically_normal().string();
  std::string url = "file://";
  for (const unsigned char c : text) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += hex[c >> 4];
      url += hex[c & 15];
    }
  }
  return url;
}
