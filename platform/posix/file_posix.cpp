#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/files.h"

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

}  // namespace

std::unique_ptr<File> File::Open(const std::string& utf8_path, FileMode mode, FileSharing sharing) {
    if (utf8_path.empty()) return nullptr;
    bool read =
        mode == FileMode::kRead || mode == FileMode::kReadWrite || mode == FileMode::kReadWriteKeep;
    bool write = mode != FileMode::kRead;
    bool create = mode == FileMode::kCreate || mode == FileMode::kWriteKeep ||
                  mode == FileMode::kReadWriteKeep;
    bool deny_read = sharing == FileSharing::kDenyRead || sharing == FileSharing::kExclusive;
    bool deny_write = sharing == FileSharing::kDenyWrite || sharing == FileSharing::kExclusive;

    int flags = O_CLOEXEC | (create ? O_CREAT : 0);
    // Write-only modes still open for reading where permissions allow: the
    // sharing announcements are read locks, which need a readable descriptor.
    // The File object refuses reads that the mode does not grant.
    int fd = open(utf8_path.c_str(), flags | (write ? O_RDWR : O_RDONLY), 0666);
    if (fd < 0 && write && !read && errno == EACCES) {
        fd = open(utf8_path.c_str(), flags | O_WRONLY, 0666);
    }
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return nullptr;
    }

    // Announce first, then look for conflicts: two openers racing each other
    // may both be refused, but never both admitted.
    bool announced = (!read || Announce(fd, kReading)) && (!write || Announce(fd, kWriting)) &&
                     (!deny_read || Announce(fd, kDenyingRead)) &&
                     (!deny_write || Announce(fd, kDenyingWrite));
    if (announced) {
        bool conflict = (read && OthersAnnounce(fd, kDenyingRead)) ||
                        (write && OthersAnnounce(fd, kDenyingWrite)) ||
                        (deny_read && OthersAnnounce(fd, kReading)) ||
                        (deny_write && OthersAnnounce(fd, kWriting));
        if (conflict) {
            close(fd);  // releases our announcements with the description
            return nullptr;
        }
    }
    if (mode == FileMode::kCreate && ftruncate(fd, 0) != 0) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<File>(new File(fd, read, write));
}

File::File(int fd, bool can_read, bool can_write)
    : fd_(fd), can_read_(can_read), can_write_(can_write) {}

File::~File() {
    close(fd_);
}

int64_t File::Position() const {
    return lseek(fd_, 0, SEEK_CUR);
}

int64_t File::Length() const {
    struct stat st;
    return fstat(fd_, &st) == 0 ? st.st_size : -1;
}

int64_t File::Seek(int64_t offset, SeekOrigin origin) {
    return lseek(fd_, offset, origin == SeekOrigin::kBegin ? SEEK_SET : SEEK_END);
}

int64_t File::Read(void* buffer, size_t count) {
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

bool File::Write(const void* data, size_t count) {
    if (!can_write_) return false;
    size_t done = 0;
    while (done < count) {
        ssize_t n = write(fd_, static_cast<const char*>(data) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace kesu::platform
