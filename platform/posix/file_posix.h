#pragma once

// Files on the POSIX file system.
//
// The file system has no notion of sharing, so it is emulated with
// open-file-description locks on marker bytes far beyond any real file
// content: every opener announces the access it holds and the access it
// denies, and an open that conflicts with an announcement of another opener
// fails. Openers in one process and in different processes exclude each other
// alike.
//
// A file opened with kCreate is written beside its target, under a hidden
// temporary name, and replaces the target when it is closed, with the
// target's permissions. When a write failed, closing discards what was
// written and leaves the target as it was (or absent). A target that is not a
// plain file with one name (a device, a file with several hard links) is
// emptied and written in place instead.

#include "platform/files.h"

namespace kesu::platform {

class PosixFiles final : public Files {
  public:
    std::unique_ptr<File> Open(const std::string& path, FileMode mode,
                               FileSharing sharing) override;
};

}  // namespace kesu::platform
