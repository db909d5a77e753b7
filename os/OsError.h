#pragma once
// The operating-system error numbers of the system the serial layer and the runtime were
// written for, which the device layer, the port component and the traces report (2 missing
// device, 5 access denied / held by someone else, 87 invalid parameter ...), and the one table
// between them and Linux errno values.
#include <cstdint>

constexpr int ErrorFileNotFound = 2;
constexpr int ErrorPathNotFound = 3;
constexpr int ErrorTooManyOpenFiles = 4;
constexpr int ErrorAccessDenied = 5; // held by another open, ours or another program's
constexpr int ErrorInvalidHandle = 6;
constexpr int ErrorNotEnoughMemory = 8;
constexpr int ErrorInvalidAccess = 12; // this user may not open the device
constexpr int ErrorGenFailure = 31;    // the device went away (hang-up, adapter unplugged)
constexpr int ErrorInvalidParameter = 87;
constexpr int ErrorOperationAborted = 995;

// The OS error of a failed device operation (open, line state, read, write); ErrorGenFailure
// for an errno without one.
int OsErrorForErrno(int err);
// The OS error of a file that could not be created or opened for writing: a missing folder on
// the way is "path not found", no permission "access denied"; ErrorFileNotFound otherwise.
int OsErrorForFileErrno(int err);
// The errno that stands for an OS error number; 0 when there is none.
int ErrnoForOsError(uint32_t osError);
