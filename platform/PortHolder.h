#pragma once
// Who else has a serial device open. Programs that lock a port the way we do are refused by the
// lock itself; a serial terminal or a modem prober that simply opens the device is only seen in
// the kernel's per-process descriptor tables, or in the UUCP lock file that such programs write.
#include <optional>
#include <string>
#include <sys/types.h>

struct TPortHolder {
  pid_t Pid = 0;
  std::string Program; // the process's command name; "?" when it cannot be read
};

// Another living process that holds the device at `path` (a link is followed) open, or that a
// lock file /run/lock/LCK..<name> names. This process is never a holder (a second open of ours
// is refused by the lock), and neither is a process that holds the master of a pseudo-terminal:
// that is the far end of the line, even when it keeps the slave open as well. Processes whose
// descriptor tables this user may not read are not seen.
std::optional<TPortHolder> FindPortHolder(const std::string &path);

// Where the UUCP lock files are looked for; a test may point it at a directory of its own.
std::string &UucpLockDirectory();
