#pragma once

// Plain binary file access with open modes and sharing modes.
//
// Sharing says what other openers of the same file may do while this one has
// it open. The file system has no such notion, so it is emulated with
// open-file-description locks on marker bytes far beyond any real file
// content: every opener announces the access it holds and the access it
// denies, and an open that conflicts with an announcement of another opener
// fails. Openers in one process and in different processes exclude each other
// alike. Programs that do not take part (an editor) are not held off.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kesu::platform {

enum class FileMode : int {
    kRead = 1,           // read; the file must exist
    kWrite = 2,          // write; the file must exist
    kReadWrite = 3,      // read and write; the file must exist
    kCreate = 4,         // write; created, or emptied if it exists
    kWriteKeep = 5,      // write; created if missing, kept if it exists
    kReadWriteKeep = 6,  // read and write; created if missing, kept if it exists
};

enum class FileSharing : int {
    kDenyNone = 1,   // others may read and write
    kDenyRead = 2,   // others may write only
    kDenyWrite = 3,  // others may read only
    kExclusive = 4,  // others may do neither
};

enum class SeekOrigin { kBegin, kEnd };

class File {
  public:
    // Opens `utf8_path`. Null when the file cannot be opened as asked: it is
    // missing where it must exist, it is a directory, permissions refuse it,
    // or another opener's sharing excludes this open (or this open's sharing
    // excludes another opener's access). A refused open changes nothing on
    // disk: a file that mode kCreate would empty is emptied only after the
    // sharing check passed.
    //
    // A file opened with kCreate is written beside its target, under a
    // hidden temporary name, and replaces the target when it is closed, with
    // the target's permissions. When a write failed, closing discards what
    // was written and leaves the target as it was (or absent): a failed save
    // never leaves a partial file. A target that is not a plain file with
    // one name (a device, a file with several hard links) is emptied and
    // written in place instead. `path` is the file system's bytes.
    static std::unique_ptr<File> Open(const std::string& path, FileMode mode, FileSharing sharing);

    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool CanRead() const { return can_read_; }
    bool CanWrite() const { return can_write_; }

    // -1 on failure.
    int64_t Position() const;
    int64_t Length() const;
    // The new position, or -1 (position unchanged) on failure.
    int64_t Seek(int64_t offset, SeekOrigin origin);
    // Bytes read (0 at the end), or -1 on failure, also for a file opened
    // without read access.
    int64_t Read(void* buffer, size_t count);
    // True when every byte was written; false for a file opened without write
    // access.
    bool Write(const void* data, size_t count);

  private:
    File(int fd, bool can_read, bool can_write);
    int fd_;
    bool can_read_;
    bool can_write_;
    // For a file that replaces its target when closed: the target's own
    // description, which holds the sharing announcements while the new
    // content is written (-1 when the target did not exist), the two names,
    // and whether a write failed.
    int target_fd_ = -1;
    std::string temp_path_;
    std::string target_path_;
    bool write_failed_ = false;
};

}  // namespace kesu::platform
