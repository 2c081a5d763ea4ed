#pragma once

// Where the program works: the directory that file dialogs start in and that
// relative names are read from.

#include <string>

namespace kesu::platform {

// `program_dir` (file system bytes) when the user may write there, as for a
// program run from its build tree; otherwise, as for an installed program in
// /usr/bin, the user's own directory (see UserDocumentsDirectory).
std::string WorkDirectory(const std::string& program_dir);

// The user's documents directory: $XDG_DOCUMENTS_DIR, else the one that
// user-dirs.dirs in the user's configuration directory names, when that
// directory exists; otherwise the home directory ($HOME, else the password
// database's).
std::string UserDocumentsDirectory();

}  // namespace kesu::platform
