#include "serial/AdExcept.h"

#include "platform/OsErrorText.h"
#include "serial/AdSrMgr.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <typeindex>

namespace {

// Every test runs with the layer started, as the program does.
class AdExcept : public ::testing::Test {
protected:
  TSerialLayerScope Layer;
};

template <class Branch> bool IsIn(const EAPDException &e) {
  return dynamic_cast<const Branch *>(&e) != nullptr;
}

struct TClassCase {
  int Code;
  std::type_index Class;
  bool (*InBranch)(const EAPDException &);
  const char *Message; // null: the table has no text for the code
};

#define CASE(code, Class, Branch, message)                                                                   \
  { code, typeid(Class), IsIn<Branch>, message }
const TClassCase classCases[] = {
    CASE(-1002, EBadArgument, EGeneral, "Bad argument passed to function"),
    CASE(-1003, EGotQuitMsg, EGeneral, "Got quit message"),
    CASE(-1004, EBufferTooBig, EGeneral, "Terminal buffer greater than 65521"),
    CASE(-1005, EPortNotAssigned, EGeneral, "ComPort component not assigned"),
    CASE(-1006, EInternal, EGeneral, "Internal error creating window class"),
    CASE(-1007, EModemNotAssigned, EGeneral, "Modem component not assigned"),
    CASE(-1008, EPhonebookNotAssigned, EGeneral, "Phonebook component not assigned"),
    CASE(-1009, ECannotUseWithWinSock, EGeneral, "Component not compatible with WinSock"),
    CASE(-2001, EBadId, EOpenComm, "ie_BadId - Specified comport doesn't exist"),
    CASE(-2002, EBaudRate, EOpenComm, "ie_Baudrate - unsupported baud rate"),
    CASE(-2003, EByteSize, EOpenComm, "ie_Bytesize - invalid byte size"),
    CASE(-2004, EDefault, EOpenComm, "ie_Default - error in default parameters"),
    CASE(-2005, EHardware, EOpenComm, "ie_Hardware - Specified comport in use"),
    CASE(-2006, EMemory, EOpenComm, "ie_Memory - unable to allocate queues"),
    CASE(-2007, ECommNotOpen, EOpenComm, "ie_NOpen - device not open"),
    CASE(-2008, EAlreadyOpen, EOpenComm, "ie_Open - device already open"),
    CASE(-2009, ENoHandles, EOpenComm, "No more handles, can't open port"),
    CASE(-2010, ENoTimers, EOpenComm, "No timers available"),
    CASE(-2011, ENoPortSelected, EOpenComm, "The ComNumber property of the TApdComPort has not been set"),
    CASE(-2012, ENotOpenedByTapi, EOpenComm, "Comport was not opened by Tapi"),
    CASE(-3001, ENullApi, ESerialIO, "No device layer specified"),
    CASE(-3003, ERegisterHandlerFailed, ESerialIO, "EnableCommNotification failed"),
    CASE(-3004, EPutBlockFail, ESerialIO, "Failed to put entire block"),
    CASE(-3005, EGetBlockFail, ESerialIO, "Failed to get entire block"),
    CASE(-3006, EOutputBufferTooSmall, ESerialIO, "Output buffer too small for block"),
    CASE(-3007, EBufferIsEmpty, ESerialIO, "Buffer is empty"),
    CASE(-3008, ETracingNotEnabled, ESerialIO, "Tracing not enabled"),
    CASE(-3009, ELoggingNotEnabled, ESerialIO, "Logging not enabled"),
    CASE(-3010, EBaseAddressNotSet, ESerialIO, "Base address not set"),
    CASE(-4001, EModem4001, EModem, nullptr),
    CASE(-4002, EModem4002, EModem, nullptr),
    CASE(-4003, EModem4003, EModem, nullptr),
    CASE(-4004, EModem4004, EModem, nullptr),
    CASE(-4005, EModem4005, EModem, nullptr),
    CASE(-4006, EModem4006, EModem, nullptr),
    CASE(-4007, EModem4007, EModem, nullptr),
    CASE(-4008, EModem4008, EModem, nullptr),
    CASE(-5002, ETriggerTooLong, ETrigger, nullptr),
    CASE(-5003, EBadTriggerHandle, ETrigger, nullptr),
    CASE(-6006, EProtocol6006, EProtocol, nullptr),
    CASE(-6008, EProtocol6008, EProtocol, nullptr),
    CASE(-6009, EProtocol6009, EProtocol, nullptr),
    CASE(-7001, EIniDatabase, EINI, nullptr),
    CASE(-7014, EIniDatabase, EINI, nullptr),
    CASE(-8001, EFaxFailure, EFax, nullptr),
    CASE(-8070, EFaxFailure, EFax, nullptr),
    CASE(-13801, ETapiFailure, ETapi, nullptr),
    CASE(-13942, ETapiFailure, ETapi, nullptr),
    CASE(-13980, ERasLoadFail, ERas, nullptr),
};
#undef CASE

} // namespace

