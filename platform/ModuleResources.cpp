#include "platform/ModuleResources.h"

namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i]))
      return false;
  }
  return true;
}

} // namespace

const TResourceEntry *TResourceModule::Find(std::string_view name, uint32_t type) const {
  for (const TResourceEntry &entry : Entries)
    if (entry.Type == type && SameName(entry.Name, name))
      return &entry;
  return nullptr;
}

TModuleHandle MainInstance() {
  // Referencing the generated table here keeps its object in the link: nothing else names it.
  static const TResourceModule program({KstuneProgramResources, KstuneProgramResourceCount});
  return &program;
}

TModuleHandle FindResourceModule(TModuleHandle module) { return module; }

const TResourceEntry *FindResource(TModuleHandle module, std::string_view name, uint32_t type) {
  return module ? module->Find(name, type) : nullptr;
}

std::span<const unsigned char> LoadResource(const TResourceEntry &entry) {
  if (!entry.Data)
    return {};
  return {entry.Data, entry.Size};
}
