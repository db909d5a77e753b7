#pragma once
// Named resources linked into a module: the stand-in for the resource section of an executable.
// A module is a fixed list of (name, type, bytes); the program's own module holds what the
// build generated into it (the string tables), and a test can build a module of its own.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// Resource type of raw application data.
constexpr uint32_t rtRcData = 10;

struct TResourceEntry {
  std::string_view Name;
  uint32_t Type;
  // Null when the resource exists but cannot be loaded.
  const unsigned char *Data;
  std::size_t Size;
};

class TResourceModule {
public:
  constexpr explicit TResourceModule(std::span<const TResourceEntry> entries) : Entries(entries) {}
  // Names compare without regard to ASCII case, as resource names always have.
  const TResourceEntry *Find(std::string_view name, uint32_t type) const;

  std::span<const TResourceEntry> Entries;
};

using TModuleHandle = const TResourceModule *;

// The program's own module.
TModuleHandle MainInstance();

// The module to search first for a resource of the given module: a loaded language module
// when there is one. This platform has no language modules, so it is the module itself.
TModuleHandle FindResourceModule(TModuleHandle module);

// Finds a named resource of a type; null when the module (or a null module) has none.
const TResourceEntry *FindResource(TModuleHandle module, std::string_view name, uint32_t type);

// The bytes of a found resource; an empty span with a null data pointer when it cannot be loaded.
std::span<const unsigned char> LoadResource(const TResourceEntry &entry);

// The table the build generates for the program's own module (resources/str0gen).
extern const TResourceEntry KstuneProgramResources[];
extern const std::size_t KstuneProgramResourceCount;
