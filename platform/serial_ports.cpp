#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "platform/serial.h"

namespace kesu::platform {

PortInfo SerialPorts::Describe(int) {
    return {};
}

std::string PortInfoText(const PortInfo& info, const char* separator) {
    if (info.device.empty()) {
        return {};
    }
    std::string text = info.device;
    if (!info.resolved.empty() && info.resolved != info.device) {
        text += " -> " + info.resolved;
    }
    text += separator;
    for (const std::string* line : {&info.by_id, &info.adapter}) {
        if (!line->empty()) {
            text += *line + separator;
        }
    }
    return text;
}

std::string DefaultPortDir() {
    if (const char* dir = std::getenv("KESU_PORT_DIR"); dir != nullptr && *dir != '\0') {
        return dir;
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return std::string(home) + "/.config/kesu/ports";
    }
    return {};
}

std::string ComPortPath(int port_number, const std::string& port_dir) {
    if (port_number < 1 || port_number > 100) {
        return {};
    }
    const std::string dir = port_dir.empty() ? DefaultPortDir() : port_dir;
    if (!dir.empty()) {
        // lstat, not stat: an entry that exists but points nowhere still names the port, so the
        // open fails (and the port is not listed) instead of silently falling back to the table.
        std::string entry = dir + "/COM" + std::to_string(port_number);
        struct stat info {};
        if (::lstat(entry.c_str(), &info) == 0) {
            return entry;
        }
    }
    struct Range {
        int first;
        const char* prefix;
    };
    static constexpr Range kTable[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
    for (const Range& range : kTable) {
        if (port_number >= range.first && port_number < range.first + 32) {
            return range.prefix + std::to_string(port_number - range.first);
        }
    }
    return {};
}

}  // namespace kesu::platform
