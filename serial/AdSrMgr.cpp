#include "serial/AdSrMgr.h"

#include "runtime/Utf8.h"

#include <mutex>

namespace {

constexpr std::size_t headerSize = 8;
constexpr std::size_t entrySize = 12;
constexpr std::size_t maxResourceName = 255;

uint32_t ReadU32(const unsigned char *p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// UTF-16LE text of `units` code units at `p` as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16LeToUtf8(const unsigned char *p, std::size_t units) {
  std::string out;
  out.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    uint32_t u = p[2 * i] | static_cast<uint32_t>(p[2 * i + 1]) << 8;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      uint32_t low = p[2 * i + 2] | static_cast<uint32_t>(p[2 * i + 3]) << 8;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
  }
  return out;
}

// The reader's own messages, for when its table is not (or not yet) available: an error in
// opening that very table must still say what went wrong.
const char *BuiltInMessage(uint32_t id) {
  switch (id) {
  case srStringNotFound:
    return "String not found: %d";
  case srCannotLock:
    return "Cannot lock resource";
  case srResourceNotFound:
    return "String resource not found: %s";
  case srCannotOpen:
    return "Unable to open string resource: %s";
  case srInvalidResource:
    return "Invalid KVString resource";
  default:
    return "";
  }
}

// Puts the argument in place of the first "%d" or "%s". The texts come from a resource, so they
// are never handed to a printf-style formatter.
std::string Substitute(std::string text, std::string_view argument) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == '%' && (text[i + 1] == 'd' || text[i + 1] == 's')) {
      text.replace(i, 2, argument);
      break;
    }
  return text;
}

struct TInstances {
  std::mutex Lock;
  std::shared_ptr<const TAdStringResource> Own;
  std::shared_ptr<const TAdStringResource> Serx;
};

TInstances &Instances() {
  static TInstances instances;
  return instances;
}

std::shared_ptr<const TAdStringResource> CurrentOwn() {
  std::lock_guard lock(Instances().Lock);
  return Instances().Own;
}

[[noreturn]] void RaiseReaderError(uint32_t message, std::string_view argument = {}) {
  std::string text;
  if (auto own = CurrentOwn())
    text = own->GetString(message);
  if (text.empty())
    text = BuiltInMessage(message);
  throw EKvsStringResourceError(Substitute(std::move(text), argument));
}

} // namespace

TAdStringResource::TAdStringResource(TModuleHandle instance, std::string_view resourceName,
                                     bool insistOnEveryId)
    : Name(resourceName), InsistOnEveryId(insistOnEveryId) {
  const TResourceEntry *entry = nullptr;
  if (resourceName.size() <= maxResourceName) {
    entry = FindResource(FindResourceModule(instance), resourceName, rtRcData);
    if (!entry)
      entry = FindResource(MainInstance(), resourceName, rtRcData);
  }
  if (!entry)
    RaiseReaderError(srResourceNotFound, resourceName);
  Bytes = LoadResource(*entry);
  if (!Bytes.data())
    RaiseReaderError(srCannotOpen, resourceName);

  // Everything the lookups will touch must lie inside the resource: a short or lying table is
  // refused here instead of being read past its end later.
  if (Bytes.size() < headerSize || Bytes[0] != 'S' || Bytes[1] != 'T' || Bytes[2] != 'R' || Bytes[3] != '0')
    RaiseReaderError(srInvalidResource);
  Count = ReadU32(Bytes.data() + 4);
  const uint64_t size = Bytes.size();
  if (headerSize + entrySize * static_cast<uint64_t>(Count) > size)
    RaiseReaderError(srInvalidResource);
  for (uint32_t i = 0; i < Count; ++i) {
    const unsigned char *e = Bytes.data() + headerSize + entrySize * i;
    const uint64_t offset = ReadU32(e + 4);
    const uint64_t length = ReadU32(e + 8);
    if (offset + 2 * length > size)
      RaiseReaderError(srInvalidResource);
    // The search needs strictly ascending ids.
    if (i > 0 && ReadU32(e) <= ReadU32(e - entrySize))
      RaiseReaderError(srInvalidResource);
  }
}

TAdStringResource::~TAdStringResource() = default;

std::string TAdStringResource::GetString(uint32_t id) const {
  int64_t low = 0;
  int64_t high = static_cast<int64_t>(Count) - 1;
  while (low <= high) {
    const int64_t middle = (low + high) / 2;
    const unsigned char *e = Bytes.data() + headerSize + entrySize * static_cast<std::size_t>(middle);
    const uint32_t entryId = ReadU32(e);
    if (entryId == id)
      return Utf16LeToUtf8(Bytes.data() + ReadU32(e + 4), ReadU32(e + 8));
    if (entryId < id)
      low = middle + 1;
    else
      high = middle - 1;
  }
  if (InsistOnEveryId)
    RaiseReaderError(srStringNotFound, std::to_string(id));
  return {};
}

namespace {

struct TTables {
  std::shared_ptr<const TAdStringResource> Own;
  std::shared_ptr<const TAdStringResource> Serx;
};

// The installed tables, made first when missing; never null on return.
TTables EnsureTables() {
  TInstances &instances = Instances();
  {
    std::lock_guard lock(instances.Lock);
    if (instances.Own && instances.Serx)
      return {instances.Own, instances.Serx};
  }
  // Built outside the lock: a failure raises through RaiseReaderError, which takes it.
  auto own = std::make_shared<const TAdStringResource>(MainInstance(), "ADSRMGR_STRINGS");
  auto serx = std::make_shared<const TAdStringResource>(MainInstance(), "SERX_ERROR_STRINGS_ENGLISH");
  std::lock_guard lock(instances.Lock);
  if (!instances.Own)
    instances.Own = std::move(own);
  if (!instances.Serx)
    instances.Serx = std::move(serx);
  return {instances.Own, instances.Serx};
}

} // namespace

void InitializeStringResources() { EnsureTables(); }

void FinalizeStringResources() {
  TInstances &instances = Instances();
  std::lock_guard lock(instances.Lock);
  instances.Own.reset();
  instances.Serx.reset();
}

bool StringResourcesInitialized() {
  TInstances &instances = Instances();
  std::lock_guard lock(instances.Lock);
  return instances.Own && instances.Serx;
}

std::string SerxErrorString(uint32_t id) { return EnsureTables().Serx->GetString(id); }

std::string AdSrMgrString(uint32_t id) { return EnsureTables().Own->GetString(id); }