TEST_F(AdExcept, CheckErrorPassesSuccessAndOrdinaryResults) {
  for (int code : {0, 1, 5, 2001, INT_MAX})
    EXPECT_EQ(CheckError(nullptr, code), code);
}

TEST_F(AdExcept, EveryCodeWithAClassRaisesItsOwnClass) {
  for (const TClassCase &c : classCases) {
    try {
      CheckError(nullptr, c.Code);
      ADD_FAILURE() << c.Code << " raised nothing";
    } catch (const EAPDException &e) {
      EXPECT_EQ(std::type_index(typeid(e)), c.Class) << c.Code << " raised " << typeid(e).name();
      EXPECT_TRUE(c.InBranch(e)) << c.Code;
      EXPECT_EQ(e.ErrorCode, c.Code);
      EXPECT_EQ(e.Message, c.Message ? c.Message : "") << c.Code;
      EXPECT_STREQ(e.what(), e.Message.c_str());
    }
  }
}

TEST_F(AdExcept, RuntimeErrorRangeRaisesInOutErrorWithThePositiveCode) {
  const std::pair<int, std::string> cases[] = {
      {-2, "File not found"},
      {-5, "File access denied"},
      {-18, "No more files"},
      {-100, "Attempt to read beyond end of file"},
      {-162, "General failure"},
      {-87, OsErrorText(87)}, // not in the table: the system's text
      {-7, ""},               // neither the table nor the system knows it
  };
  ASSERT_EQ(OsErrorText(87), std::strerror(EINVAL));
  for (const auto &[code, message] : cases) {
    try {
      CheckError(nullptr, code);
      ADD_FAILURE() << code << " raised nothing";
    } catch (const EInOutError &e) {
      EXPECT_EQ(e.Message, message) << code;
      EXPECT_EQ(e.ErrorCode, -code);
    }
  }
  EXPECT_THROW(CheckError(nullptr, -8), EOutOfMemory);
}

TEST_F(AdExcept, AnyOtherNegativeCodeIsTheGenericException) {
  for (int code : {-1, -163, -1001, -1010, -2013, -3002, -3011, -1450, -4000, -4009, -13981, INT_MIN}) {
    try {
      CheckError(nullptr, code);
      ADD_FAILURE() << code << " raised nothing";
    } catch (const EAPDException &e) {
      EXPECT_EQ(std::type_index(typeid(e)), std::type_index(typeid(EAPDException))) << code;
      EXPECT_EQ(e.Message, "Serx exception") << code;
      EXPECT_EQ(e.ErrorCode, 0) << code;
    }
  }
}

TEST_F(AdExcept, AComponentBeingLoadedLetsFailuresPass) {
  TApdBaseComponent component;
  component.SetLoading(true);
  EXPECT_EQ(CheckError(&component, -ecBadId), -ecBadId);
  EXPECT_EQ(CheckError(&component, -8), -8);
  component.SetLoading(false);
  EXPECT_THROW(CheckError(&component, -ecBadId), EBadId);
  EXPECT_EQ(CheckError(&component, 3), 3);
}

TEST_F(AdExcept, ExceptionsFromACodeTakeTheTableElseTheSystemText) {
  EXPECT_EQ(EAPDException(-ecBufferIsEmpty).Message, "Buffer is empty");
  EXPECT_EQ(EAPDException(ecBufferIsEmpty).Message, "Buffer is empty"); // the sign is ignored
  const EAPDException fromOs(-1460);                                    // a timeout, unknown to the table
  EXPECT_EQ(fromOs.Message, std::strerror(ETIMEDOUT));
  EXPECT_EQ(fromOs.ErrorCode, -1460);
  EXPECT_EQ(EAPDException(-99999).Message, "");
  EXPECT_EQ(EAPDException(INT_MIN).Message, "");
  const EAPDException fromText(std::string("Serx exception"));
  EXPECT_EQ(fromText.ErrorCode, 0);
  EXPECT_EQ(fromText.Message, "Serx exception");
}

TEST(OneLineOsText, TurnsControlCharactersIntoSingleBlanks) {
  const std::pair<const char *, const char *> cases[] = {
      {"", ""},
      {"Access is denied.", "Access is denied."},
      {"The parameter is incorrect.\r\n", "The parameter is incorrect. "},
      {"line one\r\nline two", "line one line two"},
      {"a\tb\x01"
       "c",
       "a b c"},
      {"many     blanks \r\n\r\n end", "many blanks end"},
      {"\r\n", " "},
  };
  for (const auto &[text, line] : cases)
    EXPECT_EQ(OneLineOsText(text), line) << text;
}
