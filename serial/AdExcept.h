#pragma once
// The serial layer's exceptions and CheckError, which turns a negative result code into one.
#include "runtime/Exception.h"
#include "serial/OoMisc.h"

#include <string>
#include <string_view>

// Every failure of the serial layer. ErrorCode is the negative result code the exception was
// raised for, or 0 for the generic "Serx exception".
class EAPDException : public Exception {
public:
  // Message looked up for the code (see ErrorMessage).
  explicit EAPDException(int errorCode);
  // A message of its own; ErrorCode 0.
  explicit EAPDException(std::string message);

  int ErrorCode;
};

#define KSTUNE_APD_EXCEPTION(Name, Base)                                                                     \
  class Name : public Base {                                                                                 \
  public:                                                                                                    \
    using Base::Base;                                                                                        \
  }

// General errors (-1002 .. -1009).
KSTUNE_APD_EXCEPTION(EGeneral, EAPDException);
KSTUNE_APD_EXCEPTION(EBadArgument, EGeneral);
KSTUNE_APD_EXCEPTION(EGotQuitMsg, EGeneral);
KSTUNE_APD_EXCEPTION(EBufferTooBig, EGeneral);
KSTUNE_APD_EXCEPTION(EPortNotAssigned, EGeneral);
KSTUNE_APD_EXCEPTION(EInternal, EGeneral);
KSTUNE_APD_EXCEPTION(EModemNotAssigned, EGeneral);
KSTUNE_APD_EXCEPTION(EPhonebookNotAssigned, EGeneral);
KSTUNE_APD_EXCEPTION(ECannotUseWithWinSock, EGeneral);

// Errors while opening a port (-2001 .. -2012).
KSTUNE_APD_EXCEPTION(EOpenComm, EAPDException);
KSTUNE_APD_EXCEPTION(EBadId, EOpenComm);
KSTUNE_APD_EXCEPTION(EBaudRate, EOpenComm);
KSTUNE_APD_EXCEPTION(EByteSize, EOpenComm);
KSTUNE_APD_EXCEPTION(EDefault, EOpenComm);
KSTUNE_APD_EXCEPTION(EHardware, EOpenComm);
KSTUNE_APD_EXCEPTION(EMemory, EOpenComm);
KSTUNE_APD_EXCEPTION(ECommNotOpen, EOpenComm);
KSTUNE_APD_EXCEPTION(EAlreadyOpen, EOpenComm);
KSTUNE_APD_EXCEPTION(ENoHandles, EOpenComm);
KSTUNE_APD_EXCEPTION(ENoTimers, EOpenComm);
KSTUNE_APD_EXCEPTION(ENoPortSelected, EOpenComm);
KSTUNE_APD_EXCEPTION(ENotOpenedByTapi, EOpenComm);

// Errors of serial I/O (-3001, -3003 .. -3010).
KSTUNE_APD_EXCEPTION(ESerialIO, EAPDException);
KSTUNE_APD_EXCEPTION(ENullApi, ESerialIO);
KSTUNE_APD_EXCEPTION(ERegisterHandlerFailed, ESerialIO);
KSTUNE_APD_EXCEPTION(EPutBlockFail, ESerialIO);
KSTUNE_APD_EXCEPTION(EGetBlockFail, ESerialIO);
KSTUNE_APD_EXCEPTION(EOutputBufferTooSmall, ESerialIO);
KSTUNE_APD_EXCEPTION(EBufferIsEmpty, ESerialIO);
KSTUNE_APD_EXCEPTION(ETracingNotEnabled, ESerialIO);
KSTUNE_APD_EXCEPTION(ELoggingNotEnabled, ESerialIO);
KSTUNE_APD_EXCEPTION(EBaseAddressNotSet, ESerialIO);

// The branches below cannot arise in this program; they exist so that every code of the
// message table has its class.

// Modem errors, one class per code (-4001 .. -4008).
KSTUNE_APD_EXCEPTION(EModem, EAPDException);
KSTUNE_APD_EXCEPTION(EModem4001, EModem);
KSTUNE_APD_EXCEPTION(EModem4002, EModem);
KSTUNE_APD_EXCEPTION(EModem4003, EModem);
KSTUNE_APD_EXCEPTION(EModem4004, EModem);
KSTUNE_APD_EXCEPTION(EModem4005, EModem);
KSTUNE_APD_EXCEPTION(EModem4006, EModem);
KSTUNE_APD_EXCEPTION(EModem4007, EModem);
KSTUNE_APD_EXCEPTION(EModem4008, EModem);

// Trigger errors.
KSTUNE_APD_EXCEPTION(ETrigger, EAPDException);
KSTUNE_APD_EXCEPTION(ETriggerTooLong, ETrigger);
KSTUNE_APD_EXCEPTION(EBadTriggerHandle, ETrigger);

// Protocol errors, one class per code (-6006, -6008, -6009).
KSTUNE_APD_EXCEPTION(EProtocol, EAPDException);
KSTUNE_APD_EXCEPTION(EProtocol6006, EProtocol);
KSTUNE_APD_EXCEPTION(EProtocol6008, EProtocol);
KSTUNE_APD_EXCEPTION(EProtocol6009, EProtocol);

// INI-database, fax and telephony errors: one class for each range (-7001 .. -7014,
// -8001 .. -8070, -13801 .. -13942); ErrorCode tells the codes apart.
KSTUNE_APD_EXCEPTION(EINI, EAPDException);
KSTUNE_APD_EXCEPTION(EIniDatabase, EINI);
KSTUNE_APD_EXCEPTION(EFax, EAPDException);
KSTUNE_APD_EXCEPTION(EFaxFailure, EFax);
KSTUNE_APD_EXCEPTION(ETapi, EAPDException);
KSTUNE_APD_EXCEPTION(ETapiFailure, ETapi);

// Remote-access errors.
KSTUNE_APD_EXCEPTION(ERas, EAPDException);
KSTUNE_APD_EXCEPTION(ERasLoadFail, ERas);

#undef KSTUNE_APD_EXCEPTION

// Returns code when it is 0 or positive, or while component is being loaded (component may be
// null: no component). Otherwise raises and does not return:
//  - a code with a class of its own raises that class, built from the code;
//  - -162 .. -2: -8 raises EOutOfMemory; the others EInOutError with the message of the
//    positive code and that code as its ErrorCode;
//  - anything else (-1, -1001, -3002, OS errors above 162 …) raises EAPDException
//    "Serx exception" with ErrorCode 0.
int CheckError(const TApdBaseComponent *component, int code);

// The message for a result code (its sign is ignored), at most 255 characters: the layer's
// message table, else the operating system's text for that error number made one line, else
// the empty text.
std::string ErrorMessage(int code);

// An OS text as one line: control characters become blanks, then runs of blanks fold to one.
std::string OneLineOsText(std::string_view text);
