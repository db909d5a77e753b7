#include "runtime/FormatFixed.h"

#include <QLocale>

#include <algorithm>
#include <charconv>

std::string FormatFixed(double value, int width, int decimals) {
  // Room for the 309 integer digits of the largest double, its sign, point and decimals.
  std::string text(320 + static_cast<std::size_t>(std::max(decimals, 0)), '\0');
  const auto result =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, decimals);
  text.resize(static_cast<std::size_t>(result.ptr - text.data()));
  // to_chars ignores the C library's locale: its point is always '.', replaced here alone.
  if (const auto point = text.find('.'); point != std::string::npos)
    text.replace(point, 1, QLocale::system().decimalPoint().toStdString());
  // Width counts characters, and a separator may take more than one byte of UTF-8.
  const auto characters = static_cast<int>(QString::fromStdString(text).size());
  if (characters < width)
    text.insert(0, static_cast<std::size_t>(width - characters), ' ');
  return text;
}
