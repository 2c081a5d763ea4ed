// Descriptions of the devices behind COM numbers, from the file system and sysfs, without opening
// them: opening a port moves its DTR line, which resets some boards.
#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/posix/serial_posix.h"

namespace kesu::platform {
namespace {

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The stable name of a device under /dev/serial/by-id, which udev makes for USB adapters from
// their vendor, product and serial number.
std::string ByIdName(const std::string& resolved) {
    const std::string dir = "/dev/serial/by-id";
    DIR* entries = ::opendir(dir.c_str());
    if (entries == nullptr) return {};
    std::string found;
    while (const dirent* entry = ::readdir(entries)) {
        if (entry->d_name[0] == '.') continue;
        const std::string link = dir + "/" + entry->d_name;
        if (RealPath(link) == resolved) {
            found = link;
            break;
        }
    }
    ::closedir(entries);
    return found;
}

// "vvvv:pppp maker product" of the USB device a tty belongs to: sysfs links the tty to its
// interface, whose parent directories lead to the device that carries idVendor.
std::string UsbAdapter(const std::string& resolved) {
    const size_t slash = resolved.rfind('/');
    if (slash == std::string::npos) return {};
    std::string dir = RealPath("/sys/class/tty/" + resolved.substr(slash + 1) + "/device");
    for (; dir.size() > 5 && dir.rfind("/sys/", 0) == 0; dir.erase(dir.rfind('/'))) {
        const std::string vendor = FirstLine(dir + "/idVendor");
        if (vendor.empty()) continue;
        std::string text = vendor + ":" + FirstLine(dir + "/idProduct");
        for (const char* name : {"/manufacturer", "/product"}) {
            if (std::string value = FirstLine(dir + name); !value.empty()) text += " " + value;
        }
        return text;
    }
    return {};
}

}  // namespace

PortInfo DescribeDevice(const std::string& device) {
    PortInfo info;
    struct stat node {};
    if (device.empty() || ::stat(device.c_str(), &node) != 0) {
        return info;
    }
    info.device = device;
    info.resolved = RealPath(device);
    if (info.resolved.empty()) info.resolved = device;
    info.by_id = ByIdName(info.resolved);
    info.adapter = UsbAdapter(info.resolved);
    info.denied = ::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
    if (const group* owner = ::getgrgid(node.st_gid)) {
        info.group = owner->gr_name;
    }
    return info;
}

PortInfo PosixSerialPorts::Describe(int port_number) {
    return DescribeDevice(ComPortPath(port_number, port_dir_));
}

}  // namespace kesu::platform
