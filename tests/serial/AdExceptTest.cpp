#include "serial/AdExcept.h"

#include "platform/OsErrorText.h"
#include "serial/AdSrMgr.h"
#include "tests/serial/SerxMessages.h"

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
};

#define CASE(code, Class, Branch)                                                                            \
  { code, typeid(Class), IsIn<Branch> }
const TClassCase classCases[] = {
    CASE(-1002, EBadArgument, EGeneral),
    CASE(-1003, EGotQuitMsg, EGeneral),
    CASE(-1004, EBufferTooBig, EGeneral),
    CASE(-1005, EPortNotAssigned, EGeneral),
    CASE(-1006, EInternal, EGeneral),
    CASE(-1007, EModemNotAssigned, EGeneral),
    CASE(-1008, EPhonebookNotAssigned, EGeneral),
    CASE(-1009, ECannotUseWithWinSock, EGeneral),
    CASE(-2001, EBadId, EOpenComm),
    CASE(-2002, EBaudRate, EOpenComm),
    CASE(-2003, EByteSize, EOpenComm),
    CASE(-2004, EDefault, EOpenComm),
    CASE(-2005, EHardware, EOpenComm),
    CASE(-2006, EMemory, EOpenComm),
    CASE(-2007, ECommNotOpen, EOpenComm),
    CASE(-2008, EAlreadyOpen, EOpenComm),
    CASE(-2009, ENoHandles, EOpenComm),
    CASE(-2010, ENoTimers, EOpenComm),
    CASE(-2011, ENoPortSelected, EOpenComm),
    CASE(-2012, ENotOpenedByTapi, EOpenComm),
    CASE(-3001, ENullApi, ESerialIO),
    CASE(-3003, ERegisterHandlerFailed, ESerialIO),
    CASE(-3004, EPutBlockFail, ESerialIO),
    CASE(-3005, EGetBlockFail, ESerialIO),
    CASE(-3006, EOutputBufferTooSmall, ESerialIO),
    CASE(-3007, EBufferIsEmpty, ESerialIO),
    CASE(-3008, ETracingNotEnabled, ESerialIO),
    CASE(-3009, ELoggingNotEnabled, ESerialIO),
    CASE(-3010, EBaseAddressNotSet, ESerialIO),
    CASE(-4001, EModem4001, EModem),
    CASE(-4002, EModem4002, EModem),
    CASE(-4003, EModem4003, EModem),
    CASE(-4004, EModem4004, EModem),
    CASE(-4005, EModem4005, EModem),
    CASE(-4006, EModem4006, EModem),
    CASE(-4007, EModem4007, EModem),
    CASE(-4008, EModem4008, EModem),
    CASE(-5002, ETriggerTooLong, ETrigger),
    CASE(-5003, EBadTriggerHandle, ETrigger),
    CASE(-6006, EProtocol6006, EProtocol),
    CASE(-6008, EProtocol6008, EProtocol),
    CASE(-6009, EProtocol6009, EProtocol),
    CASE(-7001, EIniDatabase, EINI),
    CASE(-7014, EIniDatabase, EINI),
    CASE(-8001, EFaxFailure, EFax),
    CASE(-8070, EFaxFailure, EFax),
    CASE(-13801, ETapiFailure, ETapi),
    CASE(-13942, ETapiFailure, ETapi),
    CASE(-13980, ERasLoadFail, ERas),
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
      // The text of the code's row of the message table; none where it has no row.
      const char *message = SerxMessage(static_cast<uint32_t>(-c.Code));
      EXPECT_EQ(e.Message, message ? message : "") << c.Code;
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
