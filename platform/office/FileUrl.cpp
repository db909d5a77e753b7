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

std::filesystem::path FileUrlPath(const std::string &url) {
  const std::string scheme = "file://";
  if (url.rfind(scheme, 0) != 0)
    return {};
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9')
      return c - '0';
    if (c >= 'A' && c <= 'F')
      return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
      return c - 'a' + 10;
    return -1;
  };
  std::string path;
  for (size_t i = scheme.size(); i < url.size(); ++i) {
    if (url[i] == '%' && i + 2 < url.size() && digit(url[i + 1]) >= 0 && digit(url[i + 2]) >= 0) {
      path += static_cast<char>(digit(url[i + 1]) * 16 + digit(url[i + 2]));
      i += 2;
    } else {
      path += url[i];
    }
  }
  return path;
}
