#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The one integer conversion of the tool: leading blanks, then "+"/"-" and decimal digits, or a
// hexadecimal number after "$", "x", "X", "0x" or "0X"; the digits run to the end and the value
// fits a signed 32-bit integer. Anything else raises EConvertError
// "'<text>' is not a valid integer value".
int32_t StrToInt(std::string_view text);

// The same conversion without raising: false for any text StrToInt refuses.
bool TryStrToInt(std::string_view text, int32_t &value);
