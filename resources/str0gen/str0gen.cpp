// str0gen: the build-time compiler of the string tables.
//
//   str0gen compile <source.txt> <table.str0>
//       Reads a text source (lines `<id> "<text>"`, `#` comments, blank lines) and writes the
//       binary table: "STR0", entry count, entries sorted by id (id, text offset, length in
//       UTF-16 units), then the UTF-16LE texts end to end; every number 32-bit little-endian.
//   str0gen embed <out.cpp> <NAME>=<table.str0> ...
//       Writes a C++ file holding each table as a resource of type 10 under its name, as the
//       table of the program's own module.
//
// Any mistake in a source (bad id, duplicate id, bad quoting or escape, invalid UTF-8) stops
// the build with the file and line.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/Utf8.h"

namespace {

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::vector<uint16_t> Utf8ToUtf16(const std::string &text) {
  std::vector<uint16_t> units;
  std::size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<unsigned char>(text[i]);
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || text.size() - i <= static_cast<std::size_t>(extra))
      throw Failure("invalid UTF-8");
    uint32_t cp = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80)
        throw Failure("invalid UTF-8");
      cp = (cp << 6) | (c & 0x3F);
    }
    static const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      throw Failure("invalid UTF-8");
    if (cp >= 0x10000) {
      cp -= 0x10000;
      units.push_back(static_cast<uint16_t>(0xD800 | (cp >> 10)));
      units.push_back(static_cast<uint16_t>(0xDC00 | (cp & 0x3FF)));
    } else {
      units.push_back(static_cast<uint16_t>(cp));
    }
    i += extra + 1;
  }
  return units;
}

uint32_t ParseHex4(const std::string &s, std::size_t at) {
  if (at + 4 > s.size())
    throw Failure("\\u needs four hexadecimal digits");
  uint32_t value = 0;
  for (std::size_t k = at; k < at + 4; ++k) {
    char c = s[k];
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0)
      throw Failure("\\u needs four hexadecimal digits");
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return value;
}

// One source line `<id> "<text>"` → id and UTF-8 text.
std::pair<uint32_t, std::string> ParseLine(const std::string &line) {
  std::size_t i = 0;
  uint64_t id = 0;
  std::size_t digits = 0;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
    id = id * 10 + static_cast<uint64_t>(line[i++] - '0');
    if (++digits > 10 || id > UINT32_MAX)
      throw Failure("id out of range");
  }
  if (digits == 0)
    throw Failure("line must start with a decimal id");
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
    ++i;
  if (i >= line.size() || line[i] != '"')
    throw Failure("text must be in double quotes");
  ++i;
  std::string text;
  bool closed = false;
  while (i < line.size()) {
    char c = line[i++];
    if (c == '"') {
      closed = true;
      break;
    }
    if (c != '\\') {
      text += c;
      continue;
    }
    if (i >= line.size())
      throw Failure("escape at end of line");
    char e = line[i++];
    switch (e) {
    case '"':
      text += '"';
      break;
    case '\\':
      text += '\\';
      break;
    case 't':
      text += '\t';
      break;
    case 'n':
      text += '\n';
      break;
    case 'r':
      text += '\r';
      break;
    case 'u': {
      uint32_t cp = ParseHex4(line, i);
      i += 4;
      if (cp >= 0xD800 && cp <= 0xDFFF)
        throw Failure("\\u may not name a surrogate");
      AppendUtf8(text, cp);
      break;
    }
    default:
      throw Failure(std::string("unknown escape \\") + e);
    }
  }
  if (!closed)
    throw Failure("missing closing quote");
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
    ++i;
  if (i != line.size())
    throw Failure("text after the closing quote");
  return {static_cast<uint32_t>(id), text};
}

void PutU32(std::string &out, uint32_t v) {
  for (int k = 0; k < 4; ++k)
    out += static_cast<char>((v >> (8 * k)) & 0xFF);
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw Failure(path + ": cannot open");
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out) {
    std::remove(path.c_str());
    throw Failure(path + ": cannot write");
  }
}

