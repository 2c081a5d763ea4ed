#include "platform/posix/port_claim.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kesu::platform {
namespace {

bool AllDigits(const char* s) {
    if (*s == '\0') return false;
    for (; *s != '\0'; ++s) {
        if (*s < '0' || *s > '9') return false;
    }
    return true;
}

// The PID a lock file names, 0 when it holds none: ASCII (HDB) locks as written by every current
// program, or the 4-byte binary PID of very old ones.
pid_t LockOwner(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return 0;
    char text[32] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n == 4 && (text[0] != ' ' && (text[0] < '0' || text[0] > '9'))) {
        int32_t binary = 0;
        std::memcpy(&binary, text, sizeof binary);
        return binary > 0 ? binary : 0;
    }
    if (n <= 0) return 0;
    const long pid = std::strtol(text, nullptr, 10);
    return pid > 0 ? static_cast<pid_t>(pid) : 0;
}

bool ProcessExists(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace

std::string LockDirectory() {
    if (const char* dir = std::getenv("KESU_LOCK_DIR"); dir != nullptr && *dir != '\0') {
        return dir;
    }
    return "/run/lock";
}

std::string LockFileName(const std::string& device_path) {
    std::string name = device_path;
    if (name.rfind("/dev/", 0) == 0) {
        name.erase(0, 5);
    } else if (const size_t slash = name.rfind('/'); slash != std::string::npos) {
        name.erase(0, slash + 1);
    }
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    return "LCK.." + name;
}

bool OpenedByOtherProcess(dev_t rdev) {
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return false;
    const std::string self = std::to_string(::getpid());
    bool found = false;
    while (!found) {
        const dirent* process = ::readdir(proc);
        if (process == nullptr) break;
        if (!AllDigits(process->d_name) || self == process->d_name) continue;
        const std::string fd_dir = std::string("/proc/") + process->d_name + "/fd";
        DIR* fds = ::opendir(fd_dir.c_str());
        if (fds == nullptr) continue;  // gone meanwhile, or another user's
        while (const dirent* entry = ::readdir(fds)) {
            if (!AllDigits(entry->d_name)) continue;
            struct stat info {};
            if (::fstatat(::dirfd(fds), entry->d_name, &info, 0) == 0 && S_ISCHR(info.st_mode) &&
                info.st_rdev == rdev) {
                found = true;
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return found;
}

UucpLock::Outcome UucpLock::Take(const std::string& device_path, std::optional<UucpLock>& lock) {
    lock.reset();
    const std::string dir = LockDirectory();
    const std::string path = dir + "/" + LockFileName(device_path);
    char content[16];
    std::snprintf(content, sizeof content, "%10d\n", static_cast<int>(::getpid()));
    // Written under a private name first and then linked into place, so that another program
    // never reads a half-written lock and two takers cannot both succeed.
    const std::string temp =
        dir + "/.kesu." + std::to_string(::getpid()) + "." + LockFileName(device_path);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return Outcome::Unavailable;
    const bool written = ::write(fd, content, 11) == 11;
    ::close(fd);
    if (!written) {
        ::unlink(temp.c_str());
        return Outcome::Unavailable;
    }
    Outcome outcome = Outcome::Unavailable;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::link(temp.c_str(), path.c_str()) == 0) {
            outcome = Outcome::Taken;
            break;
        }
        if (errno != EEXIST) break;
        // A lock of this process can only be left over (this process holds each port once,
        // which flock ensures), so it is stale like a dead one.
        const pid_t owner = LockOwner(path);
        if (owner != 0 && owner != ::getpid() && ProcessExists(owner)) {
            outcome = Outcome::InUse;
            break;
        }
        ::unlink(path.c_str());
    }
    ::unlink(temp.c_str());
    if (outcome == Outcome::Taken) lock.emplace(UucpLock(path));
    return outcome;
}

UucpLock::UucpLock(UucpLock&& other) noexcept : path_(std::move(other.path_)) {
    other.path_.clear();
}

UucpLock::~UucpLock() {
    // Only a lock that still names this process is removed: one taken over meanwhile is not ours.
    if (!path_.empty() && LockOwner(path_) == ::getpid()) {
        ::unlink(path_.c_str());
    }
}

}  // namespace kesu::platform
