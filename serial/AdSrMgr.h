#pragma once
// The reader of the "STR0" string tables that hold the serial layer's messages.
#include "platform/ModuleResources.h"
#include "runtime/Exception.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// A string table that cannot be found, loaded or trusted, or (for an insisting reader) an id
// it lacks. The message is one of the reader's own messages 1..5 ("ADSRMGR_STRINGS").
class EKvsStringResourceError : public Exception {
public:
  using Exception::Exception;
};

// Numbers of the reader's own messages.
constexpr uint32_t srStringNotFound = 1;   // "String not found: %d"
constexpr uint32_t srCannotLock = 2;       // "Cannot lock resource"
constexpr uint32_t srResourceNotFound = 3; // "String resource not found: %s"
constexpr uint32_t srCannotOpen = 4;       // "Unable to open string resource: %s"
constexpr uint32_t srInvalidResource = 5;  // "Invalid KVString resource"

class TAdStringResource {
public:
  // Opens the resource of type 10 named resourceName (at most 255 characters) in instance (its
  // language module first), else in the program's own module, and checks that the whole table
  // lies inside the resource. Raises EKvsStringResourceError (3 not found, 4 not loadable,
  // 5 damaged).
  TAdStringResource(TModuleHandle instance, std::string_view resourceName, bool insistOnEveryId = false);
  TAdStringResource(const TAdStringResource &) = delete;
  TAdStringResource &operator=(const TAdStringResource &) = delete;
  ~TAdStringResource();

  // The text of id as UTF-8; empty when the table lacks it (an insisting reader raises message
  // 1 instead). Safe to call from several threads at once.
  std::string GetString(uint32_t id) const;

  const std::string &ResourceName() const { return Name; }

private:
  std::string Name;
  bool InsistOnEveryId;
  std::span<const unsigned char> Bytes;
  uint32_t Count = 0;
};

// The two process-wide tables. InitializeStringResources creates both (raising
// EKvsStringResourceError when one is missing or damaged) and FinalizeStringResources frees
// them; the serial layer's start and end call them (TSerialLayerScope). Both may be called
// again; a lookup before initialisation initialises on demand.
void InitializeStringResources();
void FinalizeStringResources();
bool StringResourcesInitialized();

// Text of the layer's message table ("SERX_ERROR_STRINGS_ENGLISH") or of the reader's own
// messages ("ADSRMGR_STRINGS") for an id; empty when absent.
std::string SerxErrorString(uint32_t id);
std::string AdSrMgrString(uint32_t id);

// Initialises the serial layer for the life of the object: the program's main creates one
// before any port is used and destroys it at the end.
class TSerialLayerScope {
public:
  TSerialLayerScope() { InitializeStringResources(); }
  ~TSerialLayerScope() { FinalizeStringResources(); }
  TSerialLayerScope(const TSerialLayerScope &) = delete;
  TSerialLayerScope &operator=(const TSerialLayerScope &) = delete;
};
