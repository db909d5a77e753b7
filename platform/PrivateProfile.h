#pragma once
// The private-profile (INI file) service, behaving on hand-edited files as the Windows service
// does: "[Section]" lines, then "Key=value" lines.
//
// Reading: section and key names match without regard to (ASCII) case; blanks and tabs around
// names, "=" and values do not count; one matching outer pair of double or single quotes around
// a value goes. A line starting with ";" is a comment; text after "]" is ignored; a line without
// "=" is no key; keys before the first section are invisible; the first of duplicate sections and
// keys wins. Lines end in CR LF, LF or CR; a UTF-8 byte-order mark is ignored. A value is cut to
// its first 2047 characters. A missing or unreadable file, section or key gives the default, and
// reading creates nothing.
//
// A file of the stand-in Windows directory has an administrator's defaults under it: a key it
// lacks (or a whole section) is read from the same name in each of SystemDirectories(), the
// first that has it winning. Writing only ever touches the file named.
//
// Writing keeps every other line of the file byte for byte; the file is replaced through a
// temporary file, so a failure leaves it as it was. Failures raise EInOutError.
#include <string>
#include <string_view>

constexpr size_t kMaxProfileValueLength = 2047;

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string &fileName);

// An existing key's line becomes "Key=value" CR LF (the file's spelling of the key); a new key
// goes after the last key line of its section; a new section goes at the end of the file; a
// missing file becomes "[Section]" CR LF "Key=value" CR LF. Names that would not read back
// (empty, with blanks around them or a line end in them, a key holding "=" or starting with ";"
// or "[", a section holding "]") and values holding a line end are refused with EInOutError
// (EINVAL).
void WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string &fileName);
