#include "serial/AdExcept.h"

#include "platform/OsErrorText.h"
#include "serial/AdSrMgr.h"

#include <cstdint>

namespace {

constexpr std::size_t maxMessage = 255;

// Cuts a UTF-8 text after its 255th character, never inside one.
std::string KeepMessageLength(std::string text) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++characters > maxMessage) {
      text.resize(i);
      break;
    }
  return text;
}

template <class E> [[noreturn]] void Raise(int code) { throw E(code); }

struct TClassOfCodes {
  int64_t First; // positive codes, inclusive
  int64_t Last;
  void (*RaiseFor)(int code);
};

constexpr TClassOfCodes classOfCodes[] = {
    {ecBadArgument, ecBadArgument, Raise<EBadArgument>},
    {ecGotQuitMsg, ecGotQuitMsg, Raise<EGotQuitMsg>},
    {ecBufferTooBig, ecBufferTooBig, Raise<EBufferTooBig>},
    {ecPortNotAssigned, ecPortNotAssigned, Raise<EPortNotAssigned>},
    {ecInternal, ecInternal, Raise<EInternal>},
    {ecModemNotAssigned, ecModemNotAssigned, Raise<EModemNotAssigned>},
    {ecPhonebookNotAssigned, ecPhonebookNotAssigned, Raise<EPhonebookNotAssigned>},
    {ecCannotUseWithWinSock, ecCannotUseWithWinSock, Raise<ECannotUseWithWinSock>},

    {ecBadId, ecBadId, Raise<EBadId>},
    {ecBaudRate, ecBaudRate, Raise<EBaudRate>},
    {ecByteSize, ecByteSize, Raise<EByteSize>},
    {ecDefault, ecDefault, Raise<EDefault>},
    {ecHardware, ecHardware, Raise<EHardware>},
    {ecMemory, ecMemory, Raise<EMemory>},
    {ecCommNotOpen, ecCommNotOpen, Raise<ECommNotOpen>},
    {ecAlreadyOpen, ecAlreadyOpen, Raise<EAlreadyOpen>},
    {ecNoHandles, ecNoHandles, Raise<ENoHandles>},
    {ecNoTimers, ecNoTimers, Raise<ENoTimers>},
    {ecNoPortSelected, ecNoPortSelected, Raise<ENoPortSelected>},
    {ecNotOpenedByTapi, ecNotOpenedByTapi, Raise<ENotOpenedByTapi>},

    {ecNullApi, ecNullApi, Raise<ENullApi>},
    {ecRegisterHandlerFailed, ecRegisterHandlerFailed, Raise<ERegisterHandlerFailed>},
    {ecPutBlockFail, ecPutBlockFail, Raise<EPutBlockFail>},
    {ecGetBlockFail, ecGetBlockFail, Raise<EGetBlockFail>},
    {ecOutputBufferTooSmall, ecOutputBufferTooSmall, Raise<EOutputBufferTooSmall>},
    {ecBufferIsEmpty, ecBufferIsEmpty, Raise<EBufferIsEmpty>},
    {ecTracingNotEnabled, ecTracingNotEnabled, Raise<ETracingNotEnabled>},
    {ecLoggingNotEnabled, ecLoggingNotEnabled, Raise<ELoggingNotEnabled>},
    {ecBaseAddressNotSet, ecBaseAddressNotSet, Raise<EBaseAddressNotSet>},

    {4001, 4001, Raise<EModem4001>},
    {4002, 4002, Raise<EModem4002>},
    {4003, 4003, Raise<EModem4003>},
    {4004, 4004, Raise<EModem4004>},
    {4005, 4005, Raise<EModem4005>},
    {4006, 4006, Raise<EModem4006>},
    {4007, 4007, Raise<EModem4007>},
    {4008, 4008, Raise<EModem4008>},
    {ecTriggerTooLong, ecTriggerTooLong, Raise<ETriggerTooLong>},
    {ecBadTriggerHandle, ecBadTriggerHandle, Raise<EBadTriggerHandle>},
    {6006, 6006, Raise<EProtocol6006>},
    {6008, 6008, Raise<EProtocol6008>},
    {6009, 6009, Raise<EProtocol6009>},
    {7001, 7014, Raise<EIniDatabase>},
    {8001, 8070, Raise<EFaxFailure>},
    {13801, 13942, Raise<ETapiFailure>},
    {13980, 13980, Raise<ERasLoadFail>},
};

constexpr int64_t lastRuntimeError = 162;
constexpr int64_t outOfMemory = 8;

} // namespace

EAPDException::EAPDException(int errorCode) : Exception(ErrorMessage(errorCode)), ErrorCode(errorCode) {}

EAPDException::EAPDException(std::string message) : Exception(std::move(message)), ErrorCode(0) {}

std::string OneLineOsText(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (char c : text) {
    const char blank = static_cast<unsigned char>(c) < 32 ? ' ' : c;
    if (!(blank == ' ' && !line.empty() && line.back() == ' '))
      line += blank;
  }
  return line;
}

std::string ErrorMessage(int code) {
  // Computed in 64 bits: the negation of the most negative code does not fit an int.
  const int64_t wide = code;
  const auto id = static_cast<uint32_t>(wide < 0 ? -wide : wide);
  std::string text = KeepMessageLength(SerxErrorString(id));
  if (text.empty())
    text = KeepMessageLength(OneLineOsText(OsErrorText(id)));
  return text;
}

int CheckError(const TApdBaseComponent *component, int code) {
  if (code >= 0 || (component && component->IsLoading()))
    return code;
  const int64_t positive = -static_cast<int64_t>(code);
  for (const TClassOfCodes &entry : classOfCodes)
    if (positive >= entry.First && positive <= entry.Last)
      entry.RaiseFor(code);
  if (positive >= 2 && positive <= lastRuntimeError) {
    if (positive == outOfMemory)
      throw EOutOfMemory();
    throw EInOutError(ErrorMessage(code), static_cast<int>(positive));
  }
  throw EAPDException(std::string("Serx exception"));
}