std::string Compile(const std::string &sourcePath) {
  std::istringstream source(ReadFile(sourcePath));
  std::map<uint32_t, std::vector<uint16_t>> entries;
  std::string line;
  int number = 0;
  while (std::getline(source, line)) {
    ++number;
    std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#')
      continue;
    try {
      auto [id, text] = ParseLine(line.substr(first));
      if (!entries.emplace(id, Utf8ToUtf16(text)).second)
        throw Failure("duplicate id " + std::to_string(id));
    } catch (const Failure &f) {
      throw Failure(sourcePath + ":" + std::to_string(number) + ": " + f.what());
    }
  }
  std::string out = "STR0";
  PutU32(out, static_cast<uint32_t>(entries.size()));
  uint64_t offset = 8 + 12 * static_cast<uint64_t>(entries.size());
  std::string texts;
  for (const auto &[id, units] : entries) {
    if (offset > UINT32_MAX)
      throw Failure(sourcePath + ": table larger than 4 GiB");
    PutU32(out, id);
    PutU32(out, static_cast<uint32_t>(offset));
    PutU32(out, static_cast<uint32_t>(units.size()));
    for (uint16_t u : units) {
      texts += static_cast<char>(u & 0xFF);
      texts += static_cast<char>(u >> 8);
    }
    offset += 2 * static_cast<uint64_t>(units.size());
  }
  return out + texts;
}

std::string Embed(const std::vector<std::pair<std::string, std::string>> &tables) {
  std::string out = "// Generated by str0gen from resources/*.txt; do not edit.\n"
                    "#include \"platform/ModuleResources.h\"\n\n#include <iterator>\n\nnamespace {\n";
  for (std::size_t t = 0; t < tables.size(); ++t) {
    const std::string &bytes = tables[t].second;
    out += "const unsigned char table" + std::to_string(t) + "[] = {";
    for (std::size_t k = 0; k < bytes.size(); ++k) {
      if (k % 16 == 0)
        out += "\n ";
      out += " " + std::to_string(static_cast<unsigned char>(bytes[k])) + ",";
    }
    out += "\n};\n";
  }
  out += "} // namespace\n\n// Constant-initialised, so that it is complete before any code of the program runs.\nconstinit const TResourceEntry KstuneProgramResources[] = {\n";
  for (std::size_t t = 0; t < tables.size(); ++t)
    out += "    {\"" + tables[t].first + "\", rtRcData, table" + std::to_string(t) + ", sizeof table" +
           std::to_string(t) + "},\n";
  out += "};\nconstinit const std::size_t KstuneProgramResourceCount = std::size(KstuneProgramResources);\n";
  return out;
}

int Usage() {
  std::cerr << "usage: str0gen compile <source.txt> <table.str0>\n"
               "       str0gen embed <out.cpp> <NAME>=<table.str0> ...\n";
  return 2;
}

} // namespace

int main(int argc, char **argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.size() == 3 && args[0] == "compile") {
      WriteFile(args[2], Compile(args[1]));
      return 0;
    }
    if (args.size() >= 3 && args[0] == "embed") {
      std::vector<std::pair<std::string, std::string>> tables;
      for (std::size_t k = 2; k < args.size(); ++k) {
        std::size_t eq = args[k].find('=');
        std::string name = args[k].substr(0, eq);
        if (eq == std::string::npos || name.empty() ||
            name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") != std::string::npos)
          throw Failure("bad table argument '" + args[k] + "' (NAME=file, NAME in capitals)");
        tables.emplace_back(name, ReadFile(args[k].substr(eq + 1)));
      }
      WriteFile(args[1], Embed(tables));
      return 0;
    }
    return Usage();
  } catch (const Failure &f) {
    std::cerr << "str0gen: " << f.what() << "\n";
    return 1;
  }
}
