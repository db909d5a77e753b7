// Lookup cost of the string-table reader against a reference measured in the same run: the same
// texts held ready as UTF-8 in a std::map. Prints the ratio (reader time / map time).
#include "serial/AdExcept.h"
#include "serial/AdSrMgr.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> BuildTable(uint32_t count) {
  std::vector<unsigned char> out(8 + 12 * count);
  auto put = [&](std::size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k)
      out[at + k] = static_cast<unsigned char>(v >> (8 * k));
  };
  std::memcpy(out.data(), "STR0", 4);
  put(4, count);
  for (uint32_t i = 0; i < count; ++i) {
    const std::string text = "message number " + std::to_string(2 * i + 1);
    put(8 + 12 * i, 2 * i + 1);
    put(12 + 12 * i, static_cast<uint32_t>(out.size()));
    put(16 + 12 * i, static_cast<uint32_t>(text.size()));
    for (char c : text) {
      out.push_back(static_cast<unsigned char>(c));
      out.push_back(0);
    }
  }
  return out;
}

template <class F> double Seconds(F &&f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
  constexpr uint32_t count = 829;
  constexpr int rounds = 2000;
  const auto bytes = BuildTable(count);
  const TResourceEntry entry{"BENCH", rtRcData, bytes.data(), bytes.size()};
  const TResourceModule module({&entry, 1});
  TAdStringResource reader(&module, "BENCH");
  std::map<uint32_t, std::string> reference;
  for (uint32_t i = 0; i < count; ++i)
    reference[2 * i + 1] = reader.GetString(2 * i + 1);

  std::size_t sink = 0;
  const double readerTime = Seconds([&] {
    for (int r = 0; r < rounds; ++r)
      for (uint32_t id = 0; id < 2 * count + 2; ++id)
        sink += reader.GetString(id).size();
  });
  const double mapTime = Seconds([&] {
    for (int r = 0; r < rounds; ++r)
      for (uint32_t id = 0; id < 2 * count + 2; ++id) {
        auto it = reference.find(id);
        sink += it == reference.end() ? 0 : std::string(it->second).size();
      }
  });
  TSerialLayerScope layer;
  const double messageTime = Seconds([&] {
    for (int r = 0; r < rounds * 100; ++r)
      sink += ErrorMessage(-ecBadId).size();
  });
  const double messageLookups = rounds * 100.0;
  const double readerLookups = rounds * (2.0 * count + 2);
  std::printf("GetString over %u entries: %.3g s per lookup, %.2f x the std::map reference\n", count,
              readerTime / readerLookups, readerTime / mapTime);
  std::printf("ErrorMessage(-2001): %.3g s per call, %.2f x one reference lookup\n",
              messageTime / messageLookups, (messageTime / messageLookups) / (mapTime / readerLookups));
  return sink == 0;
}
