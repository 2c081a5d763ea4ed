// Whether a tty is in use by another program, and the UUCP lock file kesu holds while it has a
// port open.
//
// flock and TIOCEXCL keep out only programs that ask for them; minicom, cu, screen, pyserial and
// root do not. So a port also counts as in use when another process has the device open (as
// fuser finds it, through /proc/<pid>/fd) or when a lock file in the lock directory names it with
// the PID of a process that exists. The lock directory is $KESU_LOCK_DIR, or /run/lock when unset.
//
// A lock file is named LCK.. followed by the device's name under /dev with every '/' turned into
// '_' (LCK..ttyUSB0, LCK..pts_3) and holds the owner's PID as ten characters and a newline. A lock
// whose PID no longer exists is stale and is taken over. When the lock directory cannot be
// written to, the port is used without a lock file: the lock is a courtesy to other programs, and
// the /proc check still keeps kesu off a port they hold.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace kesu::platform {

std::string LockDirectory();

// True when a process other than this one has the character device `rdev` open. Processes this
// user may not look into are not seen, as with fuser.
bool OpenedByOtherProcess(dev_t rdev);

// A UUCP lock file held by this process, removed when the object goes.
class UucpLock {
  public:
    enum class Outcome { Taken, InUse, Unavailable };
    // Takes the lock of the device at `device_path` (a resolved path under /dev, or any other
    // path, whose last component names it then). InUse when a live process holds it; Unavailable
    // when no lock file can be written (then `lock` stays empty and the port may still be used).
    static Outcome Take(const std::string& device_path, std::optional<UucpLock>& lock);

    UucpLock(UucpLock&& other) noexcept;
    UucpLock& operator=(UucpLock&&) = delete;
    UucpLock(const UucpLock&) = delete;
    ~UucpLock();

    const std::string& path() const { return path_; }

  private:
    explicit UucpLock(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

// The lock file name for a device path: LCK..ttyUSB0 for /dev/ttyUSB0.
std::string LockFileName(const std::string& device_path);

}  // namespace kesu::platform
