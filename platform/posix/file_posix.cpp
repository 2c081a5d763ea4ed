#include "platform/posix/file_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <utility>

namespace kesu::platform {

namespace {

// Marker bytes for the sharing emulation, far beyond the end of any real
// file: a shared lock on a marker announces "I read", "I write", "I deny
// reading" or "I deny writing". Locks beyond the end of a file are allowed and
// do not change its length.
constexpr off_t kMarkerBase = LLONG_MAX - 8;
enum Marker { kReading = 0, kWriting = 1, kDenyingRead = 2, kDenyingWrite = 3 };

bool Announce(int fd, Marker marker) {
    struct flock lock = {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kMarkerBase + marker;
    lock.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// True when another open file description announces `marker`. Our own
// announcements never conflict with our own test.
bool OthersAnnounce(int fd, Marker marker) {
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kMarkerBase + marker;
    lock.l_len = 1;
    if (fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
    return lock.l_type != F_UNLCK;
}

struct Access {
    bool read = false;
    bool write = false;
    bool deny_read = false;
    bool deny_write = false;
};

// Opens `path` with `flags` for the access asked and announces it; -1 when
// the file cannot be opened so, is a directory, or sharing excludes the
// open.
int OpenAnnounced(const std::string& path, int flags, const Access& a) {
    // Write-only modes still open for reading where permissions allow: the
    // sharing announcements are read locks, which need a readable descriptor.
    // The File object refuses reads that the mode does not grant.
    int fd = open(path.c_str(), flags | (a.write ? O_RDWR : O_RDONLY), 0666);
    if (fd < 0 && a.write && !a.read && errno == EACCES) {
        fd = open(path.c_str(), flags | O_WRONLY, 0666);
    }
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return -1;
    }

    // Announce first, then look for conflicts: two openers racing each other
    // may both be refused, but never both admitted.
    bool announced = (!a.read || Announce(fd, kReading)) && (!a.write || Announce(fd, kWriting)) &&
                     (!a.deny_read || Announce(fd, kDenyingRead)) &&
                     (!a.deny_write || Announce(fd, kDenyingWrite));
    if (announced) {
        bool conflict = (a.read && OthersAnnounce(fd, kDenyingRead)) ||
                        (a.write && OthersAnnounce(fd, kDenyingWrite)) ||
                        (a.deny_read && OthersAnnounce(fd, kReading)) ||
                        (a.deny_write && OthersAnnounce(fd, kWriting));
        if (conflict) {
            close(fd);  // releases our announcements with the description
            return -1;
        }
    }
    return fd;
}

// A new, empty file beside `target` under a hidden name that no other file
// has; -1 when the directory refuses it. Its name goes to `*temp`.
int CreateBeside(const std::string& target, std::string* temp) {
    auto slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    // Room for the dot and the suffix within the longest name a directory
    // takes.
    if (base.size() > 200) base.resize(200);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temp = dir + "." + base + "." + std::to_string(random()) + ".part";
        int fd = open(temp->c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

struct Replacement {
    int fd = -1;         // the new file
    int target_fd = -1;  // the target's own description, -1 when it is new
    std::string temp;    // the new file's name
};

// Prepares to replace `target`, whose status is `existing` (null when there
// is no such file yet). False when the target may not be written or the
// directory takes no new file.
bool OpenReplacing(const std::string& target, const struct stat* existing, const Access& a,
                   Replacement* r) {
    bool exists = existing != nullptr;
    // The target's own description carries the sharing announcements, so
    // other openers of the target see this one while it writes; opening it
    // also checks that the user may write to it.
    if (exists) {
        r->target_fd = OpenAnnounced(target, O_CLOEXEC, a);
        if (r->target_fd < 0) return false;
    }
    r->fd = CreateBeside(target, &r->temp);
    if (r->fd < 0) {
        if (r->target_fd >= 0) close(r->target_fd);
        return false;
    }
    if (exists) {
        // The new file takes the place of the old one with its permissions
        // and, where this process may give it, its owner.
        fchmod(r->fd, existing->st_mode & 07777);
        if (geteuid() == 0 && fchown(r->fd, existing->st_uid, existing->st_gid) != 0) {
            // Best effort: the content matters more than the owner.
        }
    }
    return true;
}

class PosixFile final : public File {
  public:
    PosixFile(int fd, bool can_read, bool can_write);
    ~PosixFile() override;
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    bool CanRead() const override { return can_read_; }
    bool CanWrite() const override { return can_write_; }
    int64_t Position() const override;
    int64_t Length() const override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Read(void* buffer, size_t count) override;
    bool Write(const void* data, size_t count) override;

    // For a file that replaces its target when closed: the target's own
    // description, which holds the sharing announcements while the new
    // content is written (-1 when the target did not exist), and the two
    // names.
    void ReplaceOnClose(int target_fd, std::string temp_path, std::string target_path) {
        target_fd_ = target_fd;
        temp_path_ = std::move(temp_path);
        target_path_ = std::move(target_path);
    }

  private:
    int fd_;
    bool can_read_;
    bool can_write_;
    int target_fd_ = -1;
    std::string temp_path_;
    std::string target_path_;
    bool write_failed_ = false;
};

}  // namespace

std::unique_ptr<File> PosixFiles::Open(const std::string& path, FileMode mode,
                                       FileSharing sharing) {
    if (path.empty()) return nullptr;
    Access a;
    a.read =
        mode == FileMode::kRead || mode == FileMode::kReadWrite || mode == FileMode::kReadWriteKeep;
    a.write = mode != FileMode::kRead;
    a.deny_read = sharing == FileSharing::kDenyRead || sharing == FileSharing::kExclusive;
    a.deny_write = sharing == FileSharing::kDenyWrite || sharing == FileSharing::kExclusive;
    bool create = mode == FileMode::kCreate || mode == FileMode::kWriteKeep ||
                  mode == FileMode::kReadWriteKeep;

    if (mode == FileMode::kCreate) {
        struct stat st;
        std::string target;
        bool replace = false;
        bool exists = stat(path.c_str(), &st) == 0;
        if (exists) {
            // A link is followed: the file it names is the one replaced.
            char* real = realpath(path.c_str(), nullptr);
            replace = real && S_ISREG(st.st_mode) && st.st_nlink == 1;
            if (real) target = real;
            std::free(real);
        } else if (errno == ENOENT && lstat(path.c_str(), &st) != 0) {
            // Missing, and not a dangling link (which is written through).
            replace = true;
            target = path;
        }
        if (replace) {
            Replacement r;
            if (!OpenReplacing(target, exists ? &st : nullptr, a, &r)) return nullptr;
            auto file = std::make_unique<PosixFile>(r.fd, false, true);
            file->ReplaceOnClose(r.target_fd, std::move(r.temp), std::move(target));
            return file;
        }
    }

    int fd = OpenAnnounced(path, O_CLOEXEC | (create ? O_CREAT : 0), a);
    if (fd < 0) return nullptr;
    if (mode == FileMode::kCreate && ftruncate(fd, 0) != 0) {
        close(fd);
        return nullptr;
    }
    return std::make_unique<PosixFile>(fd, a.read, a.write);
}

PosixFile::PosixFile(int fd, bool can_read, bool can_write)
    : fd_(fd), can_read_(can_read), can_write_(can_write) {}

PosixFile::~PosixFile() {
    if (!temp_path_.empty()) {
        // The new content takes the target's place only when all of it was
        // written and has reached the disk.
        bool complete = !write_failed_ && fsync(fd_) == 0 &&
                        rename(temp_path_.c_str(), target_path_.c_str()) == 0;
        if (!complete) unlink(temp_path_.c_str());
    }
    close(fd_);
    if (target_fd_ >= 0) close(target_fd_);
}

int64_t PosixFile::Position() const {
    return lseek(fd_, 0, SEEK_CUR);
}

int64_t PosixFile::Length() const {
    struct stat st;
    return fstat(fd_, &st) == 0 ? st.st_size : -1;
}

int64_t PosixFile::Seek(int64_t offset, SeekOrigin origin) {
    return lseek(fd_, offset, origin == SeekOrigin::kBegin ? SEEK_SET : SEEK_END);
}

int64_t PosixFile::Read(void* buffer, size_t count) {
    if (!can_read_) return -1;
    size_t done = 0;
    while (done < count) {
        ssize_t n = read(fd_, static_cast<char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

bool PosixFile::Write(const void* data, size_t count) {
    if (!can_write_) return false;
    size_t done = 0;
    while (done < count) {
        ssize_t n = write(fd_, static_cast<const char*>(data) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            write_failed_ = true;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace kesu::platform
