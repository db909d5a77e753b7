#include "platform/office/XlsActiveSheet.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// An .xls is a compound file; its "Workbook" stream holds the records, and the first WINDOW1
// record names the active sheet (itabCur).
constexpr uint32_t EndOfChain = 0xFFFFFFFE;
constexpr uint16_t Window1 = 0x003D;
constexpr size_t MaxFile = 256u << 20;

class TCompoundFile {
public:
  explicit TCompoundFile(std::string bytes) : bytes_(std::move(bytes)) {}

  bool Stream(const char16_t *name, std::string &out) {
    static const unsigned char signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (bytes_.size() < 512 || std::memcmp(bytes_.data(), signature, 8) != 0)
      return false;
    const unsigned shift = U16(0x1E), miniShift = U16(0x20);
    if (shift < 7 || shift > 16 || miniShift > shift)
      return false;
    sector_ = size_t(1) << shift;
    miniSector_ = size_t(1) << miniShift;
    // The FAT: its sectors are listed in the header (and in DIFAT sectors beyond 109).
    std::vector<uint32_t> fatSectors;
    for (int i = 0; i < 109; ++i)
      fatSectors.push_back(U32(0x4C + 4 * i));
    uint32_t difat = U32(0x44);
    for (uint32_t n = U32(0x48); n > 0 && difat < EndOfChain; --n) {
      const size_t at = Offset(difat);
      if (at + sector_ > bytes_.size())
        return false;
      for (size_t i = 0; i + 1 < sector_ / 4; ++i)
        fatSectors.push_back(U32(at + 4 * i));
      difat = U32(at + sector_ - 4);
    }
    fatSectors.resize(std::min<size_t>(fatSectors.size(), U32(0x2C)));
    for (const uint32_t s : fatSectors) {
      const size_t at = Offset(s);
      if (at + sector_ > bytes_.size())
        return false;
      for (size_t i = 0; i < sector_ / 4; ++i)
        fat_.push_back(U32(at + 4 * i));
    }
    const std::string directory = Chain(U32(0x30), fat_, SIZE_MAX, false);
    for (size_t at = 0; at + 128 <= directory.size(); at += 128) {
      const size_t nameBytes = Le(directory, at + 0x40, 2);
      const uint8_t type = static_cast<uint8_t>(directory[at + 0x42]);
      const uint32_t start = static_cast<uint32_t>(Le(directory, at + 0x74, 4));
      const size_t size = Le(directory, at + 0x78, 4);
      if (at == 0) { // the root entry: the mini stream lives in its chain
        mini_ = Chain(start, fat_, size, false);
        miniFat_.clear();
        const std::string miniFatBytes = Chain(U32(0x3C), fat_, SIZE_MAX, false);
        for (size_t i = 0; i + 4 <= miniFatBytes.size(); i += 4)
          miniFat_.push_back(static_cast<uint32_t>(Le(miniFatBytes, i, 4)));
        continue;
      }
      if (type != 2 || nameBytes < 2 || nameBytes > 64 || !SameName(directory, at, nameBytes / 2 - 1, name))
        continue;
      out = size < U32(0x38) ? Chain(start, miniFat_, size, true) : Chain(start, fat_, size, false);
      return out.size() == size;
    }
    return false;
  }

private:
  static size_t Le(const std::string &b, size_t at, int n) {
    size_t v = 0;
    for (int i = n - 1; i >= 0; --i)
      v = (v << 8) | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
    return v;
  }
  uint32_t U32(size_t at) const {
    return at + 4 <= bytes_.size() ? static_cast<uint32_t>(Le(bytes_, at, 4)) : EndOfChain;
  }
  unsigned U16(size_t at) const { return static_cast<unsigned>(Le(bytes_, at, 2)); }
  size_t Offset(uint32_t s) const { return (static_cast<size_t>(s) + 1) * sector_; }

  static bool SameName(const std::string &d, size_t at, size_t length, const char16_t *name) {
    for (size_t i = 0; i < length; ++i)
      if (!name[i] || Le(d, at + 2 * i, 2) != name[i])
        return false;
    return name[length] == 0;
  }

  // Follows a chain of sectors (or of mini sectors in the mini stream), at most size bytes;
  // a chain longer than the table has entries is broken and ends there.
  std::string Chain(uint32_t s, const std::vector<uint32_t> &table, size_t size, bool mini) const {
    std::string out;
    const size_t unit = mini ? miniSector_ : sector_;
    for (size_t steps = 0; s < EndOfChain && s < table.size() && steps <= table.size() && out.size() < size;
         ++steps) {
      const std::string &from = mini ? mini_ : bytes_;
      const size_t at = mini ? static_cast<size_t>(s) * unit : Offset(s);
      if (at + unit > from.size())
        break;
      out.append(from, at, unit);
      s = table[s];
    }
    if (out.size() > size)
      out.resize(size);
    return out;
  }

  std::string bytes_, mini_;
  std::vector<uint32_t> fat_, miniFat_;
  size_t sector_ = 512, miniSector_ = 64;
};

} // namespace

int XlsActiveSheet(const std::filesystem::path &path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > MaxFile)
    return -1;
  std::ifstream in(path, std::ios::binary);
  TCompoundFile file(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
  std::string workbook;
  if (!file.Stream(u"Workbook", workbook) && !file.Stream(u"Book", workbook))
    return -1;
  for (size_t at = 0; at + 4 <= workbook.size();) {
    const unsigned id = static_cast<uint8_t>(workbook[at]) | static_cast<uint8_t>(workbook[at + 1]) << 8;
    const size_t length = static_cast<uint8_t>(workbook[at + 2]) | static_cast<uint8_t>(workbook[at + 3])
                                                                       << 8;
    if (id == Window1 && length >= 12 && at + 4 + length <= workbook.size())
      return static_cast<uint8_t>(workbook[at + 14]) | static_cast<uint8_t>(workbook[at + 15]) << 8;
    at += 4 + length;
  }
  return -1;
}
