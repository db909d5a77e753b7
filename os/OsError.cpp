#include "os/OsError.h"

#include <cerrno>

namespace {

// Which ways a pair is read: an OS error's errno (its system text), or the OS error a failed
// device or file operation reports for an errno. The first pair that fits a question answers it.
enum : uint8_t {
  ToErrno = 1,
  FromDeviceErrno = 2,
  FromFileErrno = 4,
};

struct TOsErrno {
  uint32_t OsError;
  int Errno;
  uint8_t Ways;
};

constexpr TOsErrno osErrnos[] = {
    {1, ENOSYS, ToErrno},                                                 // invalid function
    {ErrorFileNotFound, ENOENT, ToErrno | FromDeviceErrno},               // file not found
    {ErrorFileNotFound, ENXIO, FromDeviceErrno},                          //
    {ErrorFileNotFound, ENODEV, FromDeviceErrno},                         //
    {ErrorFileNotFound, EISDIR, FromDeviceErrno},                         //
    {ErrorPathNotFound, ENOENT, ToErrno | FromFileErrno},                 // path not found
    {ErrorPathNotFound, ENOTDIR, FromDeviceErrno},                        //
    {ErrorPathNotFound, ENAMETOOLONG, FromDeviceErrno},                   //
    {ErrorPathNotFound, ELOOP, FromDeviceErrno},                          //
    {ErrorTooManyOpenFiles, EMFILE, ToErrno | FromDeviceErrno},           // too many open files
    {ErrorTooManyOpenFiles, ENFILE, FromDeviceErrno},                     //
    {ErrorAccessDenied, EACCES, ToErrno | FromFileErrno},                 // access denied
    {ErrorAccessDenied, EBUSY, FromDeviceErrno},                          //
    {ErrorInvalidHandle, EBADF, ToErrno | FromDeviceErrno},               // invalid handle
    {ErrorNotEnoughMemory, ENOMEM, ToErrno | FromDeviceErrno},            // not enough memory
    {ErrorInvalidAccess, EACCES, ToErrno | FromDeviceErrno},              // may not be opened by this user
    {ErrorInvalidAccess, EPERM, FromDeviceErrno},                         //
    {ErrorInvalidAccess, EROFS, FromDeviceErrno},                         //
    {14, ENOMEM, ToErrno},                                                // out of memory
    {15, ENODEV, ToErrno},                                                // invalid drive
    {19, EROFS, ToErrno},                                                 // write protected
    {20, ENODEV, ToErrno},                                                // bad unit
    {21, EAGAIN, ToErrno},                                                // not ready
    {23, EIO, ToErrno},                                                   // data error (CRC)
    {25, ESPIPE, ToErrno},                                                // seek error
    {29, EIO, ToErrno},                                                   // write fault
    {30, EIO, ToErrno},                                                   // read fault
    {ErrorGenFailure, EIO, ToErrno},                                      // device not functioning
    {32, EBUSY, ToErrno},                                                 // sharing violation
    {33, ENOLCK, ToErrno},                                                // lock violation
    {38, ENODATA, ToErrno},                                               // reached the end of the file
    {39, ENOSPC, ToErrno},                                                // disk full
    {50, EOPNOTSUPP, ToErrno},                                            // not supported
    {55, ENODEV, ToErrno},                                                // device no longer available
    {80, EEXIST, ToErrno},                                                // file exists
    {ErrorInvalidParameter, EINVAL, ToErrno | FromDeviceErrno},           // invalid parameter
    {109, EPIPE, ToErrno},                                                // broken pipe
    {110, EIO, ToErrno},                                                  // open failed
    {111, ENAMETOOLONG, ToErrno},                                         // buffer overflow (name too long)
    {112, ENOSPC, ToErrno},                                               // disk full
    {122, ERANGE, ToErrno},                                               // insufficient buffer
    {123, EINVAL, ToErrno},                                               // invalid name
    {161, ENOENT, ToErrno},                                               // bad path name
    {183, EEXIST, ToErrno},                                               // already exists
    {206, ENAMETOOLONG, ToErrno},                                         // file name too long
    {ErrorOperationAborted, ECANCELED, ToErrno},                          // operation aborted
    {997, EINPROGRESS, ToErrno},                                          // I/O pending
    {1117, EIO, ToErrno},                                                 // I/O device error
    {1167, ENXIO, ToErrno},                                               // device not connected
    {1460, ETIMEDOUT, ToErrno},                                           // timeout
};

int OsErrorFor(int err, uint8_t way, int otherwise) {
  for (const TOsErrno &pair : osErrnos)
    if ((pair.Ways & way) && pair.Errno == err)
      return static_cast<int>(pair.OsError);
  return otherwise;
}

} // namespace

int OsErrorForErrno(int err) { return OsErrorFor(err, FromDeviceErrno, ErrorGenFailure); }

int OsErrorForFileErrno(int err) { return OsErrorFor(err, FromFileErrno, ErrorFileNotFound); }

int ErrnoForOsError(uint32_t osError) {
  for (const TOsErrno &pair : osErrnos)
    if ((pair.Ways & ToErrno) && pair.OsError == osError)
      return pair.Errno;
  return 0;
}
