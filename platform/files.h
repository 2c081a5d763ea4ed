#pragma once

// Plain binary file access with open modes and sharing modes, through whichever
// file system the installed platform was given (see platform.h).
//
// Sharing says what other openers of the same file may do while this one has
// it open: an open that conflicts with the access or the sharing of another
// opener fails, whether that opener is in this process or in another one.
// Programs that do not take part (an editor) are not held off.

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

// An open file. Destroying it closes it.
class File {
  public:
    virtual ~File() = default;

    virtual bool CanRead() const = 0;
    virtual bool CanWrite() const = 0;

    // -1 on failure.
    virtual int64_t Position() const = 0;
    virtual int64_t Length() const = 0;
    // The new position, or -1 (position unchanged) on failure.
    virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
    // Bytes read (0 at the end), or -1 on failure, also for a file opened
    // without read access.
    virtual int64_t Read(void* buffer, size_t count) = 0;
    // True when every byte was written; false for a file opened without write
    // access.
    virtual bool Write(const void* data, size_t count) = 0;
};

// A file system.
class Files {
  public:
    virtual ~Files() = default;

    // Opens `path`, the file system's bytes. Null when the file cannot be
    // opened as asked: it is missing where it must exist, it is a directory,
    // permissions refuse it, or another opener's sharing excludes this open
    // (or this open's sharing excludes another opener's access). A refused
    // open changes nothing on disk: a file that mode kCreate would empty is
    // emptied only after the sharing check passed.
    //
    // A file opened with kCreate replaces its target only when it is closed
    // after every write succeeded: a failed save never leaves a partial file
    // (see the backend for how, and for the targets it writes in place).
    virtual std::unique_ptr<File> Open(const std::string& path, FileMode mode,
                                       FileSharing sharing) = 0;
};

// The file system of a platform that was given none: every open fails.
class NoFiles final : public Files {
  public:
    std::unique_ptr<File> Open(const std::string&, FileMode, FileSharing) override {
        return nullptr;
    }
};

}  // namespace kesu::platform
