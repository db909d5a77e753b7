#pragma once
// The runtime's fixed-point formatting, "%<width>.<decimals>f" as the tool's texts use it.
#include <string>

// The value rounded to the given number of decimals, blanks on the left up to width characters,
// with the decimal separator of the user's locale (LC_NUMERIC, as Qt's system locale reports it):
// FormatFixed(2.5098, 3, 2) is "2.51" or "2,51".
std::string FormatFixed(double value, int width, int decimals);
