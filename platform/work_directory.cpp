#include "platform/work_directory.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string_view>

namespace kesu::platform {

namespace {

bool IsDirectory(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Environment(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string HomeDirectory() {
    std::string home = Environment("HOME");
    if (!home.empty()) return home;
    // getpwuid_r keeps the lookup safe on any thread.
    struct passwd pw;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &pw, buffer, sizeof buffer, &found) == 0 && found) return pw.pw_dir;
    return "/";
}

// The documents entry of user-dirs.dirs, written by the desktop as
// XDG_DOCUMENTS_DIR="$HOME/Documents" (a path either absolute or relative to
// the home directory, with backslash escapes for quotes and backslashes).
std::string DocumentsFromUserDirs(const std::string& home) {
    std::string config = Environment("XDG_CONFIG_HOME");
    if (config.empty()) config = home + "/.config";
    std::ifstream in(config + "/user-dirs.dirs");
    constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=\"";
    constexpr std::string_view kHome = "$HOME";
    for (std::string line; std::getline(in, line);) {
        std::string_view l(line);
        while (!l.empty() && (l.front() == ' ' || l.front() == '\t')) l.remove_prefix(1);
        if (!l.starts_with(kKey)) continue;
        l.remove_prefix(kKey.size());
        std::string path;
        if (l.starts_with(kHome)) {
            path = home;
            l.remove_prefix(kHome.size());
        } else if (!l.starts_with("/")) {
            continue;
        }
        for (std::size_t i = 0; i < l.size() && l[i] != '"'; ++i) {
            if (l[i] == '\\' && i + 1 < l.size()) ++i;
            path += l[i];
        }
        return path;
    }
    return std::string();
}

}  // namespace

std::string UserDocumentsDirectory() {
    std::string home = HomeDirectory();
    std::string documents = Environment("XDG_DOCUMENTS_DIR");
    if (!IsDirectory(documents)) documents = DocumentsFromUserDirs(home);
    return IsDirectory(documents) ? documents : home;
}

std::string WorkDirectory(const std::string& program_dir) {
    if (!program_dir.empty() && access(program_dir.c_str(), W_OK) == 0) return program_dir;
    return UserDocumentsDirectory();
}

}  // namespace kesu::platform
