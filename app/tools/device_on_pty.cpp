// kesu-device: the bundled device simulator on a pseudo-terminal, so that the assistant has a
// working port to talk to on a machine without serial hardware.
//
// It opens a pseudo-terminal, links its device path under the given name (a COMn entry of the
// assistant's port directory), and then answers like a simple instrument: every byte comes back
// as an echo, and the assistant's default hexadecimal request (02 2E 41 01 01 6F 10 03 10) is
// also answered with its default reply bytes. It runs until it receives SIGINT or SIGTERM.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/virtual/virtual_serial.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) {
    stopRequested = 1;
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 100);
            continue;
        }
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: %s LINK\n  links a simulated device's pseudo-terminal at LINK\n",
                     argv[0]);
        return 2;
    }
    const std::string link = argv[1];

    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("kesu-device: pseudo-terminal");
        return 1;
    }
    const char* slavePath = ptsname(master);
    if (slavePath == nullptr) {
        std::perror("kesu-device: ptsname");
        return 1;
    }
    // The device side is left to the assistant: a process holding it open would make the port
    // count as in use by another program. While no one has it open the pseudo-terminal reports
    // a hang-up, which the loop below waits out.
    unlink(link.c_str());
    if (symlink(slavePath, link.c_str()) != 0) {
        std::fprintf(stderr, "kesu-device: cannot link %s: %s\n", link.c_str(),
                     std::strerror(errno));
        return 1;
    }
    std::printf("kesu-device: simulated device on %s, linked at %s\n", slavePath, link.c_str());
    std::fflush(stdout);

    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    kesu::platform::DeviceSimulator device;
    device.SetEcho(true);
    device.Answer(std::string("\x02\x2E\x41\x01\x01\x6F\x10\x03\x10", 9),
                  std::string("\x10\x10\x02\x2F\x00\x02\x04\x00\x29\x10\x03", 11));

    char buffer[4096];
    while (!stopRequested) {
        pollfd p{master, POLLIN, 0};
        const int ready = poll(&p, 1, 200);
        if (ready <= 0) continue;
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) {
            // Nothing to read after all, or the hang-up of a device side that no one has open
            // (before the assistant opens the port and after it closes it), which lasts and
            // cannot be waited for: look again shortly rather than spinning.
            usleep(20000);
            continue;
        }
        if (!WriteAll(master, device.Feed(std::string_view(buffer, static_cast<size_t>(n))))) {
            usleep(20000);
        }
        // The device remembers what it received to match requests across reads; a long run
        // would otherwise keep everything.
        if (device.Received().size() > 4096) device.Clear();
    }
    unlink(link.c_str());
    close(master);
    return 0;
}
